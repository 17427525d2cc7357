#include "LoopbackWrapper.h"
#include "SessionParticipants.h"
#include "app/platform/SoundPlayer.h"
#include "chat/forms/Form2.h"
#include "chat/forms/PrivateChats.h"
#include "chat/forms/frmPartyChat.h"
#include "dice/forms/frmDiceRoll.h"
#include "session/protocol/Messages.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

using namespace vellmar;
using namespace vellmar::apptest;

namespace {

QString logText(const QPlainTextEdit *edit) { return edit->toPlainText().replace(u'\n', QStringLiteral("\r\n")); }

// A loopback transport whose player creation goes on turning the event loop
// after the player exists, as a slow network makes it do: messages arrive
// before the window has finished setting up.
class SlowToJoin final : public session::testing::LoopbackWrapper
{
public:
    SlowToJoin(core::Questions &asker, std::function<void()> meanwhile)
        : LoopbackWrapper(asker)
        , m_meanwhile(std::move(meanwhile))
    {}
    std::optional<session::PlayerId> CreatePlayer(const QString &name) override
    {
        const auto id = m_inner.CreatePlayer(name);
        if (id)
            m_meanwhile();
        return id;
    }

private:
    std::function<void()> m_meanwhile;
};

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
        // Marker 1, placed before the cleric joined, comes with the table the
        // master sends a joiner.
        QTRY_VERIFY(cleric.w().state().markers.find(1));
        QCOMPARE(cleric.w().state().markers.size(), std::size_t(2));
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
};

QTEST_MAIN(TestSessionWindows)
#include "tst_session_windows.moc"
