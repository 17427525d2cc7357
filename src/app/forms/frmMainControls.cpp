#include "frmMain.h"

#include "app/widgets/UpDownControl.h"
#include "map/fog/FogGesture.h"
#include "map/fog/TableFog.h"
#include "map/forms/MapView.h"
#include "map/forms/MapViewController.h"
#include "ui/DesignFont.h"
#include "ui/Place.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

// The main window's menus and controls, each with its object name and its
// twip position.
namespace vellmar::app {

namespace {

template <typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QAction *addNamedAction(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = caption == u"-" ? menu->addSeparator() : menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

void frmMain::createMenus()
{
    mnuFile = named(menuBar()->addMenu(QStringLiteral("File")), "mnuFile");
    mnuExit = addNamedAction(mnuFile, "mnuExit", QStringLiteral("Exit"));
    mnuSession = named(menuBar()->addMenu(QStringLiteral("Session")), "mnuSession");
    mnuHostSession = addNamedAction(mnuSession, "mnuHostSession", QStringLiteral("Host Session"));
    mnuJoinSession = addNamedAction(mnuSession, "mnuJoinSession", QStringLiteral("Join Session"));
    mnuSessionPassword = addNamedAction(mnuSession, "mnuSessionPassword", QStringLiteral("Session Password..."));
    mnuDownloadMaps = addNamedAction(mnuSession, "mnuDownloadMaps", QStringLiteral("Download Maps the Master Shows"));
    mnuDownloadMaps->setCheckable(true);
    mnuDownloadMaps->setChecked(true);
    mnuPictureCache = addNamedAction(mnuSession, "mnuPictureCache", QStringLiteral("Picture Cache Size..."));

    // Pop-up menus, not on the menu bar.
    mnuPlayerMaster = named(new QMenu(this), "mnuPlayerMaster");
    mnuPrivateChat1 = addNamedAction(mnuPlayerMaster, "mnuPrivateChat1", QStringLiteral("Private Chat"));
    mnuDivider1 = addNamedAction(mnuPlayerMaster, "mnuDivider1", QStringLiteral("-"));
    mnuKick = addNamedAction(mnuPlayerMaster, "mnuKick", QStringLiteral("Kick"));
    mnuKickandBan = addNamedAction(mnuPlayerMaster, "mnuKickandBan", QStringLiteral("Kick and Ban"));

    mnuPlayerPlayer = named(new QMenu(this), "mnuPlayerPlayer");
    mnuPrivateChat2 = addNamedAction(mnuPlayerPlayer, "mnuPrivateChat2", QStringLiteral("Private Chat"));

    mnuIcon = named(new QMenu(this), "mnuIcon");
    mnuPlaceIcon = addNamedAction(mnuIcon, "mnuPlaceIcon", QStringLiteral("Place Icon"));
    mnuModifyIcon = addNamedAction(mnuIcon, "mnuModifyIcon", QStringLiteral("Modify Icon"));
    mnuRemoveIcon = addNamedAction(mnuIcon, "mnuRemoveIcon", QStringLiteral("(&R)emove Icon"));
    mnuRollInitiative = addNamedAction(mnuIcon, "mnuRollInitiative", QStringLiteral("Roll (I)nitiative"));
    mnuDivider3 = addNamedAction(mnuIcon, "mnuDivider3", QStringLiteral("-"));
    mnuPlaceMarker = addNamedAction(mnuIcon, "mnuPlaceMarker", QStringLiteral("Place Marker"));
    mnuModifyMarker = addNamedAction(mnuIcon, "mnuModifyMarker", QStringLiteral("Modify Marker"));
    mnuRemoveMarker = addNamedAction(mnuIcon, "mnuRemoveMarker", QStringLiteral("(&R)emove Marker"));
    mnuQuickMarker = addNamedAction(mnuIcon, "mnuQuickMarker", QStringLiteral("(&Q)uick Marker"));
    // The master's: what the players see of this copy's table.
    mnuDivider4 = addNamedAction(mnuIcon, "mnuDivider4", QStringLiteral("-"));
    mnuShowIcon = addNamedAction(mnuIcon, "mnuShowIcon", QStringLiteral("Shown to Players"));
    mnuShowIcon->setCheckable(true);
    mnuShowMap = addNamedAction(mnuIcon, "mnuShowMap", QStringLiteral("Show to Players"));

    // On no menu: their shortcuts act in this window and on the palette.
    mnuUndoFog = named(new QAction(QStringLiteral("Undo Fog"), this), "mnuUndoFog");
    mnuUndoFog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    mnuRedoFog = named(new QAction(QStringLiteral("Redo Fog"), this), "mnuRedoFog");
    mnuRedoFog->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    addAction(mnuUndoFog);
    addAction(mnuRedoFog);
}

void frmMain::createControls()
{
    QWidget *client = m_client;
    Picture1 = named(new map::MapView(client), "Picture1");
    vmapScroll = named(new QScrollBar(Qt::Vertical, client), "vmapScroll");
    HmapScroll = named(new QScrollBar(Qt::Horizontal, client), "HmapScroll");
    btnResize = named(new QPushButton(client), "btnResize");
    btnResize->setCursor(Qt::SizeVerCursor);
    btnResize->setFocusPolicy(Qt::NoFocus);
    btnResize->installEventFilter(this);
    Frame1 = named(new QGroupBox(client), "Frame1");
    txtChat = named(new QPlainTextEdit(client), "txtChat");
    txtChat->setReadOnly(true);
    txtChat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtChat->setFont(ui::designFont(9.75));
    txtInput = named(new QLineEdit(client), "txtInput");
    txtInput->setFont(ui::designFont(9.75));
    txtInput->setEnabled(false);
    lblInputError = named(new QLabel(this), "lblInputError");
    lblInputError->hide();
    btnEnter = named(new QPushButton(QStringLiteral("Command4"), client), "btnEnter");
    btnEnter->setDefault(true);
    btnEnter->setFocusPolicy(Qt::NoFocus);
    ui::place(btnEnter, {600, 960, 135, 255});

    QWidget *panel = Frame1;
    btnMaplist = named(new QPushButton(QStringLiteral("Map list"), panel), "btnMaplist");
    ui::place(btnMaplist, {120, 1320, 1215, 375});
    btnDiceRolls = named(new QPushButton(QStringLiteral("Dice Rolls"), panel), "btnDiceRolls");
    ui::place(btnDiceRolls, {1560, 1320, 975, 375});
    lblRollVal = named(new QLabel(QStringLiteral("val:"), panel), "lblRollVal");
    ui::place(lblRollVal, {1440, 1800, 375, 255});
    txtRollVal = named(new QLineEdit(QStringLiteral("val"), panel), "txtRollVal");
    ui::place(txtRollVal, {1800, 1800, 615, 285});
    btnCombat = named(new QPushButton(QStringLiteral("Combat"), panel), "btnCombat");
    ui::place(btnCombat, {240, 2160, 1095, 375});
    btnPartyChat = named(new QPushButton(QStringLiteral("Party chat"), panel), "btnPartyChat");
    ui::place(btnPartyChat, {1440, 2160, 1215, 375});
    Label1 = named(new QLabel(QStringLiteral("Players"), panel), "Label1");
    Label1->setFont(ui::designFont(9.75, true));
    ui::place(Label1, {1440, 2640, 1215, 255});
    lstPlayer = named(new QListWidget(panel), "lstPlayer");
    lstPlayer->setFont(ui::designFont(9.75));
    lstPlayer->setMouseTracking(true);
    lstPlayer->viewport()->installEventFilter(this);
    ui::place(lstPlayer, {1440, 2880, 1215, 1740});
    btnToolbar = named(new QPushButton(QStringLiteral("Toolbar"), panel), "btnToolbar");
    ui::place(btnToolbar, {360, 2880, 855, 375});
    chkShowGrid = named(new QCheckBox(QStringLiteral("Show Grid"), panel), "chkShowGrid");
    chkShowGrid->setChecked(true);
    ui::place(chkShowGrid, {120, 3960, 1095, 255});
    UpDownZoom = named(new UpDownControl(panel), "UpDownZoom");
    ui::place(UpDownZoom, {240, 4320, 255, 375});
    Label2 = named(new QLabel(QStringLiteral("Zoom"), panel), "Label2");
    ui::place(Label2, {600, 4380, 615, 255});
    Picture2 = named(new QLabel(panel), "Picture2");
    Picture2->setFrameShape(QFrame::Box);
    ui::place(Picture2, {120, 240, 1215, 735});

    Picture1->setMouseTracking(true);
    Picture1->installEventFilter(this);
    m_mapView = new map::MapViewController(
        mapState, {Picture1, HmapScroll, vmapScroll, chkShowGrid, Picture2},
        {[this] {
             map::MapScene scene{&m_state.markers, &m_state.icons, m_state.currentMarker.get(), m_state.ownPlayerID};
             scene.shownIcons = &m_state.shownIcons;
             scene.overRecords =
                 m_fogOutline ? static_cast<const map::MapOverlay *>(m_fogOutline.get()) : measureOverlay();
             scene.fog = m_fog ? m_fog->sceneFog() : nullptr;
             scene.fogForMaster = m_state.isMaster;
             return scene;
         },
         [this] { return m_layout.resizing(); }},
        this);

    applyLayout();
}

} // namespace vellmar::app
