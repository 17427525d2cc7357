#include "tokens/icons/IconEntry.h"

#include <QtTest/QTest>

using namespace vellmar::tokens;

Q_DECLARE_METATYPE(IconBox)

namespace {

IconEntry goblin()
{
    return {QStringLiteral("Goblin"), QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("12"),
            QStringLiteral("15")};
}

QString &boxText(IconEntry &entry, IconBox box)
{
    switch (box) {
    case IconBox::Damage:
        return entry.damage;
    case IconBox::MaxHealth:
        return entry.maxHealth;
    case IconBox::Size:
        return entry.size;
    case IconBox::Initiative:
        return entry.initiative;
    case IconBox::Name:
        break;
    }
    return entry.name;
}

qint64 boxValue(const IconValues &values, IconBox box)
{
    switch (box) {
    case IconBox::Damage:
        return values.damage;
    case IconBox::MaxHealth:
        return values.maxHealth;
    case IconBox::Size:
        return values.size;
    case IconBox::Initiative:
        return values.initiative;
    case IconBox::Name:
        break;
    }
    return -1;
}

} // namespace

class TestIconEntry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void numberBoxes_data()
    {
        QTest::addColumn<IconBox>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value"); // only when accepted
        QTest::addColumn<QString>("problem");
        const QString shortRange = QStringLiteral(": enter a whole number from -32768 to 32767.");
        const QString longRange = QStringLiteral(": enter a whole number from -2147483648 to 2147483647.");

        QTest::newRow("half down to even") << IconBox::Damage << "2.5" << qint64(2) << QString();
        QTest::newRow("half up to even") << IconBox::MaxHealth << "3.5" << qint64(4) << QString();
        QTest::newRow("negative half") << IconBox::Initiative << "-2.5" << qint64(-2) << QString();
        QTest::newRow("leading number") << IconBox::Size << " 12abc" << qint64(12) << QString();
        QTest::newRow("bare fraction") << IconBox::Size << "+.6" << qint64(1) << QString();
        QTest::newRow("16-bit top") << IconBox::Damage << "32767.4" << qint64(32767) << QString();
        QTest::newRow("16-bit bottom") << IconBox::MaxHealth << "-32768" << qint64(-32768) << QString();
        QTest::newRow("32-bit bottom") << IconBox::Initiative << "-2147483648" << qint64(-2147483648) << QString();

        QTest::newRow("empty") << IconBox::Damage << "" << qint64(0) << QStringLiteral("Damage is empty") + shortRange;
        QTest::newRow("blanks") << IconBox::Size << "   " << qint64(0) << QStringLiteral("Size is empty") + longRange;
        QTest::newRow("word") << IconBox::MaxHealth << "lots" << qint64(0)
                              << QStringLiteral("Max Health is not a number") + shortRange;
        QTest::newRow("sign only") << IconBox::Initiative << "-" << qint64(0)
                                   << QStringLiteral("Initiative is not a number") + longRange;
        QTest::newRow("point only") << IconBox::Damage << "." << qint64(0)
                                    << QStringLiteral("Damage is not a number") + shortRange;
        QTest::newRow("rounds past 16 bits")
            << IconBox::Damage << "32767.5" << qint64(0) << QStringLiteral("Damage is out of range") + shortRange;
        QTest::newRow("below 16 bits") << IconBox::MaxHealth << "-32769" << qint64(0)
                                       << QStringLiteral("Max Health is out of range") + shortRange;
        QTest::newRow("past 32 bits") << IconBox::Size << "2147483648" << qint64(0)
                                      << QStringLiteral("Size is out of range") + longRange;
    }

    void numberBoxes()
    {
        QFETCH(IconBox, box);
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QFETCH(QString, problem);
        IconEntry entry = goblin();
        boxText(entry, box) = text;
        const EntryReading reading = readEntry(entry);
        if (problem.isEmpty()) {
            QVERIFY2(reading.values, qPrintable(reading.problem));
            QCOMPARE(boxValue(*reading.values, box), value);
        } else {
            QVERIFY(!reading.values);
            QCOMPARE(reading.box, box);
            QCOMPARE(reading.problem, problem);
        }
    }

    void firstRefusedBoxInTabOrderIsReported()
    {
        IconEntry entry = goblin();
        entry.initiative = QStringLiteral("x");
        entry.maxHealth = QString();
        entry.size = QStringLiteral("99999999999");
        const EntryReading reading = readEntry(entry);
        QVERIFY(!reading.values);
        QCOMPARE(reading.box, IconBox::MaxHealth);
    }

    void nameIsTakenAsTyped()
    {
        for (const QString &name : {QString(), QStringLiteral("  Orc;chief \t")}) {
            IconEntry entry = goblin();
            entry.name = name;
            const EntryReading reading = readEntry(entry);
            QVERIFY(reading.values);
            QCOMPARE(reading.values->name, name);
        }
    }
};

QTEST_GUILESS_MAIN(TestIconEntry)
#include "tst_iconentry.moc"
