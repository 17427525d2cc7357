#pragma once

#include "app/layout/MainLayout.h"
#include "combat/TurnOrder.h"
#include "combat/forms/frmShownTurnOrder.h"
#include "map/MapState.h"
#include "map/forms/MapView.h"
#include "session/binding/Dispatcher.h"
#include "session/binding/SessionStarter.h"
#include "table/Table.h"
#include "tokens/pointer/PaletteTool.h"
#include "ui/MainWindowApi.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QSessionManager;

namespace vellmar::core {
class Questions;
}
namespace vellmar::session {
class PortMapper;
class SessionTransport;
class TransportSender;
} // namespace vellmar::session
namespace vellmar::dice {
class ChatRoller;
class RollLog;
class frmDiceRoll;
} // namespace vellmar::dice
namespace vellmar::combat {
class TurnOrderExchange;
class frmCombat;
class frmShownTurnOrder;
} // namespace vellmar::combat
namespace vellmar::tokens {
class CMarker;
class CombatTrackerLink;
class IconCommands;
class MapPointer;
class MarkerExchange;
class ShownIcons;
class QtIconDialogs;
class ToolGesture;
struct ToolRequest;
class frmSetMarker;
} // namespace vellmar::tokens
namespace vellmar::map {
class MapOverlay;
class MeasureOverlay;
class MapViewController;
class PictureSupply;
class ShownMapExchange;
class frmMaplist;
namespace fog {
class FogGesture;
class FogOutline;
class TableFog;
} // namespace fog
} // namespace vellmar::map
namespace vellmar::chat {
class frmPartyChat;
class PrivateChats;
} // namespace vellmar::chat

namespace vellmar::app {

class SoundPlayer;
class TableFiles;
class WindowPlaces;
struct Storage;
class frmToolbar;
class UpDownControl;

// The window that opens at start and lives until the program ends. It owns
// the shared state and hands it to the other windows by reference; what the
// controls do lives in the subsystems, the handlers here only route.
class frmMain final : public QMainWindow, public ui::MainWindowApi, private session::SessionStarter::Ui
{
    Q_OBJECT
public:
    // Makes the session object when the user hosts or joins; tests pass one
    // that keeps every socket on loopback.
    using TransportFactory = std::function<std::unique_ptr<session::SessionTransport>(core::Questions &)>;

    // Makes the picture supply of the shown map; the program's default finds
    // pictures in its map folder.
    using PictureSupplyFactory =
        std::function<std::unique_ptr<map::PictureSupply>(table::Table &, session::Dispatcher &)>;
    // Finds shown pictures in the map folder only; what windows in tests use.
    static PictureSupplyFactory defaultPictureSupply();
    // Also fetches them from the session into a cache in cacheFolder.
    // mapFolder: where this copy's own pictures are looked for first.
    static PictureSupplyFactory sessionPictureSupply(const QString &cacheFolder,
                                                     const QString &mapFolder = QStringLiteral("map"));

    frmMain(core::Questions &questions, TransportFactory transportFactory, QWidget *parent = nullptr);
    frmMain(core::Questions &questions, TransportFactory transportFactory, PictureSupplyFactory pictureSupply,
            QWidget *parent = nullptr);
    ~frmMain() override;

    // Makes the router port mapping when this copy hosts; without one the
    // port is not mapped (tests pass a fake, or none).
    using PortMapperFactory = std::function<std::unique_ptr<session::PortMapper>()>;
    void setPortMapperFactory(PortMapperFactory factory) { m_portMapperFactory = std::move(factory); }

    table::Table &state() { return m_state; }
    chat::frmPartyChat &partyChat() { return *m_partyChat; }
    chat::PrivateChats &privateChats() { return *m_privateChats; }
    tokens::MarkerExchange &markerExchange() { return *m_markers; }
    tokens::IconCommands &iconCommands() { return *m_iconCommands; }
    map::ShownMapExchange &shownMap() { return *m_shownMap; }
    map::PictureSupply &pictureSupply() { return *m_pictures; }
    combat::TurnOrderExchange &turnOrderExchange() { return *m_turnOrderExchange; }
    // The fog over the table's map and the master's fog tools.
    map::fog::TableFog &fog() { return *m_fog; }
    combat::frmShownTurnOrder *shownTurnOrder() const { return m_shownTurnOrder; }
    session::SessionTransport *directPlay() const { return m_directPlay.get(); }
    const SoundPlayer &sounds() const { return *m_sounds; }
    std::int32_t eventHandle() const { return m_eventHandle; }
    const MainLayout &layoutState() const { return m_layout; }
    // The File menu's table commands, autosave and the crash restore offer.
    TableFiles &tableFiles() { return *m_tableFiles; }
    const combat::TurnOrder &turnOrder() const { return m_turnOrder; }
    // Remembers settings and window places, and autosaves, from now on; then
    // offers the table of a run that did not end cleanly. Without it nothing
    // is kept between runs (as in tests).
    void useStorage(const Storage &storage);

    // Operations the other windows call.
    void Display(const QString &p_Text) override;
    void RestoreWindow(QWidget &window) override;
    void Picture1_Paint();
    void SetHScroll();
    void SetVScroll();
    void RequestPlaceMarker(const table::CMarker &p_marker);
    void BroadcastPlaceMarker(const table::CMarker &p_marker);
    void BroadcastUpdateMarker(const table::CMarker &p_marker);
    std::int32_t NextMarkerID() { return m_state.NextMarkerID(); }
    std::int32_t NextIconID() { return m_state.NextIconID(); }

    // Map state of the main window; the named fields are views of it.
    map::MapState mapState;
    double &map10Size = mapState.map10Size;
    std::int32_t &map10OffsetX = mapState.map10OffsetX;
    std::int32_t &map10OffsetY = mapState.map10OffsetY;
    bool &mapLoaded = mapState.mapLoaded;
    double &zoom = mapState.zoom;
    // Scrolling, zoom, the grid switch and the view's geometry.
    map::MapViewController &mapView() { return *m_mapView; }
    std::int32_t menuMapX = 0;
    std::int32_t menuMapY = 0;
    bool dragging() const;

    // Menus.
    QMenu *mnuFile;
    QAction *mnuExit;
    QMenu *mnuSession;
    QAction *mnuHostSession;
    QAction *mnuJoinSession;
    QAction *mnuDownloadMaps;
    // Set before hosting; blank: the session needs no password.
    QAction *mnuSessionPassword;
    QAction *mnuPictureCache;
    QMenu *mnuPlayerMaster;
    QAction *mnuPrivateChat1;
    QAction *mnuDivider1;
    QAction *mnuKick;
    QAction *mnuKickandBan;
    QMenu *mnuPlayerPlayer;
    QAction *mnuPrivateChat2;
    QMenu *mnuIcon;
    QAction *mnuPlaceIcon;
    QAction *mnuModifyIcon;
    QAction *mnuRemoveIcon;
    QAction *mnuRollInitiative;
    QAction *mnuDivider3;
    QAction *mnuPlaceMarker;
    QAction *mnuModifyMarker;
    QAction *mnuRemoveMarker;
    QAction *mnuQuickMarker;
    QAction *mnuDivider4;
    QAction *mnuShowIcon;
    QAction *mnuShowMap;
    // Ctrl+Z and Ctrl+Shift+Z on the map and the palette: the master's fog steps.
    QAction *mnuUndoFog;
    QAction *mnuRedoFog;

    // Controls placed directly on the window.
    map::MapView *Picture1;
    QScrollBar *vmapScroll;
    QScrollBar *HmapScroll;
    QPushButton *btnResize;
    QGroupBox *Frame1;
    QPlainTextEdit *txtChat;
    QLineEdit *txtInput;
    QPushButton *btnEnter;
    // In the status bar, right under the input, while a typed command cannot
    // be read; hidden otherwise.
    QLabel *lblInputError;

    // Controls inside the side panel.
    QPushButton *btnMaplist;
    QPushButton *btnDiceRolls;
    QLabel *lblRollVal;
    QLineEdit *txtRollVal;
    QPushButton *btnCombat;
    QPushButton *btnPartyChat;
    QLabel *Label1;
    QListWidget *lstPlayer;
    QPushButton *btnToolbar;
    QCheckBox *chkShowGrid;
    UpDownControl *UpDownZoom;
    QLabel *Label2;
    QLabel *Picture2;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createControls();
    void Form_Load();
    void Form_QueryUnload(bool &cancel);
    void Form_Unload();
    void Form_Resize();
    void mnuExit_Click();
    void btnEnter_Click();
    void showInputError(const QString &error);
    void mnuHostSession_Click();
    void mnuJoinSession_Click();
    void DirectXEvent_DXCallback(std::int32_t eventid);
    void RefreshPlayerList();
    void btnPartyChat_Click();
    void btnDiceRolls_Click();
    void btnCombat_Click();
    void btnToolbar_Click();
    void btnMaplist_Click();
    void UpDownZoom_Change();
    void mnuPrivateChat1_Click();
    void mnuPrivateChat2_Click() { mnuPrivateChat1_Click(); }
    void mnuPlaceIcon_Click();
    void mnuModifyIcon_Click();
    void mnuRemoveIcon_Click();
    void mnuRollInitiative_Click();
    void mnuQuickMarker_Click();
    void mnuPlaceMarker_Click();
    void mnuModifyMarker_Click();
    void mnuRemoveMarker_Click();
    void mnuShowMap_Click();
    void mnuShowIcon_Click();
    void mnuDownloadMaps_Click();
    void mnuSessionPassword_Click();
    void mnuPictureCache_Click();
    void Picture1_MouseDown(Qt::MouseButtons button, QPointF position);
    void Picture1_MouseMove(QPointF position);
    void Picture1_MouseUp(QPointF position);
    void SelectUnderPointer(QPointF position);
    QPoint pointerMapPosition(QPointF position) const;
    // The palette's tools on the map.
    void toolChosen(tokens::PaletteTool tool);
    void carryOut(const tokens::ToolRequest &request);
    const map::MapOverlay *measureOverlay();
    // The master's fog tools: a press, the moves and the release on the map.
    void fogPress(QPointF position);
    void fogMove(QPointF position);
    void fogRelease(QPointF position);
    void fogWholeMap(bool hide);
    void undoFog();
    void redoFog();
    void offerFogTools();
    void lstPlayer_MouseMove(QPoint position);
    void lstPlayer_MouseDown(Qt::MouseButtons buttons, QPoint position);
    void btnResize_MouseDown(Qt::MouseButton button, int y);
    void btnResize_MouseMove(int y);
    void btnResize_MouseUp();
    void onCommitDataRequest(QSessionManager &manager);

    void startSession(bool hosting);
    bool beginSession(bool hosting);
    void showWhereToJoin();
    void startPortMapping(std::uint16_t port);

    // Hands each received message type to the subsystem that owns it.
    void routeReceived();
    // The shared table: what the master shows, and what a late joiner gets.
    void createTableSharing();
    void routeTableSharing();
    void sendTableTo(std::int32_t playerId);
    void offerShowToPlayers();
    // Names the largest picture the master may show.
    QString showToPlayersTip() const;
    // The master's player list says who can see the shown map.
    void markMapReadiness();
    void showSeenTurnOrder();
    void setBusy(bool busy) override;

    void applyLayout();
    void clearMapView();
    void createTableFiles();
    void tableReplaced();

    core::Questions &m_questions;
    TransportFactory m_transportFactory;
    PictureSupplyFactory m_pictureSupplyFactory;
    table::Table m_state;
    std::unique_ptr<session::SessionTransport> m_directPlay;
    std::unique_ptr<session::TransportSender> m_sender;
    PortMapperFactory m_portMapperFactory;
    std::unique_ptr<session::PortMapper> m_portMapper; // while hosting; removes the mapping when it goes
    QString m_whereToJoin;
    QString m_hostPassword;
    session::Dispatcher m_dispatcher;
    std::unique_ptr<SoundPlayer> m_sounds;
    std::int32_t m_eventHandle = 0;
    bool m_busy = false;
    bool m_startingSession = false;
    bool m_closeAfterStart = false;
    MainLayout m_layout;
    QWidget *m_client;
    chat::frmPartyChat *m_partyChat = nullptr;
    // Tool windows exist at most once; closing one discards it.
    QPointer<dice::frmDiceRoll> m_diceRoll;
    // Every roll this copy saw, kept for the dice window's list, and the
    // roller of the commands typed in any chat box.
    std::unique_ptr<dice::RollLog> m_rollLog;
    std::unique_ptr<dice::ChatRoller> m_chatRoller;
    QPointer<combat::frmCombat> m_combat;
    QPointer<frmToolbar> m_toolbar;
    QPointer<map::frmMaplist> m_maplist;
    map::MapViewController *m_mapView = nullptr;
    std::unique_ptr<chat::PrivateChats> m_privateChats;
    std::unique_ptr<tokens::MarkerExchange> m_markers;
    QPointer<tokens::frmSetMarker> m_setMarker; // kept between uses: it offers the last text
    std::unique_ptr<tokens::MapPointer> m_pointer;
    std::unique_ptr<tokens::ToolGesture> m_gesture;
    std::unique_ptr<map::MeasureOverlay> m_measure; // what the last drawing showed of the measuring line
    std::unique_ptr<map::fog::FogGesture> m_fogGesture;
    std::unique_ptr<map::fog::FogOutline> m_fogOutline; // what the last drawing showed of a fog shape
    int m_brushCells = 2;
    // Declared in this order so the commands go before what they use.
    std::unique_ptr<tokens::QtIconDialogs> m_iconDialogs;
    std::unique_ptr<tokens::CombatTrackerLink> m_trackerLink;
    std::unique_ptr<tokens::IconCommands> m_iconCommands;
    // The combat order outlives its window, so a table file can hold it.
    combat::TurnOrder m_turnOrder;
    WindowPlaces *m_windowPlaces = nullptr;
    std::unique_ptr<TableFiles> m_tableFiles;
    std::unique_ptr<map::PictureSupply> m_pictures;
    std::unique_ptr<map::fog::TableFog> m_fog;
    std::unique_ptr<map::ShownMapExchange> m_shownMap;
    std::unique_ptr<tokens::ShownIcons> m_shownIcons;
    std::unique_ptr<combat::TurnOrderExchange> m_turnOrderExchange;
    QPointer<combat::frmShownTurnOrder> m_shownTurnOrder;
};

} // namespace vellmar::app
