#include "frmMain.h"

#include "app/forms/QtTableFileChooser.h"
#include "app/forms/TableFiles.h"
#include "app/forms/WindowPlaces.h"
#include "app/platform/SoundPlayer.h"
#include "app/toolbar/frmToolbar.h"
#include "app/widgets/UpDownControl.h"
#include "chat/forms/PrivateChats.h"
#include "chat/forms/frmPartyChat.h"
#include "combat/TurnOrderExchange.h"
#include "combat/forms/frmCombat.h"
#include "core/Questions.h"
#include "core/Text.h"
#include "dice/ChatRoller.h"
#include "dice/RollLog.h"
#include "dice/forms/frmDiceRoll.h"
#include "map/MeasureOverlay.h"
#include "map/fog/FogGesture.h"
#include "map/fog/TableFog.h"
#include "map/forms/MapViewController.h"
#include "map/forms/frmMaplist.h"
#include "map/sharing/PictureSupply.h"
#include "map/sharing/ShownMapExchange.h"
#include "saving/Preferences.h"
#include "session/binding/TransportSender.h"
#include "session/binding/UserNamePrompt.h"
#include "session/portmap/PortMapper.h"
#include "session/protocol/Messages.h"
#include "session/transport/TcpSessionTransport.h"
#include "tokens/icons/IconCommands.h"
#include "tokens/icons/ShownIcons.h"
#include "tokens/icons/forms/CombatTrackerLink.h"
#include "tokens/icons/forms/QtIconDialogs.h"
#include "tokens/markers/MarkerExchange.h"
#include "tokens/markers/forms/frmModifyMarker.h"
#include "tokens/markers/forms/frmSetMarker.h"
#include "tokens/pointer/MapPointer.h"
#include "tokens/pointer/ToolGesture.h"
#include "ui/DesignFont.h"
#include "ui/LogLine.h"
#include "ui/Place.h"

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
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace vellmar::app {

frmMain::frmMain(core::Questions &questions, TransportFactory transportFactory, QWidget *parent)
    : frmMain(questions, std::move(transportFactory), defaultPictureSupply(), parent)
{}

frmMain::frmMain(core::Questions &questions, TransportFactory transportFactory, PictureSupplyFactory pictureSupply,
                 QWidget *parent)
    : QMainWindow(parent)
    , m_questions(questions)
    , m_transportFactory(std::move(transportFactory))
    , m_pictureSupplyFactory(std::move(pictureSupply))
    , m_sounds(std::make_unique<SoundPlayer>())
    , m_client(new QWidget(this))
    , m_markers(std::make_unique<tokens::MarkerExchange>(m_state, [this] { Picture1_Paint(); }))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vellmar"));
    // The layout's twip sizes were chosen for this small dialog font.
    setFont(ui::designFont(8.25));
    setCentralWidget(m_client);
    createMenus();
    createControls();
    statusBar()->addPermanentWidget(lblInputError);
    statusBar()->showMessage(QStringLiteral("Not in a session"));
    Form_Load();

    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuHostSession, &QAction::triggered, this, &frmMain::mnuHostSession_Click);
    connect(mnuSessionPassword, &QAction::triggered, this, &frmMain::mnuSessionPassword_Click);
    connect(mnuPictureCache, &QAction::triggered, this, &frmMain::mnuPictureCache_Click);
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
    connect(mnuUndoFog, &QAction::triggered, this, &frmMain::undoFog);
    connect(mnuRedoFog, &QAction::triggered, this, &frmMain::redoFog);
    // A main window has no dialog-style default button: Enter in the input box
    // presses the hidden button explicitly.
    connect(txtInput, &QLineEdit::returnPressed, btnEnter, &QPushButton::click);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &frmMain::onCommitDataRequest);
}

frmMain::~frmMain() = default;

void frmMain::Form_Load()
{
    mapLoaded = false;
    ui::place(btnEnter, {-1000, 960, 135, 255});

    resize(ui::twipsToPixels(MainLayout::clientWidth), ui::twipsToPixels(MainLayout::clientHeight)
                                                           + menuBar()->sizeHint().height()
                                                           + statusBar()->sizeHint().height());
    m_layout.start(ui::pixelsToTwips(width()), ui::pixelsToTwips(height()));

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
    m_partyChat = new chat::frmPartyChat(m_state.identity(), m_state.outbox(), this);
    m_privateChats = std::make_unique<chat::PrivateChats>(m_state.identity(), m_state.outbox(), *this, this);
    m_rollLog = std::make_unique<dice::RollLog>();
    m_chatRoller = std::make_unique<dice::ChatRoller>(m_state.identity(), m_state.outbox(), *m_rollLog);
    const auto rollCommands = [this](const QString &line) { return m_chatRoller->run(line); };
    m_partyChat->setCommands(rollCommands);
    m_privateChats->setCommands(rollCommands);
    createTableSharing();
    routeReceived();
    m_state.inSession = false;
    m_state.isMaster = true;
    m_state.currentMarker.reset();
    m_state.currentIcon.reset();
    m_pointer = std::make_unique<tokens::MapPointer>(m_state.identity(), m_state.records());
    m_gesture = std::make_unique<tokens::ToolGesture>(*m_pointer, m_state.identity(), m_state.records());

    const auto repaint = [this] { Picture1_Paint(); };
    m_iconDialogs =
        std::make_unique<tokens::QtIconDialogs>(m_state.identity(), m_state.records(), m_questions, repaint, this);
    m_trackerLink = std::make_unique<tokens::CombatTrackerLink>([this] {
        btnCombat_Click();
        return m_combat.data();
    });
    m_iconCommands = std::make_unique<tokens::IconCommands>(m_state.records(), *m_iconDialogs, *m_trackerLink, repaint);

    lblRollVal->hide();
    txtRollVal->hide();
    btnPartyChat->setEnabled(false);
    createTableFiles();
}

void frmMain::createTableFiles()
{
    m_windowPlaces = new WindowPlaces(this);
    m_tableFiles = std::make_unique<TableFiles>(
        TableFiles::Parts{m_state, m_turnOrder, mapState, *m_mapView, m_questions, [this] { tableReplaced(); }},
        std::make_unique<QtTableFileChooser>(this), this);
    m_tableFiles->setPictureSupply(m_pictures.get());
    m_tableFiles->setShowInSession([this](const saving::OpenedTable &opened) {
        if (opened.content.map)
            mnuShowMap_Click();
        m_markers->replaceMarkers(opened.content.markers);
    });
    m_tableFiles->setFog({[this] { return m_fog->savedFog(); },
                          [this](const std::optional<map::fog::FogMask> &fog) { m_fog->tableOpened(fog); }});
    m_tableFiles->addTo(mnuFile, mnuExit);
}

void frmMain::useStorage(const Storage &storage)
{
    m_tableFiles->useStorage(storage);
    m_windowPlaces->usePreferences(m_tableFiles->preferences());
    m_windowPlaces->track(m_partyChat);
    if (const auto limit = m_tableFiles->preferences()->pictureCacheLimit())
        m_pictures->limitStorage(*limit);
    m_tableFiles->offerRestoreAfterCrash();
}

void frmMain::tableReplaced()
{
    if (m_combat)
        m_combat->refresh();
    Picture1_Paint();
}

void frmMain::Display(const QString &p_Text) { ui::appendLogLine(*txtChat, p_Text); }

void frmMain::RestoreWindow(QWidget &window)
{
    window.setWindowState(window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    window.showNormal();
    window.raise();
    window.activateWindow();
}

void frmMain::btnPartyChat_Click() { RestoreWindow(*m_partyChat); }

void frmMain::btnDiceRolls_Click()
{
    if (!m_diceRoll) {
        m_diceRoll = new dice::frmDiceRoll(m_state.identity(), m_state.outbox(), *this, m_questions, this, nullptr,
                                           m_rollLog.get());
        m_windowPlaces->track(m_diceRoll);
    }
    RestoreWindow(*m_diceRoll);
}

void frmMain::btnCombat_Click()
{
    if (!m_combat) {
        m_combat = new combat::frmCombat(m_turnOrder, m_questions, this);
        m_windowPlaces->track(m_combat);
        offerShowToPlayers();
    }
    RestoreWindow(*m_combat);
}

void frmMain::btnToolbar_Click()
{
    if (!m_toolbar) {
        m_toolbar = new frmToolbar(this);
        connect(m_toolbar, &frmToolbar::toolChosen, this, &frmMain::toolChosen);
        connect(m_toolbar, &frmToolbar::hideAllClicked, this, [this] { fogWholeMap(true); });
        connect(m_toolbar, &frmToolbar::revealAllClicked, this, [this] { fogWholeMap(false); });
        connect(m_toolbar, &frmToolbar::undoFogClicked, this, &frmMain::undoFog);
        connect(m_toolbar, &frmToolbar::redoFogClicked, this, &frmMain::redoFog);
        m_toolbar->BrushCells->setValue(m_brushCells);
        connect(m_toolbar->BrushCells, &QSpinBox::valueChanged, this, [this](int cells) { m_brushCells = cells; });
        // The shortcuts work while the palette is the active window too.
        m_toolbar->addAction(mnuUndoFog);
        m_toolbar->addAction(mnuRedoFog);
        offerFogTools();
        m_windowPlaces->track(m_toolbar);
    }
    RestoreWindow(*m_toolbar);
}

void frmMain::offerFogTools()
{
    if (m_toolbar)
        m_toolbar->showFogTools(m_state.isMaster);
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
    if (m_startingSession) {
        m_closeAfterStart = true;
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
    // The last autosave, before anything is torn down.
    m_tableFiles->finish();
    // Releasing the session ends this copy's membership; the others are told
    // by the transport that a player left.
    m_state.sender = nullptr;
    m_sender.reset();
    m_portMapper.reset(); // hosting ends: the router forgets the forwarding
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
    if (cancel) {
        manager.cancel();
        return;
    }
    // Confirmed: leave now rather than linger half-closed if the logout is
    // cancelled by another program.
    QTimer::singleShot(0, this, &QWidget::close);
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize()
{
    const auto size = m_layout.resize(ui::pixelsToTwips(width()), ui::pixelsToTwips(height()));
    applyLayout();
    const int wantedWidth = ui::twipsToPixelsAtLeast(size.width);
    const int wantedHeight = ui::twipsToPixelsAtLeast(size.height);
    if (wantedWidth != width() || wantedHeight != height())
        resize(wantedWidth, wantedHeight);
    clearMapView();
    Picture1_Paint();
    SetHScroll();
}

void frmMain::applyLayout()
{
    ui::place(Picture1, m_layout.picture1);
    ui::place(vmapScroll, m_layout.vmapScroll);
    ui::place(HmapScroll, m_layout.hmapScroll);
    ui::place(btnResize, m_layout.btnResize);
    ui::place(Frame1, m_layout.frame1);
    ui::place(txtChat, m_layout.txtChat);
    ui::place(txtInput, m_layout.txtInput);
    // The minimum height follows the grip, but it only guards resizing: a
    // minimum above the current size would make Qt grow the window at once,
    // so a grip dragged down would push the window (and the input box) down
    // with it. A window that is too short is grown by Form_Resize instead.
    const auto minimum = m_layout.minimumSize();
    setMinimumSize(std::min(ui::twipsToPixelsAtLeast(minimum.width), width()),
                   std::min(ui::twipsToPixelsAtLeast(minimum.height), height()));
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
        btnResize_MouseDown(mouse->button(), ui::pixelsToTwips(qRound(mouse->position().y())));
        return true;
    }
    case QEvent::MouseMove:
        btnResize_MouseMove(ui::pixelsToTwips(qRound(static_cast<QMouseEvent *>(event)->position().y())));
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
