// Copies of the program joining a host without a player: the first who asks
// becomes the game master in every window, nobody can take the role from it,
// and it counts only while it is there.
#include "SessionParticipants.h"

#include "session/host/HeadlessHost.h"

#include <QLabel>
#include <QtTest/QtTest>

using namespace vellmar;
using namespace vellmar::apptest;

namespace {

void joinHeadless(Participant &p, const QString &name, std::uint16_t port, std::deque<bool> yesNo = {})
{
    p.questions.textAnswers = {name, u"127.0.0.1:" + QString::number(port)};
    p.questions.yesNoAnswers = std::move(yesNo);
    p.w().mnuJoinSession->trigger();
    QVERIFY(p.w().state().inSession);
}

bool askedForTheRole(const Participant &p)
{
    return std::any_of(p.questions.asked.cbegin(), p.questions.asked.cend(),
                       [](const QString &q) { return q.contains(u"Join as the game master?"); });
}

} // namespace

class HeadlessWindowsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theFirstWhoAsksIsTheMasterEverywhereAndNobodyElseCanBe()
    {
        session::HeadlessHost host(session::testing::fastSettings());
        QString error;
        QVERIFY2(host.start({QStringLiteral("Friday group"), 99, QString()}, &error), qPrintable(error));

        auto ann = std::make_unique<Participant>();
        Participant bo, eve;
        joinHeadless(bo, QStringLiteral("Bo"), host.port(), {false});
        QVERIFY(askedForTheRole(bo));
        QCOMPARE(bo.w().windowTitle(), QStringLiteral("Bo (Player)"));
        QCOMPARE(bo.w().state().masterPlayerID, 0);

        joinHeadless(*ann, QStringLiteral("Ann"), host.port(), {true});
        const auto annId = ann->w().state().ownPlayerID;
        QCOMPARE(ann->w().windowTitle(), QStringLiteral("Ann(DM) (Master)"));
        QVERIFY(ann->w().state().isMaster);
        QVERIFY(!ann->w().lblRollVal->isHidden());
        QCOMPARE(ann->w().state().masterPlayerID, annId);
        QTRY_COMPARE(bo.w().state().masterPlayerID, annId); // from the notice that Ann joined

        // Calling oneself "(DM)" gives no right, and the role is not offered
        // while its holder is here.
        joinHeadless(eve, QStringLiteral("Eve(DM)"), host.port());
        QVERIFY(!askedForTheRole(eve));
        QVERIFY(!eve.w().state().isMaster);
        QCOMPARE(eve.w().windowTitle(), QStringLiteral("Eve(DM) (Player)"));
        QCOMPARE(eve.w().state().masterPlayerID, annId);
        QTRY_COMPARE(playerNames(bo.w()),
                     (QStringList{QStringLiteral("Bo"), QStringLiteral("Ann(DM)"), QStringLiteral("Eve(DM)")}));

        ann.reset();
        QTRY_COMPARE(bo.w().state().masterPlayerID, 0);
        QTRY_COMPARE(eve.w().state().masterPlayerID, 0);
    }
};

QTEST_MAIN(HeadlessWindowsTest)
#include "tst_headless_windows.moc"
