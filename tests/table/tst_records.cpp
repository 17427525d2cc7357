#include "table/Collections.h"
#include "table/Health.h"

#include <QtTest/QTest>

using namespace vellmar::table;

namespace {

constexpr std::int32_t green = 65280;
constexpr std::int32_t yellow = 65535;
constexpr std::int32_t olive = 32896;
constexpr std::int32_t red = 255;

CIcon icon(int damage, int maxHealth)
{
    CIcon i;
    i.damage = static_cast<std::int16_t>(damage);
    i.maxHealth = static_cast<std::int16_t>(maxHealth);
    return i;
}

// The health word by exact fractions, without floating point, for a positive
// maximum: the reference the floating-point rules must agree with.
QString referenceWord(int damage, int maxHealth)
{
    if (damage == 0)
        return QStringLiteral("Unscathed");
    if (4 * damage < maxHealth)
        return QStringLiteral("Injured");
    if (2 * damage < maxHealth)
        return QStringLiteral("Hurt");
    if (4 * damage < 3 * maxHealth)
        return QStringLiteral("Badly Hurt");
    if (damage < maxHealth)
        return QStringLiteral("Near Death");
    if (damage == maxHealth)
        return QStringLiteral("Disabled");
    return damage >= maxHealth + 10 ? QStringLiteral("Dead") : QStringLiteral("Unconscious");
}

std::shared_ptr<CMarker> marker(std::int32_t id, const QString &info = QString())
{
    auto m = std::make_shared<CMarker>();
    m->id = id;
    m->info = info;
    return m;
}

QList<std::int32_t> ids(const MarkerCollection &markers)
{
    QList<std::int32_t> result;
    markers.forEach([&result](const CMarker &m) { result << m.id; });
    return result;
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void healthWordAndColourAtEveryBoundary_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<int>("maxHealth");
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("colour");
        QTest::newRow("unhurt") << 0 << 40 << QStringLiteral("Unscathed") << green;
        QTest::newRow("just below a quarter") << 9 << 40 << QStringLiteral("Injured") << green;
        QTest::newRow("exactly a quarter") << 10 << 40 << QStringLiteral("Hurt") << yellow;
        QTest::newRow("just below a half") << 19 << 40 << QStringLiteral("Hurt") << yellow;
        QTest::newRow("exactly a half") << 20 << 40 << QStringLiteral("Badly Hurt") << olive;
        QTest::newRow("just below three quarters") << 29 << 40 << QStringLiteral("Badly Hurt") << olive;
        QTest::newRow("exactly three quarters") << 30 << 40 << QStringLiteral("Near Death") << red;
        QTest::newRow("one point left") << 39 << 40 << QStringLiteral("Near Death") << red;
        QTest::newRow("damage equals maximum") << 40 << 40 << QStringLiteral("Disabled") << red;
        QTest::newRow("one beyond") << 41 << 40 << QStringLiteral("Unconscious") << red;
        QTest::newRow("nine beyond") << 49 << 40 << QStringLiteral("Unconscious") << red;
        QTest::newRow("ten beyond") << 50 << 40 << QStringLiteral("Dead") << red;
        QTest::newRow("negative damage") << -5 << 40 << QStringLiteral("Injured") << green;
        QTest::newRow("a quarter of 4") << 1 << 4 << QStringLiteral("Hurt") << yellow;
        QTest::newRow("a third") << 1 << 3 << QStringLiteral("Hurt") << yellow;
        // A maximum near the 16-bit limit: maxHealth + 10 must not wrap.
        QTest::newRow("top of the range, 7 beyond") << 32767 << 32760 << QStringLiteral("Unconscious") << red;
        QTest::newRow("top of the range, 10 beyond") << 32767 << 32757 << QStringLiteral("Dead") << red;
        QTest::newRow("largest maximum, disabled") << 32767 << 32767 << QStringLiteral("Disabled") << red;
        // Maximum 0: an infinitely small maximum.
        QTest::newRow("max 0, unhurt") << 0 << 0 << QStringLiteral("Unscathed") << green;
        QTest::newRow("max 0, negative damage") << -3 << 0 << QStringLiteral("Injured") << green;
        QTest::newRow("max 0, 9 damage") << 9 << 0 << QStringLiteral("Unconscious") << red;
        QTest::newRow("max 0, 10 damage") << 10 << 0 << QStringLiteral("Dead") << red;
        QTest::newRow("negative maximum") << 5 << -10 << QStringLiteral("Injured") << green;
        QTest::newRow("both at the bottom") << -32768 << -32768 << QStringLiteral("Disabled") << red;
    }
    void healthWordAndColourAtEveryBoundary()
    {
        QFETCH(int, damage);
        QFETCH(int, maxHealth);
        QFETCH(QString, word);
        QFETCH(int, colour);
        const CIcon i = icon(damage, maxHealth);
        QCOMPARE(i.HealthStatus(), word);
        QCOMPARE(i.Healthcolor(), colour);
    }

    void healthWordAgreesWithExactFractions()
    {
        for (int maxHealth = 1; maxHealth <= 400; ++maxHealth)
            for (int damage = -20; damage <= maxHealth + 20; ++damage)
                if (icon(damage, maxHealth).HealthStatus() != referenceWord(damage, maxHealth))
                    QFAIL(qPrintable(QStringLiteral("damage %1, maximum %2").arg(damage).arg(maxHealth)));
        for (int maxHealth : {32000, 32760, 32766, 32767})
            for (int damage : {maxHealth / 4 - 1, maxHealth / 4, (maxHealth + 3) / 4, maxHealth / 2,
                               (maxHealth + 1) / 2, 3 * maxHealth / 4, (3 * maxHealth + 3) / 4, maxHealth})
                QCOMPARE(icon(damage, maxHealth).HealthStatus(), referenceWord(damage, maxHealth));
    }

    void collectionKeepsInsertionOrderAndRefusesADuplicateKey()
    {
        MarkerCollection markers;
        QVERIFY(markers.add(marker(1, QStringLiteral("first"))));
        QVERIFY(markers.add(marker(2)));
        QVERIFY(markers.add(marker(17)));
        QCOMPARE(ids(markers), (QList<std::int32_t>{1, 2, 17}));
        QVERIFY(markers.contains(QStringLiteral("17")));
        QVERIFY(!markers.find(QStringLiteral("017"))); // keys carry no leading zeros

        // A second record under a held key is refused; the first stays.
        QVERIFY(!markers.add(marker(1, QStringLiteral("second"))));
        QCOMPARE(markers.size(), std::size_t{3});
        QCOMPARE(markers.find(1)->info, QStringLiteral("first"));
        QVERIFY(!markers.add(nullptr));

        // Whoever holds a removed record (the selection) keeps it alive.
        const std::shared_ptr<CMarker> held = markers.find(2);
        QVERIFY(markers.remove(recordKey(2)));
        QVERIFY(!markers.remove(QStringLiteral("2")));
        QCOMPARE(ids(markers), (QList<std::int32_t>{1, 17}));
        QCOMPARE(held->id, 2);
        QCOMPARE(recordKey(-4), QStringLiteral("-4"));
        QVERIFY(markers.add(marker(2)));
        QCOMPARE(ids(markers), (QList<std::int32_t>{1, 17, 2})); // back at the end
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
