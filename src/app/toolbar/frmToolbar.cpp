#include "frmToolbar.h"

#include "core/Questions.h"
#include "ui/DesignFont.h"
#include "ui/Twips.h"

#include <QAction>
#include <QActionGroup>
#include <QPushButton>
#include <QToolBar>

namespace vellmar::app {

namespace {

struct ToolButton
{
    QString caption;
    QString toolTip;
};

} // namespace

frmToolbar::frmToolbar(core::Questions &questions, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_questions(questions)
{
    setObjectName(QStringLiteral("frmToolbar"));
    setWindowTitle(QStringLiteral("Toolbar"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(ui::designFont(8));
    setFixedSize(ui::twipsToPixels(1245), ui::twipsToPixels(2655));
    createToolbar();

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(ui::toPixels(ui::TwipRect{120, 2160, 975, 375}));
    connect(btnClose, &QPushButton::clicked, this, &frmToolbar::btnClose_Click);
}

frmToolbar::~frmToolbar() = default;

void frmToolbar::createToolbar()
{
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    // The window is narrow, so the buttons stack down from the top.
    Toolbar1->setOrientation(Qt::Vertical);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    Toolbar1->setMovable(false);
    Toolbar1->setGeometry(0, 0, width(), ui::twipsToPixels(2160) - 2);

    // One group in which the clicked tool stays pressed, so each click names
    // the tool in use; clicking the pressed tool again releases it.
    m_toolGroup = new QActionGroup(this);
    m_toolGroup->setObjectName(QStringLiteral("ToolGroup"));
    m_toolGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);

    const std::array<ToolButton, buttonCount> buttons{{
        {QStringLiteral("Objects"), QStringLiteral("Allows you to add, remove and position objects")},
        {QStringLiteral("Markers"), QStringLiteral("Place or remove a marker")},
        {QString(), QString()},
        {QStringLiteral("Visible"), QStringLiteral("Set area as visible")},
        {QStringLiteral("Visited"), QStringLiteral("Set area as visited (grayed)")},
        {QStringLiteral("Unexplored"), QStringLiteral("Set area as unexplored (black)")},
    }};
    for (int i = 0; i < buttonCount; ++i) {
        const ToolButton &b = buttons[static_cast<std::size_t>(i)];
        QAction *action = nullptr;
        if (b.caption.isEmpty()) {
            // The captionless third button only parts the object tools from
            // the area tools.
            action = Toolbar1->addSeparator();
        } else {
            action = Toolbar1->addAction(b.caption);
            action->setToolTip(b.toolTip);
            action->setCheckable(true);
            m_toolGroup->addAction(action);
        }
        action->setObjectName(u"Button" + QString::number(i + 1));
        Buttons[static_cast<std::size_t>(i)] = action;
    }
    connect(Toolbar1, &QToolBar::actionTriggered, this, &frmToolbar::Toolbar1_ButtonClick);
}

void frmToolbar::Toolbar1_ButtonClick(QAction *)
{
    for (QAction *button : Buttons) {
        if (button->isChecked())
            m_questions.tell(button->text());
    }
}

void frmToolbar::btnClose_Click() { close(); }

} // namespace vellmar::app
