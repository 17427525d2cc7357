#include "ChatWindow.h"

#include "chat/ChatLines.h"
#include "core/Text.h"
#include "table/Identity.h"
#include "ui/DesignFont.h"
#include "ui/LogLine.h"
#include "ui/Place.h"

#include <QCloseEvent>
#include <QLabel>
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
// The error line under the input takes this much from the conversation.
constexpr int errorLineHeight = 240;

QFont chatFont() { return ui::designFont(9.75); }

} // namespace

ChatWindow::ChatWindow(const table::Identity &identity, table::Outbox &outbox, const Design &design, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , txtChat(new QPlainTextEdit(this))
    , txtInput(new QLineEdit(this))
    , lblInputError(new QLabel(this))
    , m_identity(identity)
    , m_outbox(outbox)
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
    lblInputError->setObjectName(QStringLiteral("lblInputError"));
    lblInputError->hide();
    m_defaultButton->setObjectName(QString::fromLatin1(design.buttonName));
    m_defaultButton->setDefault(true);
    m_defaultButton->setFocusPolicy(Qt::NoFocus);

    ui::place(txtChat, design.chat);
    ui::place(txtInput, design.input);
    ui::place(m_defaultButton, design.button);
    resize(ui::twipsToPixels(design.clientWidth), ui::twipsToPixels(design.clientHeight));
    setMinimumHeight(ui::twipsToPixelsAtLeast(minimumOuterHeight - frameHeight));

    // Enter in the input and the hidden default button both send; whichever
    // runs second finds the input empty, so one Enter sends one line.
    connect(txtInput, &QLineEdit::returnPressed, this, &ChatWindow::SendLine);
    connect(m_defaultButton, &QPushButton::clicked, this, &ChatWindow::SendLine);
    setFocusProxy(txtInput);
}

void ChatWindow::Display(const QString &p_Text) { ui::appendLogLine(*txtChat, p_Text); }

void ChatWindow::SendLine()
{
    const QString text = core::trimSpaces(txtInput->text());
    const CommandResult command = m_commands && !text.isEmpty() ? m_commands(text) : CommandResult{};
    if (command.kind == CommandResult::Kind::refused) {
        showInputError(command.error); // the line stays for mending
        return;
    }
    showInputError(QString());
    if (command.kind == CommandResult::Kind::done) {
        for (const QString &line : command.lines)
            Display(line);
    } else if (!text.isEmpty()) {
        const QString ownLine = saidLine(m_identity.userName, text);
        if (sendText(text))
            Display(ownLine);
        else
            showSendFailure(ownLine);
    }
    txtInput->clear();
}

void ChatWindow::showInputError(const QString &error)
{
    if (error.isEmpty() == lblInputError->isHidden())
        return;
    lblInputError->setText(error);
    lblInputError->setHidden(error.isEmpty());
    Form_Resize();
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
    if (m_identity.appClosing) {
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
    const int width = ui::pixelsToTwips(this->width()) + frameWidth;
    const int height = std::max(ui::pixelsToTwips(this->height()) + frameHeight, minimumOuterHeight);
    ui::TwipRect input = m_design.input;
    input.top = height - m_design.inputTopFromBottom;
    input.width = width - 150;
    ui::TwipRect chat = m_design.chat;
    chat.height = height - m_design.chatHeightLessThan;
    chat.width = width - 150;
    if (!lblInputError->isHidden()) {
        input.top -= errorLineHeight;
        chat.height -= errorLineHeight;
        ui::place(lblInputError, {input.left, input.top + input.height, input.width, errorLineHeight});
    }
    ui::TwipRect button = m_design.button;
    button.left = m_design.buttonHiddenLeft;
    ui::place(txtInput, input);
    ui::place(txtChat, chat);
    ui::place(m_defaultButton, button);
}

bool ChatWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A click into the conversation sends the keyboard to the input line.
    if (watched == txtChat->viewport() && event->type() == QEvent::MouseButtonPress)
        txtInput->setFocus(Qt::MouseFocusReason);
    return QWidget::eventFilter(watched, event);
}

} // namespace vellmar::chat
