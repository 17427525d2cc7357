#include "frmToolbar.h"

#include "ui/DesignFont.h"
#include "ui/Twips.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QPushButton>
#include <QToolBar>

namespace vellmar::app {

namespace {

struct ToolButton
{
    tokens::PaletteTool tool;
    QString caption;
    QString toolTip;
};

} // namespace

frmToolbar::frmToolbar(QWidget *parent) : QWidget(parent, Qt::Window)
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

    // One group in which the clicked tool stays pressed; clicking the pressed
    // tool again releases it.
    m_toolGroup = new QActionGroup(this);
    m_toolGroup->setObjectName(QStringLiteral("ToolGroup"));
    m_toolGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);

    using tokens::PaletteTool;
    const std::array<ToolButton, buttonCount> buttons{{
        {PaletteTool::Objects, QStringLiteral("Objects"),
         QStringLiteral("Allows you to add, remove and position objects")},
        {PaletteTool::Markers, QStringLiteral("Markers"), QStringLiteral("Place or remove a marker")},
        {PaletteTool::Measure, QStringLiteral("Measure"),
         QStringLiteral("Drag on the map to measure a distance in grid cells")},
    }};
    for (int i = 0; i < buttonCount; ++i) {
        const ToolButton &b = buttons[static_cast<std::size_t>(i)];
        QAction *action = Toolbar1->addAction(b.caption);
        action->setToolTip(b.toolTip);
        action->setCheckable(true);
        action->setData(static_cast<int>(b.tool));
        m_toolGroup->addAction(action);
        action->setObjectName(u"Button" + QString::number(i + 1));
        Buttons[static_cast<std::size_t>(i)] = action;
    }
    connect(Toolbar1, &QToolBar::actionTriggered, this, &frmToolbar::Toolbar1_ButtonClick);
}

tokens::PaletteTool frmToolbar::tool() const
{
    const QAction *pressed = m_toolGroup->checkedAction();
    return pressed ? static_cast<tokens::PaletteTool>(pressed->data().toInt()) : tokens::PaletteTool::None;
}

void frmToolbar::Toolbar1_ButtonClick(QAction *) { Q_EMIT toolChosen(tool()); }

void frmToolbar::closeEvent(QCloseEvent *event)
{
    if (tool() != tokens::PaletteTool::None)
        Q_EMIT toolChosen(tokens::PaletteTool::None);
    QWidget::closeEvent(event);
}

void frmToolbar::btnClose_Click() { close(); }

} // namespace vellmar::app
