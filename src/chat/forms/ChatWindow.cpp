#include "ChatWindow.h"

#include "app/state/SharedState.h"
#include "app/widgets/DesignFont.h"
#include "app/widgets/Place.h"
#include "chat/ChatLines.h"
#include "chat/LogLine.h"
#include "core/Text.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

namespace vellmar::chat {

namespace {

// The chat layouts count a window frame this many twips wider and taller
// than the client area; the toolkit gives us the client area only.
constexpr int frameWidth = 120;
constexpr int frameHeight = 510;
constexpr int minimumOuterHeight = 1500;

QFont chatFont() { return app::designFont(9.75); }

} // namespace

ChatWindow::ChatWindow(app::SharedState &state, const Design &design, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , txtChat(new QPlainTextEdit(this))
    , txtInput(new QLineEdit(this))
    , m_state(state)
    , m_defaultButton(new QPushButton(design.buttonCaption, this))
    , m_design(design)
{
    txtChat->setObjectName(QStringLiteral("txtChat"));
    txtChat->setReadOnly(true);
    txtChat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtChat->setFont(chatFont());
    txtChat->viewport()->installEventFilter(this);
    txtInput->setObjectName(QStringLiteral("txtInput"));
    txtInput->setFont(chatFont());
    m_defaultButton->setObjectName(QString::fromLatin1(design.buttonName));
    m_defaultButton->setDefault(true);
    m_defaultButton->setFocusPolicy(Qt::NoFocus);

    app::place(txtChat, design.chat);
    app::place(txtInput, design.input);
    app::place(m_defaultButton, design.button);
    resize(app::twipsToPixels(design.clientWidth), app::twipsToPixels(design.clientHeight));
    setMinimumHeight(app::twipsToPixelsAtLeast(minimumOuterHeight - frameHeight));

    // Enter in the input and the hidden default button both send; whichever
    // runs second finds the input empty, so one Enter sends one line.
    connect(txtInput, &QLineEdit::returnPressed, this, &ChatWindow::SendLine);
    connect(m_defaultButton, &QPushButton::clicked, this, &ChatWindow::SendLine);
    setFocusProxy(txtInput);
}

void ChatWindow::Display(const QString &p_Text) { appendLogLine(*txtChat, p_Text); }

void ChatWindow::SendLine()
{
    const QString text = core::trimSpaces(txtInput->text());
    if (!text.isEmpty()) {
        const QString ownLine = saidLine(m_state.userName, text);
        if (sendText(text))
            Display(ownLine);
        else
            showSendFailure(ownLine);
    }
    txtInput->clear();
}

void ChatWindow::showSendFailure(const QString &ownLine)
{
    Display(ownLine);
    Display(lineNotSentLine());
}

void ChatWindow::closeEvent(QCloseEvent *event)
{
    // Until the user confirmed leaving the program, closing only hides, so
    // the conversation and lines arriving meanwhile are kept.
    if (m_state.appClosing) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
}

void ChatWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void ChatWindow::Form_Resize()
{
    if (isMinimized())
        return;
    const int width = app::pixelsToTwips(this->width()) + frameWidth;
    const int height = std::max(app::pixelsToTwips(this->height()) + frameHeight, minimumOuterHeight);
    app::TwipRect input = m_design.input;
    input.top = height - m_design.inputTopFromBottom;
    input.width = width - 150;
    app::TwipRect chat = m_design.chat;
    chat.height = height - m_design.chatHeightLessThan;
    chat.width = width - 150;
    app::TwipRect button = m_design.button;
    button.left = m_design.buttonHiddenLeft;
    app::place(txtInput, input);
    app::place(txtChat, chat);
    app::place(m_defaultButton, button);
}

bool ChatWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A click into the conversation sends the keyboard to the input line.
    if (watched == txtChat->viewport() && event->type() == QEvent::MouseButtonPress)
        txtInput->setFocus(Qt::MouseFocusReason);
    return QWidget::eventFilter(watched, event);
}

} // namespace vellmar::chat
