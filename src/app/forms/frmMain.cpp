#include "frmMain.h"

#include "app/platform/SoundPlayer.h"
#include "app/toolbar/frmToolbar.h"
#include "app/widgets/DesignFont.h"
#include "app/widgets/Place.h"
#include "app/widgets/UpDownControl.h"
#include "chat/LogLine.h"
#include "chat/forms/PrivateChats.h"
#include "chat/forms/frmPartyChat.h"
#include "combat/forms/frmCombat.h"
#include "core/Questions.h"
#include "core/Text.h"
#include "dice/forms/frmDiceRoll.h"
#include "map/forms/MapViewController.h"
#include "map/forms/frmMaplist.h"
#include "session/binding/TransportSender.h"
#include "session/binding/UserNamePrompt.h"
#include "session/protocol/Messages.h"
#include "session/transport/TcpSessionTransport.h"
#include "tokens/icons/IconCommands.h"
#include "tokens/icons/forms/CombatTrackerLink.h"
#include "tokens/icons/forms/QtIconDialogs.h"
#include "tokens/markers/MarkerExchange.h"
#include "tokens/markers/forms/frmModifyMarker.h"
#include "tokens/markers/forms/frmSetMarker.h"
#include "tokens/pointer/MapPointer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSessionManager>
#include <QStatusBar>

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

frmMain::frmMain(core::Questions &questions, TransportFactory transportFactory, QWidget *parent)
    : QMainWindow(parent)
    , m_questions(questions)
    , m_transportFactory(std::move(transportFactory))
    , m_sounds(std::make_unique<SoundPlayer>())
    , m_client(new QWidget(this))
    , m_markers(std::make_unique<tokens::MarkerExchange>(m_state, [this] { Picture1_Paint(); }))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vellmar"));
    // The layout's twip sizes were chosen for this small dialog font.
    setFont(designFont(8.25));
    setCentralWidget(m_client);
    createMenus();
    createControls();
    statusBar()->showMessage(QStringLiteral("Not in a session"));
    Form_Load();

    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuHostSession, &QAction::triggered, this, &frmMain::mnuHostSession_Click);
    connect(mnuJoinSession, &QAction::triggered, this, &frmMain::mnuJoinSession_Click);
    connect(btnEnter, &QPushButton::clicked, this, &frmMain::btnEnter_Click);
    connect(btnPartyChat, &QPushButton::clicked, this, &frmMain::btnPartyChat_Click);
    connect(btnDiceRolls, &QPushButton::clicked, this, &frmMain::btnDiceRolls_Click);
    connect(btnCombat, &QPushButton::clicked, this, &frmMain::btnCombat_Click);
    connect(btnToolbar, &QPushButton::clicked, this, &frmMain::btnToolbar_Click);
    connect(btnMaplist, &QPushButton::clicked, this, &frmMain::btnMaplist_Click);
    connect(UpDownZoom, &UpDownControl::valueChanged, this, &frmMain::UpDownZoom_Change);
    connect(mnuPlaceIcon, &QAction::triggered, this, &frmMain::mnuPlaceIcon_Click);
    connect(mnuModifyIcon, &QAction::triggered, this, &frmMain::mnuModifyIcon_Click);
    connect(mnuRemoveIcon, &QAction::triggered, this, &frmMain::mnuRemoveIcon_Click);
    connect(mnuRollInitiative, &QAction::triggered, this, &frmMain::mnuRollInitiative_Click);
    connect(mnuQuickMarker, &QAction::triggered, this, &frmMain::mnuQuickMarker_Click);
    connect(mnuPlaceMarker, &QAction::triggered, this, &frmMain::mnuPlaceMarker_Click);
    connect(mnuModifyMarker, &QAction::triggered, this, &frmMain::mnuModifyMarker_Click);
    connect(mnuRemoveMarker, &QAction::triggered, this, &frmMain::mnuRemoveMarker_Click);
    connect(mnuPrivateChat1, &QAction::triggered, this, &frmMain::mnuPrivateChat1_Click);
    connect(mnuPrivateChat2, &QAction::triggered, this, &frmMain::mnuPrivateChat2_Click);
    // A main window has no dialog-style default button: Enter in the input box
    // presses the hidden button explicitly.
    connect(txtInput, &QLineEdit::returnPressed, btnEnter, &QPushButton::click);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &frmMain::onCommitDataRequest);
}

frmMain::~frmMain() = default;

void frmMain::createMenus()
{
    mnuFile = named(menuBar()->addMenu(QStringLiteral("File")), "mnuFile");
    mnuExit = addNamedAction(mnuFile, "mnuExit", QStringLiteral("Exit"));
    mnuSession = named(menuBar()->addMenu(QStringLiteral("Session")), "mnuSession");
    mnuHostSession = addNamedAction(mnuSession, "mnuHostSession", QStringLiteral("Host Session"));
    mnuJoinSession = addNamedAction(mnuSession, "mnuJoinSession", QStringLiteral("Join Session"));

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
    txtChat->setFont(designFont(9.75));
    txtInput = named(new QLineEdit(client), "txtInput");
    txtInput->setFont(designFont(9.75));
    txtInput->setEnabled(false);
    btnEnter = named(new QPushButton(QStringLiteral("Command4"), client), "btnEnter");
    btnEnter->setDefault(true);
    btnEnter->setFocusPolicy(Qt::NoFocus);
    place(btnEnter, {600, 960, 135, 255});

    QWidget *panel = Frame1;
    btnMaplist = named(new QPushButton(QStringLiteral("Map list"), panel), "btnMaplist");
    place(btnMaplist, {120, 1320, 1215, 375});
    btnDiceRolls = named(new QPushButton(QStringLiteral("Dice Rolls"), panel), "btnDiceRolls");
    place(btnDiceRolls, {1560, 1320, 975, 375});
    lblRollVal = named(new QLabel(QStringLiteral("val:"), panel), "lblRollVal");
    place(lblRollVal, {1440, 1800, 375, 255});
    txtRollVal = named(new QLineEdit(QStringLiteral("val"), panel), "txtRollVal");
    place(txtRollVal, {1800, 1800, 615, 285});
    btnCombat = named(new QPushButton(QStringLiteral("Combat"), panel), "btnCombat");
    place(btnCombat, {240, 2160, 1095, 375});
    btnPartyChat = named(new QPushButton(QStringLiteral("Party chat"), panel), "btnPartyChat");
    place(btnPartyChat, {1440, 2160, 1215, 375});
    Label1 = named(new QLabel(QStringLiteral("Players"), panel), "Label1");
    Label1->setFont(designFont(9.75, true));
    place(Label1, {1440, 2640, 1215, 255});
    lstPlayer = named(new QListWidget(panel), "lstPlayer");
    lstPlayer->setFont(designFont(9.75));
    lstPlayer->setMouseTracking(true);
    lstPlayer->viewport()->installEventFilter(this);
    place(lstPlayer, {1440, 2880, 1215, 1740});
    btnToolbar = named(new QPushButton(QStringLiteral("Toolbar"), panel), "btnToolbar");
    place(btnToolbar, {360, 2880, 855, 375});
    chkShowGrid = named(new QCheckBox(QStringLiteral("Show Grid"), panel), "chkShowGrid");
    chkShowGrid->setChecked(true);
    place(chkShowGrid, {120, 3960, 1095, 255});
    UpDownZoom = named(new UpDownControl(panel), "UpDownZoom");
    place(UpDownZoom, {240, 4320, 255, 375});
    Label2 = named(new QLabel(QStringLiteral("Zoom"), panel), "Label2");
    place(Label2, {600, 4380, 615, 255});
    Picture2 = named(new QLabel(panel), "Picture2");
    Picture2->setFrameShape(QFrame::Box);
    place(Picture2, {120, 240, 1215, 735});

    Picture1->setMouseTracking(true);
    Picture1->installEventFilter(this);
    m_mapView = new map::MapViewController(
        mapState, {Picture1, HmapScroll, vmapScroll, chkShowGrid, Picture2},
        {[this] {
             return map::MapScene{&m_state.markers, &m_state.icons, m_state.currentMarker.get(), m_state.ownPlayerID};
         },
         [this] { return m_layout.resizing(); }},
        this);

    applyLayout();
}

void frmMain::Form_Load()
{
    mapLoaded = false;
    place(btnEnter, {-1000, 960, 135, 255});

    resize(twipsToPixels(MainLayout::clientWidth),
           twipsToPixels(MainLayout::clientHeight) + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    m_layout.start(pixelsToTwips(width()), pixelsToTwips(height()));

    HmapScroll->setRange(0, 10);
    vmapScroll->setRange(0, 10);
    UpDownZoom->setRange(1, 11);
    UpDownZoom->setValue(6);

    map10Size = 22.56;
    zoom = 1.0;
    map10OffsetX = -9;
    map10OffsetY = -13;
    mapLoaded = false;

    m_state.appClosing = false;
    // Loaded without being shown: party lines are collected from the start.
    m_partyChat = new chat::frmPartyChat(m_state, this);
    m_privateChats = std::make_unique<chat::PrivateChats>(m_state, *this, this);
    m_state.inSession = false;
    m_state.isMaster = true;
    m_state.currentMarker.reset();
    m_state.currentIcon.reset();
    m_pointer = std::make_unique<tokens::MapPointer>(m_state);

    const auto repaint = [this] { Picture1_Paint(); };
    m_iconDialogs = std::make_unique<tokens::QtIconDialogs>(m_state, m_questions, repaint, this);
    m_trackerLink = std::make_unique<tokens::CombatTrackerLink>([this] {
        btnCombat_Click();
        return m_combat.data();
    });
    m_iconCommands = std::make_unique<tokens::IconCommands>(m_state, *m_iconDialogs, *m_trackerLink, repaint);

    lblRollVal->hide();
    txtRollVal->hide();
    btnPartyChat->setEnabled(false);
}

void frmMain::Display(const QString &p_Text) { chat::appendLogLine(*txtChat, p_Text); }

void frmMain::RestoreWindow(QWidget &window)
{
    window.setWindowState(window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    window.showNormal();
    window.raise();
    window.activateWindow();
}

void frmMain::Picture1_Paint() { m_mapView->Picture1_Paint(); }

void frmMain::SetHScroll() { m_mapView->SetHScroll(); }

void frmMain::SetVScroll() { m_mapView->SetVScroll(); }

void frmMain::clearMapView() { m_mapView->clearView(); }

void frmMain::UpDownZoom_Change()
{
    m_mapView->UpDownZoom_Change(UpDownZoom->value(), UpDownZoom->minimum(), UpDownZoom->maximum());
}

void frmMain::btnMaplist_Click()
{
    // The list reads the index when it opens; while it is open it is only
    // brought to the front.
    if (!m_maplist)
        m_maplist = map::frmMaplist::load(mapState, *m_mapView, m_questions, QDir(QStringLiteral("map")), this);
    if (!m_maplist)
        return;
    m_maplist->show();
    m_maplist->raise();
    m_maplist->activateWindow();
}

void frmMain::btnEnter_Click()
{
    const QString text = core::trimSpaces(txtInput->text());
    if (!text.isEmpty()) {
        const bool sent = m_state.sendToAll(session::MSG_CHAT, text);
        Display(m_state.userName + u" : " + text);
        if (m_state.inSession && !sent)
            Display(QStringLiteral("<SYS> The line above could not be sent"));
    }
    txtInput->clear();
}

void frmMain::btnPartyChat_Click() { RestoreWindow(*m_partyChat); }

void frmMain::btnDiceRolls_Click()
{
    if (!m_diceRoll)
        m_diceRoll = new dice::frmDiceRoll(m_state, *this, m_questions, this);
    RestoreWindow(*m_diceRoll);
}

void frmMain::btnCombat_Click()
{
    if (!m_combat)
        m_combat = new combat::frmCombat(m_questions, this);
    RestoreWindow(*m_combat);
}

void frmMain::btnToolbar_Click()
{
    if (!m_toolbar)
        m_toolbar = new frmToolbar(m_questions, this);
    RestoreWindow(*m_toolbar);
}

void frmMain::mnuPrivateChat1_Click()
{
    const QListWidgetItem *entry = lstPlayer->currentItem();
    if (!entry)
        return;
    m_privateChats->openFromPlayerList(entry->data(Qt::UserRole).toInt(), entry->text());
}

void frmMain::lstPlayer_MouseMove(QPoint position)
{
    // The entry under the pointer becomes the selected one; below the last
    // entry the selection stays.
    if (QListWidgetItem *entry = lstPlayer->itemAt(position))
        lstPlayer->setCurrentItem(entry);
}

void frmMain::lstPlayer_MouseDown(Qt::MouseButtons buttons, QPoint position)
{
    const QListWidgetItem *entry = lstPlayer->currentItem();
    if (!(buttons & Qt::RightButton) || !entry)
        return;
    if (m_state.userName.isEmpty() || entry->text() == m_state.userName)
        return;
    QMenu *menu = m_state.isMaster ? mnuPlayerMaster : mnuPlayerPlayer;
    menu->popup(lstPlayer->viewport()->mapToGlobal(position));
}

void frmMain::mnuHostSession_Click() { beginSession(true); }

void frmMain::mnuJoinSession_Click() { beginSession(false); }

bool frmMain::beginSession(bool hosting)
{
    // One attempt per run, whatever happens below.
    mnuHostSession->setEnabled(false);
    mnuJoinSession->setEnabled(false);

    m_state.userName = session::askUserName(m_questions);
    if (hosting)
        m_state.userName += u"(DM)";

    m_directPlay = m_transportFactory(m_questions);
    connect(m_directPlay.get(), &session::SessionTransport::receiveEvent, this, &frmMain::DirectXEvent_DXCallback);
    session::SessionStarter starter(*m_directPlay, m_questions, *this);
    const auto outcome = hosting ? starter.host(m_state.userName) : starter.join(m_state.userName);
    if (outcome.result != session::SessionStarter::Result::Success)
        return false;

    m_eventHandle = outcome.eventHandle;
    m_state.ownPlayerID = outcome.ownPlayerID;
    m_sender = std::make_unique<session::TransportSender>(*m_directPlay, m_state.ownPlayerID);
    m_state.sender = m_sender.get();

    setWindowTitle(m_state.userName + (hosting ? u" (Master)" : u" (Player)"));
    RefreshPlayerList();
    txtInput->setEnabled(true);
    btnPartyChat->setEnabled(true);
    m_state.inSession = true;
    m_state.isMaster = hosting;
    if (hosting) {
        lblRollVal->show();
        txtRollVal->show();
        showWhereToJoin();
    } else {
        statusBar()->showMessage(QStringLiteral("Joined as a player"));
    }
    return true;
}

void frmMain::showWhereToJoin()
{
    // Players who cannot find the session by searching type this address.
    const auto *tcp = qobject_cast<session::TcpSessionTransport *>(m_directPlay.get());
    if (!tcp)
        return;
    QStringList addresses;
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            addresses << address.toString() + u':' + QString::number(tcp->hostPort());
    }
    if (addresses.isEmpty())
        addresses << u"127.0.0.1:" + QString::number(tcp->hostPort());
    statusBar()->showMessage(u"Hosting - players can join at " + addresses.join(QStringLiteral(", ")));
}

void frmMain::DirectXEvent_DXCallback(std::int32_t)
{
    if (m_directPlay)
        session::Dispatcher::drain(*m_directPlay, m_state.ownPlayerID, *this);
}

void frmMain::RefreshPlayerList()
{
    if (!m_directPlay)
        return;
    const auto players = m_directPlay->GetDPEnumPlayers(m_directPlay->GetGuidApplication(), 0);
    lstPlayer->clear();
    for (const auto &player : players) {
        auto *entry = new QListWidgetItem(player.shortName, lstPlayer);
        entry->setData(Qt::UserRole, player.id);
    }
}

QString frmMain::rollTag() const { return txtRollVal->text(); }

void frmMain::playSound(const QString &relativePath) { m_sounds->play(relativePath); }

void frmMain::receivePartyLine(const QString &line) { m_partyChat->Display(line); }

void frmMain::receivePrivateLine(std::int32_t from, const QString &senderName, const QString &text)
{
    m_privateChats->receive(from, senderName, text);
}

void frmMain::receiveMarkerMessage(std::int32_t type, std::int32_t, const QString &, const QString &payload)
{
    m_markers->receive(type, payload);
}

void frmMain::RequestPlaceMarker(const tokens::CMarker &p_marker) { m_markers->RequestPlaceMarker(p_marker); }

void frmMain::BroadcastPlaceMarker(const tokens::CMarker &p_marker) { m_markers->BroadcastPlaceMarker(p_marker); }

void frmMain::BroadcastUpdateMarker(const tokens::CMarker &p_marker) { m_markers->BroadcastUpdateMarker(p_marker); }

bool frmMain::dragging() const { return m_pointer->dragging(); }

void frmMain::mnuPlaceIcon_Click() { m_iconCommands->PlaceIcon(menuMapX, menuMapY); }

void frmMain::mnuModifyIcon_Click() { m_iconCommands->ModifyIcon(m_state.currentIcon.get()); }

void frmMain::mnuRemoveIcon_Click()
{
    // The selection goes first, so the repaint draws no ring on a removed icon.
    const auto icon = std::move(m_state.currentIcon);
    m_state.currentIcon.reset();
    m_iconCommands->RemoveIcon(icon.get());
}

void frmMain::mnuRollInitiative_Click() { m_iconCommands->RollInitiative(m_state.currentIcon.get()); }

QPoint frmMain::pointerMapPosition(QPointF position) const
{
    // Picture sizes are whole pixels here, so the rounded and unrounded forms
    // of the conversion agree; positions beyond 32 bits stay at the edge.
    const auto pixel = m_mapView->geometry().mapPixel(position);
    if (pixel)
        return *pixel;
    const QPointF exact = m_mapView->geometry().mapPoint(position);
    return {exact.x() < 0 ? INT32_MIN : INT32_MAX, exact.y() < 0 ? INT32_MIN : INT32_MAX};
}

void frmMain::SelectUnderPointer(QPointF position)
{
    if (m_pointer->SelectUnderPointer(pointerMapPosition(position)))
        Picture1_Paint();
}

void frmMain::Picture1_MouseDown(Qt::MouseButtons button, QPointF position)
{
    if (!mapLoaded)
        return;
    if (button & Qt::RightButton) {
        SelectUnderPointer(position);
        const QPoint at = pointerMapPosition(position);
        menuMapX = at.x();
        menuMapY = at.y();
        const tokens::MenuRights rights = m_pointer->menuRights();
        mnuModifyIcon->setVisible(rights.iconCommands);
        mnuRemoveIcon->setVisible(rights.iconCommands);
        mnuRollInitiative->setVisible(rights.iconCommands);
        mnuModifyMarker->setVisible(rights.modifyMarker);
        mnuRemoveMarker->setVisible(rights.removeMarker);
        mnuIcon->popup(Picture1->mapToGlobal(position.toPoint()));
    } else if (button & Qt::LeftButton) {
        if (m_pointer->beginDrag(pointerMapPosition(position)))
            Picture1->setCursor(Qt::SizeAllCursor);
    }
}

void frmMain::Picture1_MouseMove(QPointF position)
{
    if (m_pointer->dragging()) {
        // Nothing is sent while the drag lasts; the release announces it.
        if (m_pointer->dragTo(pointerMapPosition(position)))
            Picture1_Paint();
        return;
    }
    SelectUnderPointer(position);
}

void frmMain::Picture1_MouseUp(QPointF position)
{
    if (!m_pointer->dragging())
        return;
    Picture1->unsetCursor();
    if (const auto marker = m_pointer->endDrag())
        BroadcastUpdateMarker(*marker);
    SelectUnderPointer(position);
    Picture1_Paint();
}

void frmMain::mnuQuickMarker_Click() { m_markers->placeMarker(QStringLiteral("Here"), menuMapX, menuMapY); }

void frmMain::mnuPlaceMarker_Click()
{
    if (!m_setMarker)
        m_setMarker = new tokens::frmSetMarker(*m_markers, m_questions, this);
    m_setMarker->mapX = menuMapX;
    m_setMarker->mapY = menuMapY;
    m_setMarker->exec();
}

void frmMain::mnuModifyMarker_Click()
{
    const auto marker = m_state.currentMarker;
    if (!marker)
        return;
    tokens::frmModifyMarker dialog(*m_markers, m_questions, this);
    dialog.id = marker->id;
    dialog.txtInfo->setText(marker->info);
    dialog.exec();
}

void frmMain::mnuRemoveMarker_Click() { m_markers->removeCurrentMarker(); }

void frmMain::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmMain::mnuExit_Click() { close(); }

void frmMain::closeEvent(QCloseEvent *event)
{
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload();
}

void frmMain::Form_QueryUnload(bool &cancel)
{
    if (m_state.appClosing)
        return; // already confirmed; closing goes on without asking twice
    if (!m_questions.askYesNo(
            QStringLiteral("This will end the program and close all forms - are you sure you want to exit?"))) {
        cancel = true;
        return;
    }
    m_state.appClosing = true;
    Display(QStringLiteral("Closing application..."));
}

void frmMain::Form_Unload()
{
    // Releasing the session ends this copy's membership; the others are told
    // by the transport that a player left.
    m_state.sender = nullptr;
    m_sender.reset();
    m_directPlay.reset();

    // With appClosing set, chat windows close instead of hiding.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window != this && window->isWindow())
            window->close();
    }
}

void frmMain::onCommitDataRequest(QSessionManager &manager)
{
    // The desktop session is ending: the same confirmation as any close.
    if (!manager.allowsInteraction())
        return;
    bool cancel = false;
    Form_QueryUnload(cancel);
    manager.release();
    if (cancel)
        manager.cancel();
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize()
{
    const auto size = m_layout.resize(pixelsToTwips(width()), pixelsToTwips(height()));
    applyLayout();
    const int wantedWidth = twipsToPixelsAtLeast(size.width);
    const int wantedHeight = twipsToPixelsAtLeast(size.height);
    if (wantedWidth != width() || wantedHeight != height())
        resize(wantedWidth, wantedHeight);
    clearMapView();
    Picture1_Paint();
    SetHScroll();
}

void frmMain::applyLayout()
{
    place(Picture1, m_layout.picture1);
    place(vmapScroll, m_layout.vmapScroll);
    place(HmapScroll, m_layout.hmapScroll);
    place(btnResize, m_layout.btnResize);
    place(Frame1, m_layout.frame1);
    place(txtChat, m_layout.txtChat);
    place(txtInput, m_layout.txtInput);
    const auto minimum = m_layout.minimumSize();
    setMinimumSize(twipsToPixelsAtLeast(minimum.width), twipsToPixelsAtLeast(minimum.height));
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Picture1) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            Picture1_MouseDown(mouse->button(), mouse->position());
            break;
        }
        case QEvent::MouseMove:
            Picture1_MouseMove(static_cast<QMouseEvent *>(event)->position());
            break;
        case QEvent::MouseButtonRelease:
            Picture1_MouseUp(static_cast<QMouseEvent *>(event)->position());
            break;
        default:
            break;
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (watched == lstPlayer->viewport()) {
        if (event->type() == QEvent::MouseMove)
            lstPlayer_MouseMove(static_cast<QMouseEvent *>(event)->position().toPoint());
        else if (event->type() == QEvent::MouseButtonPress) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            lstPlayer_MouseDown(mouse->buttons(), mouse->position().toPoint());
        }
        return QMainWindow::eventFilter(watched, event);
    }
    if (watched != btnResize)
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        btnResize_MouseDown(mouse->button(), pixelsToTwips(qRound(mouse->position().y())));
        return true;
    }
    case QEvent::MouseMove:
        btnResize_MouseMove(pixelsToTwips(qRound(static_cast<QMouseEvent *>(event)->position().y())));
        return true;
    case QEvent::MouseButtonRelease:
        btnResize_MouseUp();
        return true;
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

void frmMain::btnResize_MouseDown(Qt::MouseButton button, int y) { m_layout.pressGrip(button, y); }

void frmMain::btnResize_MouseMove(int y)
{
    // The map view's contents are redrawn only at the release.
    if (m_layout.moveGrip(y))
        applyLayout();
}

void frmMain::btnResize_MouseUp()
{
    m_layout.releaseGrip();
    update();
    SetVScroll();
    clearMapView();
    Picture1_Paint();
}

} // namespace vellmar::app
