#include "combat/TurnOrder.h"

#include <QtTest/QTest>

using namespace vellmar::combat;

Q_DECLARE_METATYPE(RowInput::Status)

namespace {

TurnOrder orderOf(const QStringList &names)
{
    TurnOrder order;
    for (const QString &name : names)
        order.addRow({name, QString()});
    return order;
}

QStringList participants(const TurnOrder &order)
{
    QStringList names;
    for (const CombatRow &row : order.rows())
        names << row.participant;
    return names;
}

QStringList shown(const TurnOrder &order)
{
    QStringList texts;
    for (qsizetype i = 0; i < order.size(); ++i)
        texts << order.rowText(i);
    return texts;
}

} // namespace

class TestTurnOrder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void singleRowIsANewRoundEveryTime()
    {
        TurnOrder order = orderOf({QStringLiteral("Solo")});
        QCOMPARE(order.next(), TurnOrder::Step::NewRound);
        QCOMPARE(order.next(), TurnOrder::Step::NewRound);
        QCOMPARE(order.round(), 3);
        QCOMPARE(shown(order), QStringList{QStringLiteral(">>Solo<<")});
    }

    void moveDownCarriesTheMarks()
    {
        TurnOrder order = orderOf({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        order.next();
        QVERIFY(order.moveDown());
        QCOMPARE(shown(order), (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral(">>B<<")}));
        // The delayed participant acts after the one who went ahead of it.
        order.next();
        QCOMPARE(order.currentTurn(), 2);
        QCOMPARE(shown(order), (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral(">>B<<")}));
        // Nothing below the last row: the delay does nothing.
        QVERIFY(!order.moveDown());
        QCOMPARE(shown(order), (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral(">>B<<")}));
    }

    void startCombatOrdersByInitiative()
    {
        TurnOrder order;
        order.addRow({QStringLiteral("Orc"), QStringLiteral("5")});
        order.addRow({QStringLiteral("Ana"), QStringLiteral("12")});
        order.addRow({QStringLiteral("Wolf"), QString()});
        order.addRow({QStringLiteral("Bo"), QStringLiteral("12")});
        order.addRow({QStringLiteral("Rat"), QStringLiteral("-3")});
        for (int i = 0; i < 5; ++i)
            order.next(); // into round 2
        order.startCombat();
        QCOMPARE(participants(order), (QStringList{QStringLiteral("Ana"), QStringLiteral("Bo"), QStringLiteral("Orc"),
                                                   QStringLiteral("Rat"), QStringLiteral("Wolf")}));
        QCOMPARE(order.currentTurn(), 0);
        QCOMPARE(order.round(), 1);
        QCOMPARE(order.rowText(0), QStringLiteral(">>Ana\t12<<"));
        QCOMPARE(order.rowText(4), QStringLiteral("Wolf"));
    }

    void sampleRowsLeaveTheTurnAndClearResets()
    {
        TurnOrder order = orderOf({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        order.next();
        order.next();
        order.fillSample();
        QCOMPARE(order.rowText(1), QStringLiteral(">>Brenna\t1<<"));
        QCOMPARE(order.currentTurn(), 2);
        order.clear();
        QCOMPARE(order.size(), 0);
        QCOMPARE(order.currentTurn(), 0);
        QCOMPARE(order.markedRow(), std::nullopt);
        QCOMPARE(order.round(), 1);
    }

    void typedRows_data()
    {
        QTest::addColumn<QString>("participant");
        QTest::addColumn<QString>("initiative");
        QTest::addColumn<RowInput::Status>("status");
        QTest::addColumn<QString>("text");
        using S = RowInput::Status;
        QTest::newRow("name and roll") << QStringLiteral("Orc") << QStringLiteral("14") << S::Ok
                                       << QStringLiteral("Orc\t14");
        QTest::newRow("name only") << QStringLiteral("  Orc ") << QStringLiteral("  ") << S::Ok
                                   << QStringLiteral("Orc");
        QTest::newRow("tab in the name") << QStringLiteral("Orc\tboss") << QString() << S::Ok
                                         << QStringLiteral("Orc boss");
        QTest::newRow("leading number") << QStringLiteral("Orc") << QStringLiteral("13.5 (+2)") << S::Ok
                                        << QStringLiteral("Orc\t14");
        QTest::newRow("no name") << QStringLiteral("   ") << QStringLiteral("3") << S::NoName << QString();
        QTest::newRow("roll too large") << QStringLiteral("Orc") << QStringLiteral("1e10") << S::BadInitiative
                                        << QString();
    }
    void typedRows()
    {
        QFETCH(QString, participant);
        QFETCH(QString, initiative);
        QFETCH(RowInput::Status, status);
        QFETCH(QString, text);
        const RowInput input = readRowInput(participant, initiative);
        QCOMPARE(input.status, status);
        if (status == RowInput::Status::Ok)
            QCOMPARE(input.row.text(), text);
    }
};

QTEST_GUILESS_MAIN(TestTurnOrder)
#include "tst_turnorder.moc"
