// Fog between real copies over loopback: the master's steps, undo and redo
// reach every player, a late joiner gets the same fog, and fog messages
// from anyone but the master change nothing.
#include "TransportHarness.h"

#include "map/fog/FogExchange.h"
#include "session/binding/Dispatcher.h"
#include "session/binding/TransportSender.h"
#include "session/transport/TcpSessionTransport.h"
#include "table/Table.h"

#include <QtTest/QTest>

#include <memory>

using namespace vellmar;
using namespace vellmar::map::fog;

namespace {

const QSize kPicture(3000, 2000);

// Sends through the session, or loses the next `lose` messages as a break
// between the copies could.
class LosingSender final : public table::MessageSender
{
public:
    explicit LosingSender(std::unique_ptr<table::MessageSender> inner) : m_inner(std::move(inner)) {}
    bool send(std::int32_t to, std::int32_t type, const QString &payload) override
    {
        if (lose > 0) {
            --lose;
            return true;
        }
        return m_inner->send(to, type, payload);
    }
    int lose = 0;

private:
    std::unique_ptr<table::MessageSender> m_inner;
};

// One copy of the program as far as fog goes.
class FogCopy : public QObject
{
public:
    FogCopy()
        : transport(std::make_unique<session::TcpSessionTransport>(nullptr, session::testing::fastSettings()))
        , exchange(table.outbox(), table.identity(), [this](const QRect &) { ++changes; })
    {
        exchange.route(dispatcher);
        connect(transport.get(), &session::SessionTransport::receiveEvent, this,
                [this] { dispatcher.drain(*transport, table.ownPlayerID); });
    }

    bool open(session::OpenMode mode, std::uint16_t port, const QString &name)
    {
        const auto id = session::testing::openOnLoopback(*transport, mode, port, name);
        if (!id)
            return false;
        table.inSession = true;
        table.ownPlayerID = *id;
        table.masterPlayerID = 1;
        table.isMaster = *id == 1;
        sender = std::make_unique<LosingSender>(std::make_unique<session::TransportSender>(*transport, *id));
        table.sender = sender.get();
        return true;
    }

    std::unique_ptr<session::TcpSessionTransport> transport;
    table::Table table;
    std::unique_ptr<LosingSender> sender;
    session::Dispatcher dispatcher;
    FogExchange exchange;
    int changes = 0;
};

bool sameFog(const FogCopy &a, const FogCopy &b)
{
    const FogHistory &x = a.exchange.history(), &y = b.exchange.history();
    return x.position() == y.position() && x.firstIndex() == y.firstIndex() && x.steps() == y.steps()
           && x.mask() == y.mask();
}

} // namespace

class FogSharing : public QObject
{
    Q_OBJECT

private:
    std::vector<std::unique_ptr<FogCopy>> m_copies;

    FogCopy &copy(int i) { return *m_copies.at(i); }

    // A hosts and is the master; `count` copies in all, joined in order.
    bool join(int count)
    {
        if (m_copies.empty()) {
            m_copies.push_back(std::make_unique<FogCopy>());
            if (!copy(0).open(session::OpenMode::Create, 0, QStringLiteral("A (DM)")))
                return false;
        }
        while (int(m_copies.size()) < count) {
            m_copies.push_back(std::make_unique<FogCopy>());
            if (!m_copies.back()->open(session::OpenMode::Join, copy(0).transport->hostPort(),
                                       QString(QChar(u'A' + int(m_copies.size()) - 1))))
                return false;
        }
        return QTest::qWaitFor([&] {
            return std::all_of(m_copies.begin(), m_copies.end(),
                               [&](const auto &c) { return c->transport->GetDPEnumPlayers().size() == count; });
        });
    }

    bool allSame()
    {
        return QTest::qWaitFor([&] {
            return std::all_of(m_copies.begin() + 1, m_copies.end(),
                               [&](const auto &c) { return sameFog(copy(0), *c); });
        });
    }

    void draw()
    {
        auto &master = copy(0).exchange;
        QVERIFY(master.apply(wholeMap(FogMode::hide)));
        QVERIFY(master.apply(rectangle(QRectF(100, 100, 800, 500), FogMode::reveal)));
        QList<QPointF> stroke;
        for (int i = 0; i < 300; ++i)
            stroke.append(QPointF(200 + i * 7, 900 + 200 * std::sin(i / 20.0)));
        for (const FogStep &step : brushStroke(stroke, brushDiameter(2, 50), FogMode::reveal))
            QVERIFY(master.apply(step));
        QVERIFY(master.apply(polygon({QPointF(1500, 150), QPointF(2500, 300), QPointF(2000, 700)}, FogMode::reveal)));
    }

private Q_SLOTS:
    void cleanup() { m_copies.clear(); }

    // Steps reach both players; a late joiner asks and gets the same fog
    // with its history, so the master's undo and redo reach all three.
    void stepsUndoAndLateJoinerAgree()
    {
        QVERIFY(join(2));
        copy(0).exchange.showPicture(kPicture);
        draw();
        QVERIFY(join(3));
        copy(2).exchange.requestState();
        QVERIFY(allSame());
        QCOMPARE(copy(1).exchange.history().position(), 5);
        QVERIFY(copy(2).exchange.mask().hides(QPointF(2900, 1900)));
        QVERIFY(!copy(2).exchange.mask().hides(QPointF(300, 300)));

        QVERIFY(copy(0).exchange.undo());
        QVERIFY(copy(0).exchange.undo());
        QVERIFY(allSame());
        QVERIFY(copy(2).exchange.mask().hides(QPointF(2000, 400))); // the polygon is undone
        QVERIFY(copy(0).exchange.redo());
        QVERIFY(copy(0).exchange.apply(rectangle(QRectF(0, 0, 50, 50), FogMode::reveal))); // drops one redo
        QVERIFY(allSame());
        QCOMPARE(copy(2).exchange.history().endIndex(), 5);
        QVERIFY(!copy(1).exchange.undo()); // a player's copy makes no moves
    }

    // A copy that joined without asking notices at the next step that its
    // history does not match, and catches up from the master.
    void copyOutOfStepCatchesUp()
    {
        QVERIFY(join(2));
        copy(0).exchange.showPicture(kPicture);
        draw();
        QVERIFY(join(3));
        QVERIFY(copy(2).exchange.mask().isNull());
        QVERIFY(copy(0).exchange.apply(brushStroke({QPointF(10, 10)}, 30, FogMode::reveal).front()));
        QVERIFY(allSame());

        // A step lost on its way: both players notice at the next one.
        copy(0).sender->lose = 1;
        QVERIFY(copy(0).exchange.apply(rectangle(QRectF(0, 0, 3000, 2000), FogMode::hide)));
        QVERIFY(copy(0).exchange.apply(rectangle(QRectF(10, 10, 100, 100), FogMode::reveal)));
        QVERIFY(allSame());
        QCOMPARE(copy(1).exchange.history().position(), 8);
    }

    // A player's fog messages, however well formed, change nobody's fog.
    void onlyTheMasterChangesTheFog()
    {
        QVERIFY(join(3));
        copy(0).exchange.showPicture(kPicture);
        QVERIFY(copy(0).exchange.apply(wholeMap(FogMode::hide)));
        QVERIFY(allSame());
        const int changesBefore = copy(2).changes;

        auto &player = copy(1).table;
        player.sendToAll(session::MSG_FOG_STEP,
                         session::formatPayload(session::FogStepMessage{1, wholeMap(FogMode::reveal)}));
        player.sendToAll(session::MSG_FOG_MOVE, session::formatPayload(session::FogMove{0}));
        FogHistory forged(kPicture);
        for (const auto &part : session::splitFogState(forged.toBytes(), 1))
            player.sendToAll(session::MSG_FOG_STATE, session::formatPayload(part));
        QVERIFY(QTest::qWaitFor(
            [&] { return copy(0).exchange.refusedMessages() == 3 && copy(2).exchange.refusedMessages() == 3; }));
        QVERIFY(copy(0).exchange.apply(rectangle(QRectF(0, 0, 10, 10), FogMode::reveal)));
        QVERIFY(QTest::qWaitFor([&] { return copy(2).exchange.history().position() == 2; }));
        QVERIFY(allSame());
        QCOMPARE(copy(2).changes, changesBefore + 1);
        QVERIFY(copy(2).exchange.mask().hides(QPointF(500, 500)));
    }
};

QTEST_GUILESS_MAIN(FogSharing)
#include "tst_fog_sharing.moc"
