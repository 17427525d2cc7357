#include "table/CIcon.h"
#include "tokens/icons/IconEntry.h"
#include "tokens/icons/NumberBox.h"

#include <QtTest/QTest>

#include <limits>

using namespace vellmar::tokens;
using vellmar::table::CIcon;

class TestIconEntry : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // `expected` is the number read, or the message when the box is refused.
    void numberBoxes_data()
    {
        QTest::addColumn<bool>("wide");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString narrow = QStringLiteral(": enter a whole number from -32768 to 32767.");
        const QString wide = QStringLiteral(": enter a whole number from -2147483648 to 2147483647.");
        const auto row = [](const char *name, bool wideBox, const char *text, const QString &expected) {
            QTest::newRow(name) << wideBox << QString::fromLatin1(text) << expected;
        };
        row("half down to even", false, "2.5", QStringLiteral("2"));
        row("half up to even", false, "3.5", QStringLiteral("4"));
        row("leading number", true, " 12abc", QStringLiteral("12"));
        row("empty", false, "", QStringLiteral("Damage is empty") + narrow);
        row("word", false, "lots", QStringLiteral("Damage is not a number") + narrow);
        row("sign only", true, "-", QStringLiteral("Size is not a number") + wide);
        row("rounds past 16 bits", false, "32767.5", QStringLiteral("Damage is out of range") + narrow);
        row("past 32 bits", true, "-2147483649", QStringLiteral("Size is out of range") + wide);
    }

    void numberBoxes()
    {
        QFETCH(bool, wide);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const NumberBox box = wide ? NumberBox{QStringLiteral("Size"), std::numeric_limits<std::int32_t>::min(),
                                               std::numeric_limits<std::int32_t>::max()}
                                   : NumberBox{QStringLiteral("Damage"), -32768, 32767};
        const BoxReading reading = readNumberBox(box, text);
        QCOMPARE(reading.value ? QString::number(*reading.value) : reading.problem, expected);
    }

    void entryReadsEveryBoxInTabOrder()
    {
        CIcon icon{-32768, 32767, QStringLiteral(" Orc;chief\t"), -2147483647 - 1, 0, 0, 0, 0, 2147483647};
        IconEntry entry = entryOf(icon);
        QCOMPARE(readEntry(entry).values,
                 std::optional(IconValues{icon.name, icon.damage, icon.maxHealth, icon.size, icon.initiative}));

        entry.initiative = QStringLiteral("x");
        entry.maxHealth = QString();
        entry.size = QStringLiteral("99999999999");
        const EntryReading reading = readEntry(entry);
        QVERIFY(!reading.values);
        QCOMPARE(reading.box, IconBox::MaxHealth);
        QVERIFY(reading.problem.startsWith(QStringLiteral("Max Health is empty")));
    }
};

QTEST_GUILESS_MAIN(TestIconEntry)
#include "tst_iconentry.moc"
