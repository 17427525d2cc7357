#include "RecordingSender.h"
#include "combat/TurnOrder.h"
#include "combat/TurnOrderExchange.h"
#include "session/protocol/TableMessages.h"
#include "table/Table.h"
#include "tokens/icons/ShownIcons.h"

#include <QtTest/QTest>

#include <memory>

using namespace vellmar;

namespace {

struct Copy
{
    table::Table table;
    RecordingSender sender;
    int repaints = 0;
    tokens::ShownIcons icons{table, [this] { ++repaints; }};
    combat::TurnOrderExchange turns{table};

    explicit Copy(bool master)
    {
        table.inSession = true;
        table.isMaster = master;
        table.ownPlayerID = master ? 1 : 2;
        table.masterPlayerID = 1;
        table.sender = &sender;
    }
    QList<std::int32_t> sentTypes() const
    {
        QList<std::int32_t> types;
        for (const auto &[to, message] : sender.sent)
            types << message.type;
        return types;
    }
};

std::shared_ptr<table::CIcon> addIcon(table::Table &table, const QString &name)
{
    auto icon = std::make_shared<table::CIcon>();
    icon->id = table.NextIconID();
    icon->name = name;
    icon->size = 10;
    icon->maxHealth = 20;
    table.icons.add(icon);
    return icon;
}

} // namespace

class TestShownIcons : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void masterSendsEachChangeOnceAndPlayersFollow()
    {
        Copy master(true), player(false);
        const auto relay = [&] {
            for (const auto &[to, message] : std::as_const(master.sender.sent))
                player.icons.receive(message.type, 1, message.payload);
            master.sender.sent.clear();
        };
        const auto orc = addIcon(master.table, QStringLiteral("Orc"));
        addIcon(master.table, QStringLiteral("Secret"));
        master.icons.sync();
        QVERIFY(master.sender.sent.isEmpty()); // nothing is shown yet

        master.icons.toggle(*orc);
        QCOMPARE(master.sentTypes(), QList<std::int32_t>{session::MSG_SHOW_ICON});
        relay();
        QCOMPARE(player.table.shownIcons.size(), std::size_t(1));
        QVERIFY(player.table.icons.isEmpty()); // kept apart from the player's own icons
        master.icons.sync();
        QVERIFY(master.sender.sent.isEmpty()); // unchanged: nothing sent

        orc->mapX = 140;
        orc->damage = 12;
        master.icons.sync();
        relay();
        const auto seen = player.table.shownIcons.find(orc->id);
        QCOMPARE(seen->mapX, 140);
        QCOMPARE(seen->healthWord, orc->HealthStatus());
        QCOMPARE(seen->name, QStringLiteral("Orc"));

        // A late joiner gets the shown icons only.
        master.icons.sendTo(9);
        QCOMPARE(master.sender.sent.size(), 1);
        QCOMPARE(master.sender.sent[0].first, 9);
        master.sender.sent.clear();

        master.icons.toggle(*orc);
        relay();
        QVERIFY(player.table.shownIcons.isEmpty());
        master.icons.toggle(*orc);
        relay();
        master.table.icons.remove(table::recordKey(orc->id));
        master.icons.sync();
        QCOMPARE(master.sentTypes(), QList<std::int32_t>{session::MSG_HIDE_ICON});
        relay();
        QVERIFY(player.table.shownIcons.isEmpty());
    }

    void onlyTheMastersMessagesCount()
    {
        Copy player(false);
        const QString orc =
            session::formatPayload(session::ShowIconPayload{4, 1, 2, 3, QStringLiteral("Hurt"), QStringLiteral("Orc")});
        player.icons.receive(session::MSG_SHOW_ICON, 3, orc);
        player.turns.receive(session::MSG_SHOW_TURN_ORDER, 3, QStringLiteral("2;0;Orc;5"));
        QVERIFY(player.table.shownIcons.isEmpty() && !player.turns.seen());
        player.icons.receive(session::MSG_SHOW_ICON, 1, orc);
        player.icons.receive(session::MSG_HIDE_ICON, 3, QStringLiteral("4"));
        QCOMPARE(player.table.shownIcons.size(), std::size_t(1));
    }

    void turnOrderFollowsTheMasterWhileShown()
    {
        Copy master(true), player(false);
        combat::TurnOrder order;
        order.addRow({QStringLiteral("Ranger"), QStringLiteral("17")});
        order.addRow({QStringLiteral("Rat"), QString()});
        master.turns.publish(order);
        QVERIFY(master.sender.sent.isEmpty()); // not shown

        master.turns.setShown(true, order);
        order.next();
        master.turns.publish(order);
        master.turns.publish(order); // unchanged: sent once
        order.next();
        master.turns.publish(order); // a new round
        QCOMPARE(master.sender.sent.size(), 3);
        for (const auto &[to, message] : std::as_const(master.sender.sent))
            player.turns.receive(message.type, 1, message.payload);
        QCOMPARE(player.turns.seen()->round, 2);
        QCOMPARE(player.turns.seen()->currentRow, 0);
        QCOMPARE(player.turns.seen()->rows.at(0).participant, QStringLiteral("Ranger"));

        master.turns.sendTo(9);
        QCOMPARE(master.sender.sent.last().first, 9);
        master.turns.setShown(false, order);
        player.turns.receive(master.sender.sent.last().second.type, 1, QString());
        QVERIFY(!player.turns.seen());
        const auto before = master.sender.sent.size();
        master.turns.sendTo(9); // hidden: a late joiner gets nothing
        QCOMPARE(master.sender.sent.size(), before);
    }
};

QTEST_GUILESS_MAIN(TestShownIcons)
#include "tst_shown_icons.moc"
