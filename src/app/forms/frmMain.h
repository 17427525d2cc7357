#pragma once

#include "app/MainWindowApi.h"
#include "app/layout/MainLayout.h"
#include "app/state/SharedState.h"

#include <QMainWindow>

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
namespace vellmar::chat {
class frmPartyChat;
class PrivateChats;
} // namespace vellmar::chat

namespace vellmar::app {

class UpDownControl;

// The window that opens at start and lives until the program ends. It owns
// the shared state and hands it to the other windows by reference; what the
// controls do lives in the subsystems, the handlers here only route.
class frmMain final : public QMainWindow, public MainWindowApi
{
    Q_OBJECT
public:
    explicit frmMain(core::Questions &questions, QWidget *parent = nullptr);
    ~frmMain() override;

    SharedState &state() { return m_state; }
    chat::frmPartyChat &partyChat() { return *m_partyChat; }
    chat::PrivateChats &privateChats() { return *m_privateChats; }
    const MainLayout &layoutState() const { return m_layout; }

    // Operations the other windows call.
    void Display(const QString &p_Text) override;
    void RestoreWindow(QWidget &window) override;
    void Picture1_Paint();
    void SetHScroll();
    void SetVScroll();
    std::int32_t NextMarkerID() { return m_state.NextMarkerID(); }
    std::int32_t NextIconID() { return m_state.NextIconID(); }

    // Map state of the main window.
    double map10Size = 22.56;
    std::int32_t map10OffsetX = -9;
    std::int32_t map10OffsetY = -13;
    bool mapLoaded = false;
    double zoom = 1.0;
    std::int32_t menuMapX = 0;
    std::int32_t menuMapY = 0;
    bool dragging = false;

    // Menus.
    QMenu *mnuFile;
    QAction *mnuExit;
    QMenu *mnuSession;
    QAction *mnuHostSession;
    QAction *mnuJoinSession;
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

    // Controls placed directly on the window.
    QWidget *Picture1;
    QScrollBar *vmapScroll;
    QScrollBar *HmapScroll;
    QPushButton *btnResize;
    QGroupBox *Frame1;
    QPlainTextEdit *txtChat;
    QLineEdit *txtInput;
    QPushButton *btnEnter;

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
    void btnPartyChat_Click();
    void mnuPrivateChat1_Click();
    void mnuPrivateChat2_Click() { mnuPrivateChat1_Click(); }
    void lstPlayer_MouseMove(QPoint position);
    void lstPlayer_MouseDown(Qt::MouseButtons buttons, QPoint position);
    void btnResize_MouseDown(Qt::MouseButton button, int y);
    void btnResize_MouseMove(int y);
    void btnResize_MouseUp();
    void onCommitDataRequest(QSessionManager &manager);

    void applyLayout();
    void clearMapView();

    core::Questions &m_questions;
    SharedState m_state;
    MainLayout m_layout;
    QWidget *m_client;
    chat::frmPartyChat *m_partyChat = nullptr;
    std::unique_ptr<chat::PrivateChats> m_privateChats;
};

} // namespace vellmar::app
