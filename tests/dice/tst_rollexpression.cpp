#include "ScriptedSource.h"
#include "dice/ChatRollCommand.h"
#include "dice/ExpressionRoll.h"
#include "dice/RollExpression.h"

#include <QtTest/QTest>

#include <cmath>
#include <map>

using namespace vellmar::dice;

namespace {

// Each term written back, signs included, then "#" and the label: what the
// reader made of the text, in one string to compare.
QString readBack(const RollExpression &expression)
{
    QString text;
    for (const Term &term : expression.terms) {
        text += term.negative ? u'-' : u'+';
        text += term.isDice ? term.dice.notation() : QString::number(term.constant);
    }
    return text + u'#' + expression.label;
}

// The chi-square bound that a fair sample stays under with probability
// 0.999 (Wilson-Hilferty; a hair above the exact value).
double criticalAt999(int degreesOfFreedom)
{
    const double k = degreesOfFreedom;
    const double a = 2.0 / (9.0 * k);
    return k * std::pow(1.0 - a + 3.0902 * std::sqrt(a), 3.0);
}

// The exact chance of every total of one dice term without explosions, by
// walking through every way the dice can fall.
std::map<int, double> exactTotals(const DiceTerm &term)
{
    std::map<int, double> chance;
    std::vector<int> faces(static_cast<std::size_t>(term.count), 1);
    const double each = 1.0 / std::pow(term.sides, term.count);
    for (;;) {
        std::vector<int> sorted = faces;
        std::sort(sorted.begin(), sorted.end());
        const int n = term.selectCount;
        const int size = term.count;
        int from = 0, to = size; // the kept dice are sorted[from, to)
        switch (term.select) {
        case DiceTerm::Select::all:
            break;
        case DiceTerm::Select::keepHighest:
            from = size - n;
            break;
        case DiceTerm::Select::keepLowest:
            to = n;
            break;
        case DiceTerm::Select::dropHighest:
            to = size - n;
            break;
        case DiceTerm::Select::dropLowest:
            from = n;
            break;
        }
        int total = 0;
        for (int i = from; i < to; ++i)
            total += sorted[static_cast<std::size_t>(i)];
        chance[total] += each;
        std::size_t i = 0;
        while (i < faces.size() && faces[i] == term.sides)
            faces[i++] = 1;
        if (i == faces.size())
            return chance;
        ++faces[i];
    }
}

RollExpression expressionOf(const QString &text)
{
    auto parsed = parseRollExpression(text);
    if (auto *error = std::get_if<ExpressionError>(&parsed))
        qFatal("%s: %s", qPrintable(text), qPrintable(error->message));
    return std::get<RollExpression>(parsed);
}

// Chi-square of a sample against expected chances; totals expected fewer
// than five times are pooled into one bin.
double chiSquare(const std::map<int, int> &seen, const std::map<int, double> &chance, int rolls, int *bins)
{
    double sum = 0.0;
    double pooledExpected = 0.0;
    int pooledSeen = 0;
    *bins = 0;
    for (const auto &[total, p] : chance) {
        const double expected = p * rolls;
        const int observed = seen.count(total) ? seen.at(total) : 0;
        if (expected < 5.0) {
            pooledExpected += expected;
            pooledSeen += observed;
            continue;
        }
        sum += (observed - expected) * (observed - expected) / expected;
        ++*bins;
    }
    for (const auto &[total, observed] : seen) {
        if (!chance.count(total))
            return INFINITY; // a total that cannot happen
    }
    if (pooledExpected > 0.0) {
        sum += (pooledSeen - pooledExpected) * (pooledSeen - pooledExpected) / pooledExpected;
        ++*bins;
    }
    return sum;
}

} // namespace

class TestRollExpression : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsWhatPeopleType_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("advantage") << QStringLiteral("2d20kh1+5") << QStringLiteral("+2d20kh1+5#");
        QTest::newRow("ability score") << QStringLiteral("4d6dl1") << QStringLiteral("+4d6dl1#");
        QTest::newRow("exploding") << QStringLiteral("3d6!") << QStringLiteral("+3d6!#");
        QTest::newRow("percentile") << QStringLiteral("d%") << QStringLiteral("+1d%#");
        QTest::newRow("several terms") << QStringLiteral("2d6+1d4-1") << QStringLiteral("+2d6+1d4-1#");
        QTest::newRow("label") << QStringLiteral("8d6 fire") << QStringLiteral("+8d6#fire");
        QTest::newRow("blanks and label")
            << QStringLiteral("  1d20 +  3 - 2  to hit it ") << QStringLiteral("+1d20+3-2#to hit it");
        QTest::newRow("upper case, k and d alone")
            << QStringLiteral("2D20K+4d6D") << QStringLiteral("+2d20kh1+4d6dl1#");
        QTest::newRow("keep after explode either way") << QStringLiteral("3d6kl2!") << QStringLiteral("+3d6!kl2#");
        QTest::newRow("leading minus") << QStringLiteral("-1+d4") << QStringLiteral("-1+1d4#");
        QTest::newRow("a plain number") << QStringLiteral("7") << QStringLiteral("+7#");
        QTest::newRow("largest dice") << QStringLiteral("100d1000") << QStringLiteral("+100d1000#");
        QTest::newRow("drop all but one") << QStringLiteral("3d6dh2") << QStringLiteral("+3d6dh2#");
        QTest::newRow("a label that looks like dice") << QStringLiteral("1d20 d6") << QStringLiteral("+1d20#d6");
        QTest::newRow("constant up to the 32-bit top")
            << QStringLiteral("2147483647") << QStringLiteral("+2147483647#");
    }
    void readsWhatPeopleType()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(readBack(expressionOf(text)), expected);
    }

    void refusesWithWhereAndWhat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("says");
        QTest::newRow("empty") << QStringLiteral("  ") << 2 << QStringLiteral("nothing to roll");
        QTest::newRow("stray letter") << QStringLiteral("2d6x") << 3 << QStringLiteral("\"x\" is not part");
        QTest::newRow("trailing sign") << QStringLiteral("2d6 +") << 5 << QStringLiteral("must follow the sign");
        QTest::newRow("no sides") << QStringLiteral("2d") << 2 << QStringLiteral("number of sides");
        QTest::newRow("word first") << QStringLiteral("fire 2d6") << 0 << QStringLiteral("\"f\" is not a number");
        QTest::newRow("no dice") << QStringLiteral("0d6") << 0 << QStringLiteral("at least one die");
        QTest::newRow("101 dice") << QStringLiteral("1+101d6") << 2 << QStringLiteral("at most 100 dice");
        QTest::newRow("no sides at all") << QStringLiteral("2d0") << 2 << QStringLiteral("at least one side");
        QTest::newRow("1001 sides") << QStringLiteral("d1001") << 1 << QStringLiteral("at most 1000 sides");
        QTest::newRow("keep too many") << QStringLiteral("2d20kh3") << 6 << QStringLiteral("cannot keep 3 of 2");
        QTest::newRow("keep none") << QStringLiteral("2d20k0") << 5 << QStringLiteral("keep at least one");
        QTest::newRow("drop every die") << QStringLiteral("4d6dl4") << 5 << QStringLiteral("drop between 1 and 3");
        QTest::newRow("drop from one die") << QStringLiteral("1d6d") << 3 << QStringLiteral("at least two dice");
        QTest::newRow("keep twice") << QStringLiteral("4d6kh3dl1") << 6 << QStringLiteral("only once");
        QTest::newRow("explode twice") << QStringLiteral("4d6!!") << 4 << QStringLiteral("explodes only once");
        QTest::newRow("one side explodes") << QStringLiteral("3d1!") << 3 << QStringLiteral("cannot explode");
        QTest::newRow("number too big") << QStringLiteral("1+2147483648") << 2 << QStringLiteral("larger than");
        QTest::newRow("total too big") << QStringLiteral("2147483000+1d1000") << 11 << QStringLiteral("could pass");
        QTest::newRow("21 terms") << QStringLiteral("1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1") << 40
                                  << QStringLiteral("at most 20 terms");
        QTest::newRow("long label") << (u"d6 " + QString(201, u'x')) << 3 << QStringLiteral("label is longer");
    }
    void refusesWithWhereAndWhat()
    {
        QFETCH(QString, text);
        QFETCH(int, position);
        QFETCH(QString, says);
        const auto parsed = parseRollExpression(text);
        QVERIFY(std::holds_alternative<ExpressionError>(parsed));
        const auto &error = std::get<ExpressionError>(parsed);
        QVERIFY2(error.message.contains(says), qPrintable(error.message));
        QCOMPARE(int(error.position), position);
    }

    void commandsAndChat_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("mode"); // -1: chat, -2: refused
        QTest::addColumn<QString>("error");
        QTest::newRow("roll") << QStringLiteral("/roll 1d20") << int(RollMode::everyone) << QString();
        QTest::newRow("r") << QStringLiteral("/r 1d20") << int(RollMode::everyone) << QString();
        QTest::newRow("gmroll") << QStringLiteral("/gmroll 1d20") << int(RollMode::master) << QString();
        QTest::newRow("gr") << QStringLiteral("/GR 1d20") << int(RollMode::master) << QString();
        QTest::newRow("selfroll") << QStringLiteral("/selfroll\t1d20") << int(RollMode::self) << QString();
        QTest::newRow("publicroll") << QStringLiteral("/publicroll 1d20") << int(RollMode::publicEvenMine) << QString();
        QTest::newRow("chat") << QStringLiteral("rolling 1d20") << -1 << QString();
        QTest::newRow("not a command") << QStringLiteral("/rolling") << -1 << QString();
        QTest::newRow("other slash") << QStringLiteral("/me waves") << -1 << QString();
        QTest::newRow("nothing to roll") << QStringLiteral("/r") << -2
                                         << QStringLiteral("Cannot roll: there is nothing to roll (at character 3)");
        QTest::newRow("position counts the command")
            << QStringLiteral("/gmroll 2d6x") << -2
            << QStringLiteral("Cannot roll: \"x\" is not part of a roll (at character 12)");
    }
    void commandsAndChat()
    {
        QFETCH(QString, line);
        QFETCH(int, mode);
        QFETCH(QString, error);
        const ReadRollCommand read = readRollCommand(line);
        if (mode == -1) {
            QVERIFY(std::holds_alternative<NotARollCommand>(read));
        } else if (mode == -2) {
            QVERIFY(std::holds_alternative<ExpressionError>(read));
            QCOMPARE(rollErrorLine(std::get<ExpressionError>(read)), error);
        } else {
            QVERIFY(std::holds_alternative<RollCommand>(read));
            QCOMPARE(int(std::get<RollCommand>(read).mode), mode);
            QCOMPARE(readBack(std::get<RollCommand>(read).expression), QStringLiteral("+1d20#"));
        }
    }

    void rollTextShowsEveryDie()
    {
        // 2d20kh1: 17 and 3, the 3 dropped. 3d6!: a 6 explodes into a 6 that
        // explodes into a 2, then 4 and 1. Then minus one.
        ScriptedSource source;
        source.addFaces(20, {17, 3});
        source.addFaces(6, {6, 6, 2, 4, 1});
        const auto result = rollExpression(expressionOf(QStringLiteral("2d20kh1 + 3d6! - 1 attack")), source);
        QCOMPARE(expressionRollText(result),
                 QStringLiteral("(attack)[2d20kh1 (17+~3~) + 3d6! (6!+6!+2+4+1) - 1] = 35"));
        QCOMPARE(result.total, 17 + 19 - 1);
        QVERIFY(source.values.empty());
    }

    void amongEqualFacesTheEarlierDieIsKept()
    {
        ScriptedSource source;
        source.addFaces(6, {4, 2, 4, 2});
        source.addFaces(6, {4, 2, 4, 2});
        const auto result = rollExpression(expressionOf(QStringLiteral("4d6dl1+4d6kh1")), source);
        QCOMPARE(expressionRollText(result), QStringLiteral("[4d6dl1 (4+2+4+~2~) + 4d6kh1 (4+~2~+~4~+~2~)] = 14"));
    }

    void explosionsStop()
    {
        // Every die shows its top face: the term stops after its extra dice.
        ScriptedSource source;
        for (int i = 0; i < 2 + maxExplosionsPerTerm; ++i)
            source.addFaces(4, {4});
        const auto result = rollExpression(expressionOf(QStringLiteral("2d4!")), source);
        QCOMPARE(result.terms.first().dice.size(), 2 + maxExplosionsPerTerm);
        QCOMPARE(result.total, 4 * (2 + maxExplosionsPerTerm));
        QVERIFY(source.values.empty());
    }

    void highestTotalFits()
    {
        // The largest expression the reader takes rolls all top faces.
        ScriptedSource source;
        for (int i = 0; i < 200; ++i)
            source.addFaces(1000, {1000});
        const auto result = rollExpression(expressionOf(QStringLiteral("100d1000! + 2147283647")), source);
        QCOMPARE(result.total, std::numeric_limits<std::int32_t>::max());
    }

    void totalsFollowTheirDistribution_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("advantage") << QStringLiteral("2d20kh1");
        QTest::newRow("disadvantage") << QStringLiteral("2d20kl1");
        QTest::newRow("ability score") << QStringLiteral("4d6dl1");
        QTest::newRow("drop highest") << QStringLiteral("3d6dh1");
        QTest::newRow("plain d12") << QStringLiteral("1d12");
        QTest::newRow("percentile") << QStringLiteral("d%");
        QTest::newRow("sum of two") << QStringLiteral("2d8");
    }
    void totalsFollowTheirDistribution()
    {
        QFETCH(QString, text);
        const RollExpression expression = expressionOf(text);
        const std::map<int, double> chance = exactTotals(expression.terms.first().dice);
        // A fixed seed: the same draws every run, so the test cannot flicker.
        SeededUniformSource source(qHash(text));
        const int rolls = 40000;
        std::map<int, int> seen;
        for (int i = 0; i < rolls; ++i)
            ++seen[rollExpression(expression, source).total];
        int bins = 0;
        const double sum = chiSquare(seen, chance, rolls, &bins);
        QVERIFY2(sum < criticalAt999(bins - 1),
                 qPrintable(QStringLiteral("chi-square %1 over %2 bins").arg(sum).arg(bins)));
    }

    void explodingDieFollowsItsDistribution()
    {
        // One exploding d6: 1-5 a sixth each, 7-11 a 36th each, and so on; no
        // multiple of 6 can be a total.
        std::map<int, double> chance;
        for (int level = 0; level < 8; ++level) {
            for (int face = 1; face <= 5; ++face)
                chance[6 * level + face] = std::pow(1.0 / 6.0, level + 1);
        }
        const RollExpression expression = expressionOf(QStringLiteral("1d6!"));
        SeededUniformSource source(7u);
        const int rolls = 40000;
        std::map<int, int> seen;
        for (int i = 0; i < rolls; ++i)
            ++seen[rollExpression(expression, source).total];
        int bins = 0;
        const double sum = chiSquare(seen, chance, rolls, &bins);
        QVERIFY2(sum < criticalAt999(bins - 1), qPrintable(QStringLiteral("chi-square %1").arg(sum)));
    }
};

QTEST_GUILESS_MAIN(TestRollExpression)
#include "tst_rollexpression.moc"
