#include "frmToolbar.h"

#include "ui/DesignFont.h"
#include "ui/Twips.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
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
    createFogTools();

    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnClose, &QPushButton::clicked, this, &frmToolbar::btnClose_Click);
    placeControls();
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

void frmToolbar::createFogTools()
{
    FogToolbar = new QToolBar(this);
    FogToolbar->setObjectName(QStringLiteral("FogToolbar"));
    FogToolbar->setOrientation(Qt::Vertical);
    FogToolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    FogToolbar->setMovable(false);

    const auto command = [this](const char *name, const QString &caption, const QString &tip) {
        QAction *action = FogToolbar->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(tip);
        return action;
    };
    HideAll = command("HideAll", QStringLiteral("Hide All"), QStringLiteral("Cover the whole map with fog"));
    RevealAll = command("RevealAll", QStringLiteral("Reveal All"), QStringLiteral("Clear the fog from the whole map"));
    connect(HideAll, &QAction::triggered, this, &frmToolbar::hideAllClicked);
    connect(RevealAll, &QAction::triggered, this, &frmToolbar::revealAllClicked);

    using tokens::PaletteTool;
    const std::array<ToolButton, fogButtonCount> tools{{
        {PaletteTool::FogRevealRect, QStringLiteral("Reveal Rect"),
         QStringLiteral("Drag a rectangle on the map to reveal it to the players")},
        {PaletteTool::FogHideRect, QStringLiteral("Hide Rect"),
         QStringLiteral("Drag a rectangle on the map to hide it from the players")},
        {PaletteTool::FogRevealPolygon, QStringLiteral("Reveal Shape"),
         QStringLiteral("Draw an outline on the map to reveal what it encloses")},
        {PaletteTool::FogHidePolygon, QStringLiteral("Hide Shape"),
         QStringLiteral("Draw an outline on the map to hide what it encloses")},
        {PaletteTool::FogRevealBrush, QStringLiteral("Reveal Brush"),
         QStringLiteral("Paint on the map to reveal what the brush covers")},
        {PaletteTool::FogHideBrush, QStringLiteral("Hide Brush"),
         QStringLiteral("Paint on the map to hide what the brush covers")},
    }};
    for (int i = 0; i < fogButtonCount; ++i) {
        const ToolButton &b = tools[static_cast<std::size_t>(i)];
        QAction *action = command("", b.caption, b.toolTip);
        action->setObjectName(u"FogButton" + QString::number(i + 1));
        action->setCheckable(true);
        action->setData(static_cast<int>(b.tool));
        m_toolGroup->addAction(action);
        FogButtons[static_cast<std::size_t>(i)] = action;
    }
    connect(FogToolbar, &QToolBar::actionTriggered, this, [this](QAction *action) {
        if (action->isCheckable())
            Q_EMIT toolChosen(tool());
    });

    UndoFog = command("UndoFog", QStringLiteral("Undo Fog"), QStringLiteral("Take back the last fog step (Ctrl+Z)"));
    RedoFog = command("RedoFog", QStringLiteral("Redo Fog"),
                      QStringLiteral("Do the fog step taken back again (Ctrl+Shift+Z)"));
    connect(UndoFog, &QAction::triggered, this, &frmToolbar::undoFogClicked);
    connect(RedoFog, &QAction::triggered, this, &frmToolbar::redoFogClicked);

    lblBrush = new QLabel(QStringLiteral("Brush:"), this);
    lblBrush->setObjectName(QStringLiteral("lblBrush"));
    BrushCells = new QSpinBox(this);
    BrushCells->setObjectName(QStringLiteral("BrushCells"));
    BrushCells->setRange(1, 20);
    BrushCells->setValue(2);
    BrushCells->setToolTip(QStringLiteral("The brush's width in grid cells"));
    FogToolbar->hide();
    lblBrush->hide();
    BrushCells->hide();
}

void frmToolbar::placeControls()
{
    if (!m_fogShown) {
        setFixedSize(ui::twipsToPixels(1245), ui::twipsToPixels(2655));
        Toolbar1->setGeometry(0, 0, width(), ui::twipsToPixels(2160) - 2);
        btnClose->setGeometry(ui::toPixels(ui::TwipRect{120, 2160, 975, 375}));
        return;
    }
    // The fog tools' captions are longer: the palette widens and grows down,
    // with Close at the bottom.
    const int width = ui::twipsToPixels(1725);
    Toolbar1->setGeometry(0, 0, width, ui::twipsToPixels(2160) - 2);
    int y = ui::twipsToPixels(2160);
    const int fogHeight = FogToolbar->sizeHint().height();
    FogToolbar->setGeometry(0, y, width, fogHeight);
    y += fogHeight + 4;
    const int rowHeight = BrushCells->sizeHint().height();
    lblBrush->setGeometry(6, y, width / 2 - 6, rowHeight);
    BrushCells->setGeometry(width / 2, y, width / 2 - 6, rowHeight);
    y += rowHeight + 6;
    const QRect close = ui::toPixels(ui::TwipRect{120, 0, 975, 375});
    btnClose->setGeometry((width - close.width()) / 2, y, close.width(), close.height());
    setFixedSize(width, y + close.height() + 6);
}

void frmToolbar::showFogTools(bool shown)
{
    if (shown == m_fogShown)
        return;
    m_fogShown = shown;
    if (!shown && isFogTool(tool())) {
        m_toolGroup->checkedAction()->setChecked(false);
        Q_EMIT toolChosen(tokens::PaletteTool::None);
    }
    FogToolbar->setVisible(shown);
    lblBrush->setVisible(shown);
    BrushCells->setVisible(shown);
    placeControls();
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
