#include "ScriptedQuestions.h"
#include "TransportHarness.h"
#include "app/forms/frmMain.h"
#include "app/platform/SoundPlayer.h"
#include "chat/forms/Form2.h"
#include "chat/forms/PrivateChats.h"
#include "chat/forms/frmPartyChat.h"
#include "dice/forms/frmDiceRoll.h"
#include "map/forms/MapView.h"
#include "map/forms/MapViewController.h"
#include "session/protocol/Messages.h"
#include "tokens/markers/forms/frmSetMarker.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

using namespace vellmar;
using app::frmMain;

namespace {

QString logText(const QPlainTextEdit *edit) { return edit->toPlainText().replace(u'\n', QStringLiteral("\r\n")); }
QStringList lines(const QPlainTextEdit *edit) { return edit->toPlainText().split(u'\n').mid(1); }

QStringList playerNames(const frmMain &window)
{
    QStringList names;
    for (int i = 0; i < window.lstPlayer->count(); ++i)
        names << window.lstPlayer->item(i)->text();
    return names;
}

// Each copy's transport runs on loopback with short clocks.
const frmMain::TransportFactory onLoopback = [](core::Questions &asker) {
    return std::make_unique<session::TcpSessionTransport>(&asker, session::testing::fastSettings());
};

// One copy of the program: its own main window, its own answers to the
// questions it asks, and a real transport on loopback.
struct Participant
{
    ScriptedQuestions questions;
    std::unique_ptr<frmMain> window;

    explicit Participant(const frmMain::TransportFactory &factory = onLoopback)
        : window(std::make_unique<frmMain>(questions, factory))
    {}

    frmMain &w() { return *window; }
    std::uint16_t port() const
    {
        return qobject_cast<session::TcpSessionTransport *>(window->directPlay())->hostPort();
    }
    bool says(const QString &line) const { return lines(window->txtChat).contains(line); }
    int count(const QString &line) const { return int(lines(window->txtChat).count(line)); }
    void type(const QString &text)
    {
        window->txtInput->setText(text);
        QTest::keyClick(window->txtInput, Qt::Key_Return);
    }
};

// A loopback transport whose player creation goes on turning the event loop
// after the player exists, as a slow network makes it do: messages arrive
// before the window has finished setting up.
class SlowToJoin final : public session::SessionTransport
{
public:
    SlowToJoin(core::Questions &asker, std::function<void()> meanwhile)
        : m_inner(&asker, session::testing::fastSettings())
        , m_meanwhile(std::move(meanwhile))
    {
        connect(&m_inner, &SessionTransport::receiveEvent, this, &SessionTransport::receiveEvent);
    }
    std::optional<session::PlayerId> CreatePlayer(const QString &name) override
    {
        const auto id = m_inner.CreatePlayer(name);
        if (id)
            m_meanwhile();
        return id;
    }
    // Everything else is the real transport's.
    QList<session::ConnectionEntry> GetDPEnumConnections() const override { return m_inner.GetDPEnumConnections(); }
    bool InitializeConnection(const QString &a) override { return m_inner.InitializeConnection(a); }
    QList<session::SessionDescription> GetDPEnumSessions(const session::SessionDescription &d) override
    {
        return m_inner.GetDPEnumSessions(d);
    }
    bool Open(const session::SessionDescription &d, session::OpenMode m) override { return m_inner.Open(d, m); }
    std::int32_t CreateEvent() override { return m_inner.CreateEvent(); }
    bool SendEx(session::PlayerId f, session::PlayerId t, int fl, const session::MessageBuffer &m) override
    {
        return m_inner.SendEx(f, t, fl, m);
    }
    int GetMessageCount(session::PlayerId id) const override { return m_inner.GetMessageCount(id); }
    std::optional<session::ReceivedMessage> Receive() override { return m_inner.Receive(); }
    std::optional<QString> GetPlayerFriendlyName(session::PlayerId id) const override
    {
        return m_inner.GetPlayerFriendlyName(id);
    }
    QList<session::PlayerEntry> GetDPEnumPlayers(const QString &g, int f) const override
    {
        return m_inner.GetDPEnumPlayers(g, f);
    }
    QString GetGuidApplication() const override { return m_inner.GetGuidApplication(); }
    QString lastError() const override { return m_inner.lastError(); }

private:
    session::TcpSessionTransport m_inner;
    std::function<void()> m_meanwhile;
};

// Every copy shows the same plain 400 x 300 map.
void loadPlainMap(frmMain &window)
{
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    window.mapState.picture = picture;
    window.mapLoaded = true;
    window.mapView().mapReplaced();
}

void mouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held, {});
    QApplication::sendEvent(target, &event);
}

// Where a map position shows in the window's view.
QPoint onView(frmMain &window, QPoint mapPosition)
{
    return *window.mapView().geometry().viewPixel(mapPosition.x(), mapPosition.y());
}

void host(Participant &p, const QString &name)
{
    p.questions.textAnswers = {name};
    p.w().mnuHostSession->trigger();
    QVERIFY(p.w().state().inSession);
}

void join(Participant &p, const QString &name, const Participant &host)
{
    p.questions.textAnswers = {name, u"127.0.0.1:" + QString::number(host.port())};
    p.w().mnuJoinSession->trigger();
    QVERIFY(p.w().state().inSession);
}

// Scout hosts, Ranger and then Cleric (if given) join; true once every copy
// lists everyone.
bool gather(Participant &master, Participant &ranger, Participant *cleric = nullptr)
{
    host(master, QStringLiteral("Scout"));
    join(ranger, QStringLiteral("Ranger"), master);
    if (cleric)
        join(*cleric, QStringLiteral("Cleric"), master);
    const QList<Participant *> all = cleric ? QList{&master, &ranger, cleric} : QList{&master, &ranger};
    return !QTest::currentTestFailed() && QTest::qWaitFor([&] {
        return std::all_of(all.cbegin(), all.cend(),
                           [&](Participant *p) { return playerNames(p->w()).size() == all.size(); });
    });
}

// The first main chat line that begins with prefix, or none.
QString lineStarting(const Participant &p, const QString &prefix)
{
    const QStringList all = lines(p.window->txtChat);
    const auto it =
        std::find_if(all.cbegin(), all.cend(), [&](const QString &line) { return line.startsWith(prefix); });
    return it == all.cend() ? QString() : *it;
}

} // namespace

class TestSessionWindows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hostingShowsStatusLinesAndAsksForAUsableName()
    {
        Participant master;
        auto offlineIcon = std::make_shared<table::CIcon>();
        offlineIcon->id = master.w().NextIconID();
        master.w().state().icons.add(offlineIcon);
        master.questions.textAnswers = {QStringLiteral("  "), std::nullopt, QStringLiteral("a;b"),
                                        QStringLiteral(" Scout ")};
        master.w().mnuHostSession->trigger();

        QCOMPARE(master.questions.asked.count(QStringLiteral("Enter your username:")), 4);
        QCOMPARE(master.questions.told, QStringList{QStringLiteral("Username cannot contain ;")});
        QCOMPARE(logText(master.w().txtChat),
                 QStringLiteral("\r\nEnumerating protocols...\r\n- TCP/IP Protocol found\r\nOpening Session...\r\n"
                                "- Session Opened\r\nCreating user entry...\r\n- DirectX Event created\r\n"
                                "- User entry created\r\n**Success**"));
        QCOMPARE(master.w().state().userName, QStringLiteral("Scout(DM)"));
        QCOMPARE(master.w().windowTitle(), QStringLiteral("Scout(DM) (Master)"));
        QVERIFY(master.w().state().inSession && master.w().state().isMaster);
        QVERIFY(master.w().txtInput->isEnabled() && master.w().btnPartyChat->isEnabled());
        QVERIFY(!master.w().lblRollVal->isHidden() && !master.w().txtRollVal->isHidden());
        QVERIFY(!master.w().mnuHostSession->isEnabled() && !master.w().mnuJoinSession->isEnabled());
        QCOMPARE(playerNames(master.w()), QStringList{QStringLiteral("Scout(DM)")});
        QVERIFY(master.w().eventHandle() != 0);
        // An icon placed offline belongs to this participant in the session too.
        QCOMPARE(offlineIcon->UserID, master.w().state().ownPlayerID);
    }

    void joinWithoutAHostFindsNoSession()
    {
        Participant lonely;
        // A port where nobody listens.
        lonely.questions.textAnswers = {QStringLiteral("Ranger"), QStringLiteral("127.0.0.1:9")};
        lonely.w().mnuJoinSession->trigger();
        QVERIFY(lonely.questions.told.contains(QStringLiteral("No Sessions found")));
        QVERIFY(!lonely.w().state().inSession);
        QVERIFY(lonely.w().state().isMaster);
        QVERIFY(!lonely.w().mnuHostSession->isEnabled() && !lonely.w().mnuJoinSession->isEnabled());
        QCOMPARE(lonely.w().windowTitle(), QStringLiteral("Vellmar"));
    }

    void closingWhileJoiningWaitsForTheSetUpToReturn()
    {
        // The user confirms leaving while the join is still searching.
        class ClosingAtTheAddress final : public core::Questions
        {
        public:
            frmMain *window = nullptr;
            std::optional<QString> askText(const QString &title, const QString &, const QString &) override
            {
                if (title == u"Username")
                    return QStringLiteral("Ranger");
                window->close();
                return QStringLiteral("127.0.0.1:9");
            }
            void tell(const QString &) override {}
            bool askYesNo(const QString &) override { return true; }
        } questions;
        frmMain window(questions, onLoopback);
        questions.window = &window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.mnuJoinSession->trigger();
        QVERIFY(window.state().appClosing);
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(!window.directPlay());
    }

    void chatDiceJoinLeaveAndMigrationAcrossThreeCopies()
    {
        Participant master, ranger, cleric;
        host(master, QStringLiteral("Scout"));
        join(ranger, QStringLiteral("Ranger"), master);
        QCOMPARE(ranger.w().windowTitle(), QStringLiteral("Ranger (Player)"));
        QVERIFY(ranger.w().lblRollVal->isHidden());
        QTRY_VERIFY(master.says(QStringLiteral("<SYS> A user has joined")));
        join(cleric, QStringLiteral("Cleric"), master);
        const QList<Participant *> all{&master, &ranger, &cleric};
        for (Participant *p : all)
            QTRY_COMPARE(playerNames(p->w()), (QStringList{QStringLiteral("Scout(DM)"), QStringLiteral("Ranger"),
                                                           QStringLiteral("Cleric")}));
        QCOMPARE(master.w().sounds().lastRequested(), QStringLiteral("Sounds/knucklhd.wav"));

        master.type(QStringLiteral("  welcome; all "));
        ranger.type(QStringLiteral("hi"));
        cleric.type(QStringLiteral("hello"));
        const QStringList chat{QStringLiteral("Scout(DM) : welcome; all"), QStringLiteral("Ranger : hi"),
                               QStringLiteral("Cleric : hello")};
        for (Participant *p : all) {
            for (const QString &line : chat)
                QTRY_VERIFY(p->says(line));
        }
        QTest::qWait(100); // nothing arrives twice
        for (Participant *p : all) {
            for (const QString &line : chat)
                QCOMPARE(p->count(line), 1);
        }

        // A player's roll: in its log and on every pane, under the master's
        // roll tag as it is now.
        master.w().txtRollVal->setText(QStringLiteral("secret"));
        ranger.w().btnDiceRolls->click();
        ranger.w().findChild<dice::frmDiceRoll *>()->btnQuickRoll20->click();
        QVERIFY(!ranger.w().findChild<dice::frmDiceRoll *>()->txtRolls->toPlainText().isEmpty());
        const QString roll = lineStarting(ranger, QStringLiteral("Ranger rolls "));
        QVERIFY(!roll.isEmpty());
        QTRY_VERIFY(master.says(u"<secret>" + roll));
        QTRY_VERIFY(cleric.says(roll));
        // The master's roll stays in its log: what it sends next arrives, the roll never does.
        master.w().btnDiceRolls->click();
        auto *masterDice = master.w().findChild<dice::frmDiceRoll *>();
        masterDice->btnQuickRoll20->click();
        QVERIFY(!masterDice->txtRolls->toPlainText().isEmpty());
        master.type(QStringLiteral("after the roll"));
        QTRY_VERIFY(cleric.says(QStringLiteral("Scout(DM) : after the roll")));
        for (Participant *p : all)
            QVERIFY(lineStarting(*p, QStringLiteral("Scout(DM) rolls")).isEmpty());

        // A forged line break in a received text cannot fake a system line.
        QVERIFY(ranger.w().state().sendToAll(session::MSG_CHAT, QStringLiteral("x\r\n<SYS> A user has left")));
        QTRY_VERIFY(cleric.says(QStringLiteral("Ranger : x  <SYS> A user has left")));

        // The host leaves: the earliest player takes over, and stays a player.
        master.window.reset();
        QTRY_VERIFY_WITH_TIMEOUT(ranger.says(QStringLiteral("<SYS> Hosting migrated to you")), 10000);
        for (Participant *p : {&ranger, &cleric}) {
            QTRY_VERIFY(p->says(QStringLiteral("<SYS> A user has left")));
            QTRY_COMPARE(playerNames(p->w()), (QStringList{QStringLiteral("Ranger"), QStringLiteral("Cleric")}));
        }
        QCOMPARE(ranger.w().sounds().lastRequested(), QStringLiteral("Sounds/doorshut.wav"));
        QVERIFY(!cleric.says(QStringLiteral("<SYS> Hosting migrated to you")));
        QVERIFY(!ranger.w().state().isMaster);
        QVERIFY(ranger.w().lblRollVal->isHidden());
        cleric.type(QStringLiteral("still here?"));
        QTRY_VERIFY(ranger.says(QStringLiteral("Cleric : still here?")));

        // Nor does the new host become master: a marker it announces counts nowhere.
        QVERIFY(ranger.w().state().sendToAll(session::MSG_PLACE_MARKER, QStringLiteral("5;Mine;1;1;Ranger;2")));
        ranger.type(QStringLiteral("announced"));
        QTRY_VERIFY(cleric.says(QStringLiteral("Ranger : announced")));
        QVERIFY(cleric.w().state().markers.isEmpty());
    }

    void messagesArrivingWhileJoiningWaitForTheSession()
    {
        Participant master, ranger;
        QVERIFY(gather(master, ranger));
        master.w().mnuQuickMarker->trigger(); // id 1, before the cleric is there
        // While the cleric's player is being created, the ranger rolls and asks
        // for a marker, which the master announces as id 2.
        Participant cleric([&](core::Questions &asker) {
            return std::make_unique<SlowToJoin>(asker, [&] {
                ranger.w().state().sendToAll(session::MSG_DICE_ROLL, QStringLiteral("1d4 = 3"));
                ranger.w().mnuQuickMarker->trigger();
                (void)QTest::qWaitFor([&] { return master.w().state().markers.find(2) != nullptr; });
                QTest::qWait(200);
            });
        });
        join(cleric, QStringLiteral("Cleric"), master);

        // They are handled as a player's, after the set-up lines.
        QTRY_VERIFY(cleric.w().state().markers.find(2));
        QCOMPARE(cleric.w().state().markers.size(), std::size_t(1));
        QCOMPARE(lines(cleric.w().txtChat).mid(7),
                 (QStringList{QStringLiteral("**Success**"), QStringLiteral("Ranger rolls 1d4 = 3")}));
    }

    void partyAndPrivateChat()
    {
        Participant master, ranger, cleric;
        QVERIFY(gather(master, ranger, &cleric));

        // Party: a line sent before the receiver ever opened the window.
        ranger.w().partyChat().txtInput->setText(QStringLiteral("regroup"));
        QTest::keyClick(ranger.w().partyChat().txtInput, Qt::Key_Return);
        QTRY_VERIFY(logText(cleric.w().partyChat().txtChat).contains(QStringLiteral("Ranger : regroup")));
        QVERIFY(cleric.w().partyChat().isHidden());
        cleric.w().btnPartyChat->click();
        QVERIFY(cleric.w().partyChat().isVisible());
        cleric.w().partyChat().close();
        QVERIFY(cleric.w().partyChat().isHidden());
        QVERIFY(logText(cleric.w().partyChat().txtChat).contains(QStringLiteral("Ranger : regroup")));

        // Private: choosing "Private Chat" twice for one partner gives one window.
        master.w().lstPlayer->setCurrentRow(1); // Ranger
        master.w().mnuPrivateChat1->trigger();
        master.w().mnuPrivateChat1->trigger();
        QCOMPARE(master.w().privateChats().count(), 1);
        chat::Form2 *toRanger = master.w().privateChats().find(ranger.w().state().ownPlayerID);
        QVERIFY(toRanger);
        QCOMPARE(toRanger->windowTitle(), QStringLiteral("Private Scout(DM):Ranger"));
        toRanger->txtInput->setText(QStringLiteral("psst"));
        QTest::keyClick(toRanger->txtInput, Qt::Key_Return);

        // The line opens exactly the partner's window on the other side, and nowhere else.
        QTRY_COMPARE(ranger.w().privateChats().count(), 1);
        chat::Form2 *toMaster = ranger.w().privateChats().find(master.w().state().ownPlayerID);
        QVERIFY(toMaster);
        QTRY_COMPARE(logText(toMaster->txtChat), QStringLiteral("\r\nScout(DM) : psst"));
        QCOMPARE(toMaster->windowTitle(), QStringLiteral("Private Ranger:Scout(DM)"));
        QCOMPARE(cleric.w().privateChats().count(), 0);

        // A partner who left: the error line, then the own line.
        const auto rangerId = ranger.w().state().ownPlayerID;
        ranger.window.reset();
        QTRY_VERIFY(master.says(QStringLiteral("<SYS> A user has left")));
        toRanger = master.w().privateChats().find(rangerId);
        toRanger->txtInput->setText(QStringLiteral("where did you go"));
        QTest::keyClick(toRanger->txtInput, Qt::Key_Return);
        QCOMPARE(lines(toRanger->txtChat).mid(1),
                 (QStringList{QStringLiteral("*ERROR* - possible that user has disconnected"),
                              QStringLiteral("Scout(DM) : where did you go")}));
    }

    void markersAreSharedDraggedAndRemovedOnEveryCopy()
    {
        Participant master, ranger, cleric;
        QVERIFY(gather(master, ranger, &cleric));
        const QList<Participant *> all{&master, &ranger, &cleric};
        for (Participant *p : all)
            loadPlainMap(p->w());
        // The master's quick marker takes id 1.
        master.w().menuMapX = 50;
        master.w().mnuQuickMarker->trigger();
        QTRY_VERIFY(cleric.w().state().markers.find(1));
        QCOMPARE(cleric.w().state().markers.find(1)->info, QStringLiteral("Here"));

        // A player's "Place Marker": typed into the modal dialog while it is
        // open; it appears nowhere before the master has announced it.
        ranger.w().menuMapX = 200;
        ranger.w().menuMapY = 150;
        QTimer::singleShot(0, [&ranger] {
            auto *dialog = ranger.w().findChild<tokens::frmSetMarker *>();
            QVERIFY(dialog && dialog->isVisible());
            dialog->txtInfo->setText(QStringLiteral("Door"));
            dialog->btnSet->click();
        });
        ranger.w().mnuPlaceMarker->trigger();
        QVERIFY(!ranger.w().state().markers.find(2));
        for (Participant *p : all) {
            QTRY_VERIFY(p->w().state().markers.find(2));
            const auto marker = p->w().state().markers.find(2);
            QCOMPARE(marker->info, QStringLiteral("Door"));
            QCOMPARE(QPoint(marker->mapX, marker->mapY), QPoint(200, 150));
            QCOMPARE(marker->player, QStringLiteral("Ranger"));
            QCOMPARE(marker->UserID, ranger.w().state().ownPlayerID);
        }
        const auto mine = ranger.w().state().markers.find(2);
        const auto theirs = cleric.w().state().markers.find(2);

        // Grabbed 3 pixels off its spot and moved: it follows the pointer's
        // movement in map pixels and does not jump to the pointer.
        QWidget *view = ranger.w().Picture1;
        const QPoint grab = onView(ranger.w(), {203, 150});
        const auto geometry = ranger.w().mapView().geometry();
        const QPoint moved =
            QPoint(200, 150) + *geometry.mapPixel(QPointF(grab + QPoint(10, 5))) - *geometry.mapPixel(QPointF(grab));
        mouse(view, QEvent::MouseMove, grab, Qt::NoButton, Qt::NoButton);
        QCOMPARE(ranger.w().state().currentMarker, mine);
        mouse(view, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(ranger.w().dragging());
        mouse(view, QEvent::MouseMove, grab + QPoint(10, 5), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(QPoint(mine->mapX, mine->mapY), moved);
        QVERIFY(moved != QPoint(200, 150));
        QCOMPARE(QPoint(theirs->mapX, theirs->mapY), QPoint(200, 150)); // nothing sent yet
        // A right press mid-drag opens no menu that would swallow the release.
        mouse(view, QEvent::MouseButtonPress, grab + QPoint(10, 5), Qt::RightButton, Qt::LeftButton | Qt::RightButton);
        QVERIFY(!ranger.w().mnuIcon->isVisible());
        mouse(view, QEvent::MouseButtonRelease, grab + QPoint(10, 5), Qt::LeftButton, Qt::NoButton);
        QVERIFY(!ranger.w().dragging());
        QTRY_COMPARE(QPoint(theirs->mapX, theirs->mapY), moved);

        // The master may not drag a player's marker.
        QWidget *masterView = master.w().Picture1;
        const QPoint spot = onView(master.w(), moved);
        mouse(masterView, QEvent::MouseMove, spot, Qt::NoButton, Qt::NoButton);
        mouse(masterView, QEvent::MouseButtonPress, spot, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(!master.w().dragging());
        mouse(masterView, QEvent::MouseMove, spot + QPoint(30, 30), Qt::NoButton, Qt::LeftButton);
        mouse(masterView, QEvent::MouseButtonRelease, spot + QPoint(30, 30), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(QPoint(theirs->mapX, theirs->mapY), moved);

        // Its pop-up offers removal, not modification, and no icon commands.
        mouse(masterView, QEvent::MouseButtonPress, spot, Qt::RightButton, Qt::RightButton);
        QTRY_VERIFY(master.w().mnuIcon->isVisible());
        QCOMPARE(QPoint(master.w().menuMapX, master.w().menuMapY), moved);
        QVERIFY(master.w().mnuRemoveMarker->isVisible() && master.w().mnuPlaceIcon->isVisible());
        QVERIFY(!master.w().mnuModifyMarker->isVisible() && !master.w().mnuModifyIcon->isVisible());
        // Removed while the cleric has it selected: gone everywhere, selection cleared.
        cleric.w().state().currentMarker = theirs;
        master.w().mnuRemoveMarker->trigger();
        QVERIFY(!master.w().state().markers.find(2));
        for (Participant *p : {&ranger, &cleric})
            QTRY_COMPARE(p->w().state().markers.size(), std::size_t(1));
        QVERIFY(!cleric.w().state().currentMarker);

        // Rights hold where messages arrive: whatever the fields claim, what
        // the cleric forges changes nothing elsewhere. Its chat line comes
        // after them from the same sender, so they have been handled by then.
        for (Participant *p : {&ranger, &cleric})
            QCOMPARE(p->w().state().masterPlayerID, master.w().state().ownPlayerID);
        const QString masterId = QString::number(master.w().state().ownPlayerID);
        QVERIFY(cleric.w().state().sendToAll(session::MSG_PLACE_MARKER, u"9;Fake;5;5;Scout(DM);" + masterId));
        QVERIFY(cleric.w().state().sendToAll(session::MSG_UPDATE_MARKER, QStringLiteral("1;Moved;7;7")));
        QVERIFY(cleric.w().state().sendToAll(session::MSG_REMOVE_MARKER, QStringLiteral("1")));
        cleric.type(QStringLiteral("nothing to see"));
        for (Participant *p : {&master, &ranger}) {
            QTRY_VERIFY(p->says(QStringLiteral("Cleric : nothing to see")));
            QCOMPARE(p->w().state().markers.size(), std::size_t(1));
            const auto kept = p->w().state().markers.find(1);
            QVERIFY(kept);
            QCOMPARE(kept->info, QStringLiteral("Here"));
            QCOMPARE(kept->mapX, 50);
        }
    }

    void playerMenusFollowTheRole()
    {
        Participant master, ranger;
        QVERIFY(gather(master, ranger));
        master.w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&master.w()));

        // The own entry opens nothing; another participant's opens the master menu.
        auto *list = master.w().lstPlayer;
        list->setCurrentRow(0);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(0)).center());
        QVERIFY(!master.w().mnuPlayerMaster->isVisible());
        QTest::mouseMove(list->viewport(), list->visualItemRect(list->item(1)).center());
        QTRY_COMPARE(list->currentRow(), 1);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(1)).center());
        QTRY_VERIFY(master.w().mnuPlayerMaster->isVisible());
        QCOMPARE(master.w().mnuPlayerMaster->actions().size(), 4);
        master.w().mnuPlayerMaster->hide();
        // Kick does nothing at all.
        master.w().mnuKick->trigger();
        QCOMPARE(playerNames(master.w()).size(), 2);
    }

    // Closing a tool window, by the program or by the window system's close
    // request (also while the main window is minimized), concerns that window
    // alone: the program never counts it as its last window (which would quit
    // and so close the main window with its exit question), asks nothing, and
    // the session goes on. Run inside the application's own event loop, where
    // a quit takes effect as in the program.
    void closingAToolWindowNeverAsksToExitNorEndsTheSession()
    {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkdir(QStringLiteral("map")));
        QFile index(root.filePath(QStringLiteral("map/mapindex.txt")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("mapname=Keep\n");
        index.close();

        Participant master, ranger;
        QVERIFY(gather(master, ranger));
        frmMain &player = ranger.w();
        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        ranger.questions.yesNoAnswers = std::deque<bool>(32, false);
        ranger.questions.asked.clear();

        const std::function<QWidget *()> opens[] = {
            [&] { return (player.btnDiceRolls->click(), player.findChild<QWidget *>(QStringLiteral("frmDiceRoll"))); },
            [&] { return (player.btnCombat->click(), player.findChild<QWidget *>(QStringLiteral("frmCombat"))); },
            [&] { return (player.btnMaplist->click(), player.findChild<QWidget *>(QStringLiteral("frmMaplist"))); },
            [&] { return (player.btnToolbar->click(), player.findChild<QWidget *>(QStringLiteral("frmToolbar"))); },
            [&] { return (player.btnPartyChat->click(), static_cast<QWidget *>(&player.partyChat())); },
            [&] {
                player.lstPlayer->setCurrentRow(0);
                player.mnuPrivateChat2->trigger();
                return static_cast<QWidget *>(player.privateChats().find(master.w().state().ownPlayerID));
            },
        };
        QStringList failures;
        connect(qApp, &QGuiApplication::lastWindowClosed, &player,
                [&] { failures << QStringLiteral("the program saw its last window close"); });
        const auto tryAll = [&] {
            // By the program; by the window system; by it with the main window minimized.
            for (const auto &[byWindowSystem, minimized] : {std::pair(false, false), {true, false}, {true, true}}) {
                if (minimized)
                    player.showMinimized();
                for (const auto &open : opens) {
                    QPointer<QWidget> tool = open();
                    if (!tool || !QTest::qWaitForWindowExposed(tool)) {
                        failures << QStringLiteral("a tool window did not open");
                        continue;
                    }
                    const QString name = tool->objectName();
                    if (byWindowSystem) {
                        QCloseEvent request;
                        QApplication::sendEvent(tool->windowHandle(), &request);
                    } else {
                        tool->close();
                    }
                    QTest::qWait(20);
                    if (tool && tool->isVisible())
                        failures << name + u" stayed open";
                    if (!ranger.questions.asked.isEmpty())
                        failures << name + u" asked: " + ranger.questions.asked.join(u'|');
                    ranger.questions.asked.clear();
                }
            }
            QCoreApplication::exit(0);
        };
        // The map list opens only with an index in ./map.
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(root.path()));
        QTimer::singleShot(0, &player, tryAll);
        QApplication::exec();
        QDir::setCurrent(previous);

        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        QVERIFY(player.isVisible());
        QVERIFY(!player.state().appClosing);
        QVERIFY(player.state().inSession && player.directPlay());
        QCOMPARE(playerNames(master.w()).size(), 2);
    }
};

QTEST_MAIN(TestSessionWindows)
#include "tst_session_windows.moc"
