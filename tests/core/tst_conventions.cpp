#include "core/Numbers.h"
#include "core/Text.h"

#include <QtTest/QTest>

#include <limits>

using namespace vellmar::core;

class TestConventions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("digits then letters") << QStringLiteral("12abc") << 12.0;
        QTest::newRow("no number") << QStringLiteral("abc") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("leading blanks and sign") << QStringLiteral("  -2.5x") << -2.5;
        QTest::newRow("fraction only") << QStringLiteral(".5") << 0.5;
        QTest::newRow("lone sign") << QStringLiteral("-") << 0.0;
        QTest::newRow("exponent") << QStringLiteral("1e3 feet") << 1000.0;
        QTest::newRow("exponent without digits") << QStringLiteral("2e") << 2.0;
        QTest::newRow("second number ignored") << QStringLiteral("3 4") << 3.0;
        QTest::newRow("overflowing exponent") << QStringLiteral("1e999") << 0.0;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(vellmar::core::leadingNumber(text), expected);
    }

    void roundingHalvesToEven()
    {
        QCOMPARE(roundToInt16(2.5), std::optional<std::int16_t>(2));
        QCOMPARE(roundToInt16(3.5), std::optional<std::int16_t>(4));
        QCOMPARE(roundToInt16(-2.5), std::optional<std::int16_t>(-2));
        QCOMPARE(roundToInt32(-0.5), std::optional<std::int32_t>(0));
        // Range edges: a value that rounds into the range fits, one past does not.
        QCOMPARE(roundToInt16(32767.4), std::optional<std::int16_t>(32767));
        QCOMPARE(roundToInt16(32767.5), std::nullopt);
        QCOMPARE(roundToInt16(-32768.5), std::optional<std::int16_t>(-32768));
        QCOMPARE(roundToInt16(-32769.0), std::nullopt);
        QCOMPARE(roundToInt32(2147483647.0), std::optional<std::int32_t>(2147483647));
        QCOMPARE(roundToInt32(2147483648.0), std::nullopt);
        QCOMPARE(roundToInt32(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    }

    void strictDecimal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("negative") << QStringLiteral("-5") << true << -5;
        QTest::newRow("minimum") << QStringLiteral("-2147483648") << true << std::numeric_limits<int>::min();
        QTest::newRow("maximum") << QStringLiteral("2147483647") << true << std::numeric_limits<int>::max();
        QTest::newRow("one past maximum") << QStringLiteral("2147483648") << false << 0;
        QTest::newRow("one past minimum") << QStringLiteral("-2147483649") << false << 0;
        QTest::newRow("empty") << QString() << false << 0;
        QTest::newRow("plus sign") << QStringLiteral("+5") << false << 0;
        QTest::newRow("blank") << QStringLiteral(" 5") << false << 0;
        QTest::newRow("fraction") << QStringLiteral("1.5") << false << 0;
        QTest::newRow("arabic-indic digit") << QStringLiteral("\u0665") << false << 0;
    }
    void strictDecimal()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const auto parsed = parseDecimalInt32(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }

    void trimmingTouchesSpacesOnly()
    {
        QCOMPARE(trimSpaces(u"  hello world  "), QStringLiteral("hello world"));
        QCOMPARE(trimSpaces(u"\thi\t"), QStringLiteral("\thi\t"));
    }

    void appendedLinesArePrecededByCrLf()
    {
        QString log;
        log = withAppendedLine(log, u"a");
        log = withAppendedLine(log, u"b");
        QCOMPARE(log, QStringLiteral("\r\na\r\nb"));
    }
};

QTEST_GUILESS_MAIN(TestConventions)
#include "tst_conventions.moc"
