#include "ScriptedSource.h"
#include "dice/PreparedRow.h"
#include "dice/Random.h"

#include <QtTest/QTest>

#include <cmath>
#include <vector>

using namespace vellmar::dice;

Q_DECLARE_METATYPE(PreparedRoll::Action)

class TestDice : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void randomReachesBothEnds()
    {
        ScriptedSource source;
        const float belowOne = std::nextafter(1.0f, 0.0f);
        source.values = {0.0f, belowOne, belowOne};
        QCOMPARE(Random(source, 20), 1.0f);
        QCOMPARE(Random(source, 20), 20.0f);
        QCOMPARE(Random(source, 6), 6.0f);
    }

    void randomKeepsTheExactProduct()
    {
        // 13981013 / 2^24 times 6 is 5 - 2^-23: a 5. Rounded to a float the
        // product would become 5.0 and the face a 6.
        const float r = 13981013.0f / 16777216.0f;
        QCOMPARE(r * 6.0f, 5.0f);
        ScriptedSource source;
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
        // A fixed seed: the same draws every run, so the test cannot flicker.
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

    void preparedRowReading_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("modifier");
        QTest::addColumn<PreparedRoll::Action>("action");
        QTest::addColumn<int>("expected");
        using A = PreparedRoll::Action;
        QTest::newRow("text reads as zero") << QString() << QStringLiteral("abc") << A::Ignore << 0;
        QTest::newRow("small fraction still rolls") << QString() << QStringLiteral("0.4") << A::Roll << 0;
        QTest::newRow("trailing text") << QString() << QStringLiteral("5 (sword)") << A::Roll << 5;
        QTest::newRow("largest") << QString() << QStringLiteral("32767") << A::Roll << 32767;
        QTest::newRow("smallest") << QString() << QStringLiteral("-32768") << A::Roll << -32768;
        QTest::newRow("rounds past the top") << QString() << QStringLiteral("32767.5") << A::Refuse << 0;
        QTest::newRow("too small") << QString() << QStringLiteral("-32768.6") << A::Refuse << 0;
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
