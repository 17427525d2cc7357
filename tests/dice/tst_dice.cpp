#include "ScriptedSource.h"
#include "dice/DiceCollection.h"
#include "dice/PreparedRow.h"
#include "dice/Random.h"
#include "dice/Roll.h"

#include <QtTest/QTest>

#include <cmath>
#include <vector>

using namespace vellmar::dice;

Q_DECLARE_METATYPE(PreparedRoll::Action)

class TestDice : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rollText_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("modifier");
        QTest::addColumn<QString>("diceText");
        QTest::addColumn<QList<std::int32_t>>("faces");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QString() << 0 << QStringLiteral("2d4 + 1d20") << QList<std::int32_t>{3, 1, 17}
                               << QStringLiteral("[2d4 + 1d20 (3+1+17)] = 21");
        QTest::newRow("description and modifier")
            << QStringLiteral("Stealth") << 4 << QStringLiteral("1d20") << QList<std::int32_t>{12}
            << QStringLiteral("(Stealth)[1d20 (12)+4] = 16");
        QTest::newRow("negative modifier keeps the plus")
            << QString() << -2 << QStringLiteral("1d20") << QList<std::int32_t>{5}
            << QStringLiteral("[1d20 (5)+-2] = 3");
        QTest::newRow("description without modifier")
            << QStringLiteral("Spot") << 0 << QStringLiteral("1d20") << QList<std::int32_t>{20}
            << QStringLiteral("(Spot)[1d20 (20)] = 20");
        QTest::newRow("no dice") << QString() << 0 << QString() << QList<std::int32_t>{} << QStringLiteral("[ ()] = 0");
    }
    void rollText()
    {
        QFETCH(QString, description);
        QFETCH(int, modifier);
        QFETCH(QString, diceText);
        QFETCH(QList<std::int32_t>, faces);
        QFETCH(QString, expected);

        Roll roll;
        roll.description = description;
        roll.modifier = static_cast<std::int16_t>(modifier);
        roll.diceText = diceText;
        roll.faces = faces;
        for (const auto face : faces)
            roll.total += face;
        roll.total += modifier;
        QCOMPARE(vellmar::dice::rollText(roll), expected);
    }

    void collectionListsKindsInOrder()
    {
        DiceCollection dice;
        QVERIFY(dice.isEmpty());
        QCOMPARE(dice.diceText(), QString());
        QCOMPARE(dice.countText(0), QString());
        dice.add(5); // d20 first, but it is listed last
        dice.add(0);
        dice.add(0);
        dice.add(3);
        QCOMPARE(dice.diceText(), QStringLiteral("2d4 + 1d10 + 1d20"));
        QCOMPARE(dice.countText(0), QStringLiteral("2"));
        QCOMPARE(dice.countText(1), QString());
        dice.setSingleD20();
        QCOMPARE(dice.diceText(), QStringLiteral("1d20"));
        dice.clear();
        QVERIFY(dice.isEmpty());
    }

    void rollDiceRollsInKindOrderAndAddsModifier()
    {
        DiceCollection dice;
        dice.add(5);
        dice.add(0);
        dice.add(0);
        ScriptedSource source;
        source.addFaces(4, {3, 1});
        source.addFaces(20, {17});
        const Roll roll = rollDice(dice, source, QStringLiteral("Hit"), -5);
        QCOMPARE(roll.faces, (QList<std::int32_t>{3, 1, 17}));
        QCOMPARE(roll.total, 16);
        QCOMPARE(vellmar::dice::rollText(roll), QStringLiteral("(Hit)[2d4 + 1d20 (3+1+17)+-5] = 16"));
        QVERIFY(source.values.empty());
    }

    void randomCoversWholeRangeAtItsEdges()
    {
        ScriptedSource source;
        const float belowOne = std::nextafter(1.0f, 0.0f);
        source.values = {0.0f, belowOne, belowOne, 0.5f};
        QCOMPARE(Random(source, 20), 1.0f);
        QCOMPARE(Random(source, 20), 20.0f);
        QCOMPARE(Random(source, 6), 6.0f);
        QCOMPARE(Random(source, 4), 3.0f);
    }

    void randomKeepsTheExactProduct()
    {
        // 13981013 / 2^24 times 6 is 5 - 2^-23: a 5. Rounded to a float the
        // product would become 5.0 and the face a 6.
        ScriptedSource source;
        const float r = 13981013.0f / 16777216.0f;
        QCOMPARE(r * 6.0f, 5.0f);
        source.values = {r};
        QCOMPARE(Random(source, 6), 5.0f);
    }

    void facesAreUniform_data()
    {
        QTest::addColumn<int>("sides");
        // Chi-square critical values at p = 0.001 for sides - 1 degrees of freedom.
        QTest::addColumn<double>("critical");
        QTest::newRow("d4") << 4 << 16.27;
        QTest::newRow("d6") << 6 << 20.52;
        QTest::newRow("d8") << 8 << 24.32;
        QTest::newRow("d10") << 10 << 27.88;
        QTest::newRow("d12") << 12 << 31.26;
        QTest::newRow("d20") << 20 << 43.82;
    }
    void facesAreUniform()
    {
        QFETCH(int, sides);
        QFETCH(double, critical);
        SeededUniformSource source(20240607u + static_cast<std::uint32_t>(sides));
        const int perFace = 2000;
        std::vector<int> counts(static_cast<std::size_t>(sides) + 1, 0);
        for (int i = 0; i < perFace * sides; ++i) {
            const float face = Random(source, static_cast<std::int16_t>(sides));
            QVERIFY(face >= 1.0f && face <= static_cast<float>(sides) && face == std::floor(face));
            ++counts[static_cast<std::size_t>(face)];
        }
        double chiSquare = 0.0;
        for (int face = 1; face <= sides; ++face) {
            const double diff = counts[static_cast<std::size_t>(face)] - perFace;
            chiSquare += diff * diff / perFace;
        }
        QVERIFY2(chiSquare < critical, qPrintable(QStringLiteral("chi-square %1").arg(chiSquare)));
    }

    void sourceStaysBelowOne()
    {
        SeededUniformSource source(7u);
        for (int i = 0; i < 100000; ++i) {
            const float r = source.next();
            QVERIFY(r >= 0.0f && r < 1.0f);
        }
    }

    void preparedRowReading_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("modifier");
        QTest::addColumn<PreparedRoll::Action>("action");
        QTest::addColumn<int>("expected");
        using A = PreparedRoll::Action;
        QTest::newRow("both empty") << QString() << QString() << A::Ignore << 0;
        QTest::newRow("zero and no description") << QString() << QStringLiteral("0") << A::Ignore << 0;
        QTest::newRow("text is zero") << QString() << QStringLiteral("abc") << A::Ignore << 0;
        QTest::newRow("description only") << QStringLiteral("Spot") << QString() << A::Roll << 0;
        QTest::newRow("modifier only") << QString() << QStringLiteral("3") << A::Roll << 3;
        QTest::newRow("negative") << QString() << QStringLiteral("-2") << A::Roll << -2;
        QTest::newRow("half to even down") << QString() << QStringLiteral("2.5") << A::Roll << 2;
        QTest::newRow("half to even up") << QString() << QStringLiteral("3.5") << A::Roll << 4;
        QTest::newRow("small fraction still rolls") << QString() << QStringLiteral("0.4") << A::Roll << 0;
        QTest::newRow("trailing text") << QString() << QStringLiteral("5 (sword)") << A::Roll << 5;
        QTest::newRow("largest") << QString() << QStringLiteral("32767") << A::Roll << 32767;
        QTest::newRow("smallest") << QString() << QStringLiteral("-32768") << A::Roll << -32768;
        QTest::newRow("too large") << QStringLiteral("Spot") << QStringLiteral("32768") << A::Refuse << 0;
        QTest::newRow("too small") << QString() << QStringLiteral("-40000") << A::Refuse << 0;
    }
    void preparedRowReading()
    {
        QFETCH(QString, description);
        QFETCH(QString, modifier);
        QFETCH(PreparedRoll::Action, action);
        QFETCH(int, expected);
        const PreparedRoll roll = readPreparedRow(description, modifier);
        QCOMPARE(roll.action, action);
        QCOMPARE(int(roll.modifier), expected);
    }
};

QTEST_GUILESS_MAIN(TestDice)
#include "tst_dice.moc"
