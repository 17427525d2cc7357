#include "core/Questions.h"
#include "frmMain.h"

#include "app/forms/TableFiles.h"
#include "app/platform/SoundPlayer.h"
#include "chat/ChatLines.h"
#include "chat/ChatReceiving.h"
#include "chat/forms/PrivateChats.h"
#include "chat/forms/frmPartyChat.h"
#include "core/Text.h"
#include "dice/ChatRoller.h"
#include "dice/RollLog.h"
#include "dice/RollReceiving.h"
#include "saving/Preferences.h"
#include "session/binding/SessionIdentity.h"
#include "session/binding/TransportSender.h"
#include "session/binding/UserNamePrompt.h"
#include "session/portmap/PortMapper.h"
#include "session/protocol/Messages.h"
#include "session/transport/TcpSessionTransport.h"
#include "tokens/markers/MarkerExchange.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QNetworkInterface>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

// The main window in a session: hosting and joining, the main chat line, the
// player list, and which subsystem takes each received message.
namespace vellmar::app {

namespace {
Q_LOGGING_CATEGORY(lcApp, "vellmar.app", QtWarningMsg)

const QString joinSound = QStringLiteral("Sounds/knucklhd.wav");
const QString leaveSound = QStringLiteral("Sounds/doorshut.wav");
} // namespace

void frmMain::btnEnter_Click()
{
    const QString text = core::trimSpaces(txtInput->text());
    const chat::CommandResult command = text.isEmpty() ? chat::CommandResult{} : m_chatRoller->run(text);
    if (command.kind == chat::CommandResult::Kind::refused) {
        showInputError(command.error); // the line stays for mending
        return;
    }
    showInputError(QString());
    if (command.kind == chat::CommandResult::Kind::done) {
        for (const QString &line : command.lines)
            Display(line);
    } else if (!text.isEmpty()) {
        const bool sent = m_state.sendToAll(session::MSG_CHAT, text);
        Display(chat::saidLine(m_state.userName, text));
        if (m_state.inSession && !sent)
            Display(chat::lineNotSentLine());
    }
    txtInput->clear();
}

void frmMain::showInputError(const QString &error)
{
    lblInputError->setText(error);
    lblInputError->setHidden(error.isEmpty());
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

void frmMain::mnuHostSession_Click() { startSession(true); }

void frmMain::mnuJoinSession_Click() { startSession(false); }

void frmMain::startSession(bool hosting)
{
    // Setting up waits on the network inside local event loops; a close
    // confirmed meanwhile must not destroy the transport under its own feet,
    // so it goes on once the set-up has returned.
    m_startingSession = true;
    beginSession(hosting);
    m_startingSession = false;
    if (m_closeAfterStart)
        QTimer::singleShot(0, this, &QWidget::close);
}

bool frmMain::beginSession(bool hosting)
{
    // One attempt per run, whatever happens below.
    mnuHostSession->setEnabled(false);
    mnuJoinSession->setEnabled(false);

    saving::Preferences *remembered = m_tableFiles->preferences();
    const QString userName = session::askUserName(m_questions, remembered ? remembered->lastUserName() : QString());
    if (remembered)
        remembered->setLastUserName(userName);
    m_state.userName = userName;
    if (hosting)
        m_state.userName += u"(DM)";

    m_directPlay = m_transportFactory(m_questions);
    auto *tcp = qobject_cast<session::TcpSessionTransport *>(m_directPlay.get());
    if (tcp && remembered && !remembered->hostAddresses().isEmpty())
        tcp->setSuggestedAddress(remembered->hostAddresses().constFirst());
    if (tcp && hosting)
        tcp->setSessionPassword(m_hostPassword);
    session::SessionStarter starter(*m_directPlay, m_questions, *this);
    const auto outcome = hosting ? starter.host(m_state.userName) : starter.join(m_state.userName);
    if (outcome.result != session::SessionStarter::Result::Success)
        return false;
    if (tcp && remembered && !hosting)
        remembered->rememberHostAddress(tcp->typedAddress());

    m_eventHandle = outcome.eventHandle;
    m_state.ownPlayerID = outcome.ownPlayerID;
    m_state.userName = outcome.registeredName;
    // Icons never leave this copy, so those placed before the session had no
    // player id yet are this participant's own.
    for (const auto &icon : m_state.icons.records()) {
        if (icon->UserID == 0)
            icon->UserID = m_state.ownPlayerID;
    }
    m_sender = std::make_unique<session::TransportSender>(*m_directPlay, m_state.ownPlayerID);
    m_state.sender = m_sender.get();

    // The host stamped the roles when it let each player in: the hosting
    // copy's player, or the joiner a host without a player gave the role to.
    m_state.isMaster = m_directPlay->isMasterPlayer(m_state.ownPlayerID);
    m_state.masterPlayerID = 0;
    for (const auto &player : m_directPlay->GetDPEnumPlayers(m_directPlay->GetGuidApplication(), 0)) {
        if (m_directPlay->isMasterPlayer(player.id))
            m_state.masterPlayerID = player.id;
    }
    if (hosting && !m_state.isMaster)
        qCWarning(lcApp, "hosting as player %d, but the transport did not make it the master", m_state.ownPlayerID);
    setWindowTitle(m_state.userName + (m_state.isMaster ? u" (Master)" : u" (Player)"));
    offerFogTools();
    RefreshPlayerList();
    txtInput->setEnabled(true);
    btnPartyChat->setEnabled(true);
    m_state.inSession = true;
    if (m_state.isMaster) {
        lblRollVal->show();
        txtRollVal->show();
        offerShowToPlayers();
    }
    if (hosting)
        showWhereToJoin();
    else if (m_state.isMaster)
        statusBar()->showMessage(QStringLiteral("Joined as the game master"));
    else if (m_state.userName.endsWith(u"(DM)"))
        statusBar()->showMessage(QStringLiteral("Another player became game master first; joined as a player"));
    else
        statusBar()->showMessage(QStringLiteral("Joined as a player"));
    // Messages can arrive while the set-up still waits on the network; they
    // are handled only now, with the own id and the role in place.
    connect(m_directPlay.get(), &session::SessionTransport::receiveEvent, this, &frmMain::DirectXEvent_DXCallback);
    DirectXEvent_DXCallback(m_eventHandle);
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
    m_whereToJoin = u"Hosting - players can join at " + addresses.join(QStringLiteral(", "));
    statusBar()->showMessage(m_whereToJoin);
    startPortMapping(tcp->hostPort());
}

void frmMain::startPortMapping(std::uint16_t port)
{
    // Players outside the home network reach the host only through the
    // router; the answer comes later and never holds up the window.
    if (!m_portMapperFactory)
        return;
    m_portMapper = m_portMapperFactory();
    connect(m_portMapper.get(), &session::PortMapper::finished, this, [this](const session::PortMapResult &result) {
        statusBar()->showMessage(m_whereToJoin + u"; " + session::portMapStatus(result));
    });
    statusBar()->showMessage(m_whereToJoin + u"; " + session::portMapPending());
    m_portMapper->start(port);
}

void frmMain::DirectXEvent_DXCallback(std::int32_t)
{
    if (m_directPlay)
        m_dispatcher.drain(*m_directPlay, m_state.ownPlayerID);
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
    markMapReadiness();
}

void frmMain::routeReceived()
{
    // The chat registers first: a notice's system line comes before the list
    // refresh and the sound.
    chat::routeChat(m_dispatcher, {
                                      [this](const QString &line) { Display(line); },
                                      [this](const QString &line) { m_partyChat->Display(line); },
                                      [this](std::int32_t from, const QString &senderName, const QString &text) {
                                          m_privateChats->receive(from, senderName, text);
                                      },
                                  });
    dice::routeRolls(m_dispatcher, {
                                       [this] { return m_state.isMaster; },
                                       [this] { return txtRollVal->text(); },
                                       [this](const QString &line) { Display(line); },
                                       [this](const QString &line) { m_rollLog->append(line); },
                                   });
    m_markers->route(m_dispatcher);
    routeTableSharing();
    // A master who joins later (a host without a player gives the role on
    // request) counts from its arrival; one who left no longer counts.
    m_dispatcher.onNotice(session::NOTICE_PLAYER_CREATED, [this](session::PlayerId about) {
        if (m_directPlay && m_directPlay->isMasterPlayer(about))
            m_state.masterPlayerID = about;
    });
    m_dispatcher.onNotice(session::NOTICE_PLAYER_DESTROYED, [this](session::PlayerId about) {
        if (about == m_state.masterPlayerID)
            m_state.masterPlayerID = 0;
    });
    m_dispatcher.onNotice(session::NOTICE_PLAYER_CREATED, [this] {
        RefreshPlayerList();
        m_sounds->play(joinSound);
    });
    m_dispatcher.onNotice(session::NOTICE_PLAYER_DESTROYED, [this] {
        RefreshPlayerList();
        m_sounds->play(leaveSound);
    });
}

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

void frmMain::mnuSessionPassword_Click()
{
    const auto password = m_questions.askSecret(
        QStringLiteral("Session Password"),
        QStringLiteral("Password players must give to join the session you host (leave blank for none):"));
    if (password)
        m_hostPassword = *password;
}

} // namespace vellmar::app
