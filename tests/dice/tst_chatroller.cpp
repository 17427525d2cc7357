#include "RecordingSender.h"
#include "ScriptedSource.h"
#include "dice/Announcement.h"
#include "dice/ChatRoller.h"
#include "dice/RollLog.h"
#include "table/Table.h"

#include <QtTest/QTest>

using namespace vellmar;
using namespace vellmar::dice;
using Kind = chat::CommandResult::Kind;

namespace {

// One copy's roller with a known face for every die and a recorded wire.
struct Copy
{
    table::Table state;
    RecordingSender wire;
    RollLog log;
    ScriptedSource *source = nullptr;
    std::unique_ptr<ChatRoller> roller;

    Copy(bool inSession, bool isMaster)
    {
        state.inSession = inSession;
        state.isMaster = isMaster;
        state.userName = isMaster ? QStringLiteral("Scout(DM)") : QStringLiteral("Ranger");
        state.ownPlayerID = isMaster ? 1 : 2;
        state.masterPlayerID = inSession ? 1 : 0;
        state.sender = &wire;
        auto scripted = std::make_unique<ScriptedSource>();
        source = scripted.get();
        roller = std::make_unique<ChatRoller>(state.identity(), state.outbox(), log, std::move(scripted));
    }
};

} // namespace

class TestChatRoller : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void modesDecideWhoIsTold_data()
    {
        QTest::addColumn<bool>("inSession");
        QTest::addColumn<bool>("isMaster");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("to"); // -1: nothing is sent
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("own");
        const QString roll = QStringLiteral("[1d20 (12)] = 12");
        QTest::newRow("player roll") << true << false << QStringLiteral("/r") << 0 << 3 << u"Ranger rolls " + roll;
        QTest::newRow("player public roll")
            << true << false << QStringLiteral("/publicroll") << 0 << 3 << u"Ranger rolls " + roll;
        QTest::newRow("player gm roll") << true << false << QStringLiteral("/gr") << 1 << 1030
                                        << u"Ranger rolls (master only) " + roll;
        QTest::newRow("player self roll")
            << true << false << QStringLiteral("/selfroll") << -1 << 0 << u"Ranger rolls (self only) " + roll;
        QTest::newRow("master roll stays secret")
            << true << true << QStringLiteral("/roll") << -1 << 0 << u"Scout(DM) rolls (master only) " + roll;
        QTest::newRow("master public roll")
            << true << true << QStringLiteral("/publicroll") << 0 << 3 << u"Scout(DM) rolls " + roll;
        QTest::newRow("master gm roll") << true << true << QStringLiteral("/gmroll") << -1 << 0
                                        << u"Scout(DM) rolls (master only) " + roll;
        QTest::newRow("master self roll")
            << true << true << QStringLiteral("/selfroll") << -1 << 0 << u"Scout(DM) rolls (self only) " + roll;
        QTest::newRow("offline") << false << true << QStringLiteral("/publicroll") << -1 << 0
                                 << u"Scout(DM) rolls (self only) " + roll;
    }
    void modesDecideWhoIsTold()
    {
        QFETCH(bool, inSession);
        QFETCH(bool, isMaster);
        QFETCH(QString, command);
        QFETCH(int, to);
        QFETCH(int, type);
        QFETCH(QString, own);
        Copy copy(inSession, isMaster);
        copy.source->addFaces(20, {12});
        const auto result = copy.roller->run(command + u" 1d20");
        QCOMPARE(result.kind, Kind::done);
        QCOMPARE(result.lines, QStringList{own});
        QCOMPARE(copy.log.lines(), QStringList{own});
        if (to < 0) {
            QVERIFY(copy.wire.sent.isEmpty());
            return;
        }
        QCOMPARE(copy.wire.sent.size(), 1);
        QCOMPARE(copy.wire.sent.first().first, to);
        QCOMPARE(copy.wire.sent.first().second.type, type);
        QCOMPARE(copy.wire.sent.first().second.payload, QStringLiteral("[1d20 (12)] = 12"));
    }

    void unreadableLinesSendNothing()
    {
        Copy copy(true, false);
        const auto refused = copy.roller->run(QStringLiteral("/r 2d6 +"));
        QCOMPARE(refused.kind, Kind::refused);
        QCOMPARE(refused.error, QStringLiteral("Cannot roll: a number or dice must follow the sign (at character 9)"));
        QVERIFY(copy.wire.sent.isEmpty());
        QVERIFY(copy.log.lines().isEmpty());
        // Not a command: the chat box sends it as it always did.
        QCOMPARE(copy.roller->run(QStringLiteral("/rolling on")).kind, Kind::notACommand);
        QVERIFY(copy.wire.sent.isEmpty());
    }

    void aRollThatCannotBeSentSaysSo()
    {
        Copy copy(true, false);
        copy.wire.accept = false;
        copy.source->addFaces(6, {2});
        const auto result = copy.roller->run(QStringLiteral("/gr d6 stealth"));
        QCOMPARE(result.lines,
                 (QStringList{rollNotSentLine(), QStringLiteral("Ranger rolls (master only) (stealth)[1d6 (2)] = 2")}));
        // Without a master there is nobody to send it to, and never everybody.
        copy.wire.accept = true;
        copy.state.masterPlayerID = 0;
        copy.source->addFaces(6, {2});
        QCOMPARE(copy.roller->run(QStringLiteral("/gr d6")).lines.first(), rollNotSentLine());
        QCOMPARE(copy.wire.sent.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestChatRoller)
#include "tst_chatroller.moc"
