#include "RollExpression.h"

#include <limits>
#include <optional>

namespace vellmar::dice {

namespace {

constexpr std::int64_t largestTotal = std::numeric_limits<std::int32_t>::max();

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// One character as the user sees it, quoted, for an error message.
QString quoted(QStringView text, qsizetype at)
{
    const qsizetype length = text.at(at).isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
    return u'"' + text.mid(at, length).toString() + u'"';
}

class Reader
{
public:
    explicit Reader(QStringView text) : m_text(text) {}

    ParsedExpression read()
    {
        RollExpression expression;
        skipBlanks();
        if (atEnd())
            return fail(m_at, QStringLiteral("there is nothing to roll"));
        bool negative = false;
        if (peek() == u'+' || peek() == u'-') {
            negative = peek() == u'-';
            ++m_at;
            skipBlanks();
        }
        std::int64_t highest = 0;
        for (;;) {
            const qsizetype start = m_at;
            if (atEnd())
                return fail(m_at, QStringLiteral("a number or dice must follow the sign"));
            auto term = readTerm();
            if (!term)
                return *m_error;
            term->negative = negative;
            if (expression.terms.size() == maxTermsPerExpression)
                return fail(start, QStringLiteral("a roll has at most %1 terms").arg(maxTermsPerExpression));
            highest += highestValue(*term);
            if (highest > largestTotal)
                return fail(start, QStringLiteral("the total could pass %1").arg(largestTotal));
            expression.terms.append(*term);

            const bool blankBefore = skipBlanks() > 0;
            if (atEnd())
                return expression;
            if (peek() == u'+' || peek() == u'-') {
                negative = peek() == u'-';
                ++m_at;
                skipBlanks();
                continue;
            }
            if (!blankBefore)
                return fail(m_at, quoted(m_text, m_at) + u" is not part of a roll");
            return withLabel(std::move(expression));
        }
    }

private:
    ParsedExpression withLabel(RollExpression expression)
    {
        QStringView label = m_text.mid(m_at).trimmed();
        if (label.size() > maxLabelLength)
            return fail(m_at, QStringLiteral("the label is longer than %1 characters").arg(maxLabelLength));
        expression.label = label.toString();
        return expression;
    }

    std::optional<Term> readTerm()
    {
        const qsizetype start = m_at;
        const auto number = readNumber();
        if (m_error)
            return std::nullopt;
        Term term;
        if (!atEnd() && (peek() == u'd' || peek() == u'D')) {
            term.isDice = true;
            if (!readDice(start, number.value_or(1), term.dice))
                return std::nullopt;
            return term;
        }
        if (!number) {
            fail(start, quoted(m_text, start) + u" is not a number or dice such as 2d6");
            return std::nullopt;
        }
        term.constant = static_cast<std::int32_t>(*number);
        return term;
    }

    // At the "d"; count was read before it (1 when it was left out).
    bool readDice(qsizetype start, std::int64_t count, DiceTerm &dice)
    {
        if (count < 1)
            return failed(start, QStringLiteral("roll at least one die"));
        if (count > maxDicePerTerm)
            return failed(start, QStringLiteral("at most %1 dice in a term").arg(maxDicePerTerm));
        dice.count = static_cast<int>(count);
        ++m_at;
        const qsizetype sidesAt = m_at;
        if (!atEnd() && peek() == u'%') {
            ++m_at;
            dice.sides = 100;
            dice.percentile = true;
        } else {
            const auto sides = readNumber();
            if (m_error)
                return false;
            if (!sides)
                return failed(sidesAt, QStringLiteral("the number of sides or % must follow the d"));
            if (*sides < 1)
                return failed(sidesAt, QStringLiteral("a die has at least one side"));
            if (*sides > maxSidesPerDie)
                return failed(sidesAt, QStringLiteral("a die has at most %1 sides").arg(maxSidesPerDie));
            dice.sides = static_cast<int>(*sides);
        }
        return readOptions(dice);
    }

    // "!" and one keep or drop, in either order.
    bool readOptions(DiceTerm &dice)
    {
        while (!atEnd()) {
            const qsizetype at = m_at;
            const QChar c = peek().toLower();
            if (c == u'!') {
                if (dice.exploding)
                    return failed(at, QStringLiteral("a term explodes only once"));
                if (dice.sides < 2)
                    return failed(at, QStringLiteral("a one-sided die cannot explode"));
                dice.exploding = true;
                ++m_at;
            } else if (c == u'k' || c == u'd') {
                if (dice.select != DiceTerm::Select::all)
                    return failed(at, QStringLiteral("a term keeps or drops only once"));
                if (!readSelect(dice))
                    return false;
            } else {
                return true;
            }
        }
        return true;
    }

    bool readSelect(DiceTerm &dice)
    {
        const qsizetype at = m_at;
        const bool keep = peek().toLower() == u'k';
        ++m_at;
        // "k" alone keeps the highest, "d" alone drops the lowest.
        bool highest = keep;
        if (!atEnd() && (peek().toLower() == u'h' || peek().toLower() == u'l')) {
            highest = peek().toLower() == u'h';
            ++m_at;
        }
        const qsizetype numberAt = m_at;
        const auto number = readNumber();
        if (m_error)
            return false;
        const std::int64_t n = number.value_or(1);
        const qsizetype countAt = number ? numberAt : at;
        if (keep && n < 1)
            return failed(countAt, QStringLiteral("keep at least one die"));
        if (keep && n > dice.count)
            return failed(countAt, QStringLiteral("cannot keep %1 of %2 dice").arg(n).arg(dice.count));
        if (!keep && (n < 1 || n >= dice.count))
            return failed(
                countAt,
                dice.count < 2
                    ? QStringLiteral("dropping needs at least two dice")
                    : QStringLiteral("drop between 1 and %1 of the %2 dice").arg(dice.count - 1).arg(dice.count));
        using S = DiceTerm::Select;
        dice.select = keep ? (highest ? S::keepHighest : S::keepLowest) : (highest ? S::dropHighest : S::dropLowest);
        dice.selectCount = static_cast<int>(n);
        return true;
    }

    // Digits as a number; none gives nothing. Anything past the 32-bit range
    // is an error, so no count or total can overflow later.
    std::optional<std::int64_t> readNumber()
    {
        const qsizetype start = m_at;
        std::int64_t value = 0;
        while (!atEnd() && isDigit(peek())) {
            value = value * 10 + (peek().unicode() - u'0');
            ++m_at;
            if (value > largestTotal) {
                fail(start, QStringLiteral("the number is larger than %1").arg(largestTotal));
                return std::nullopt;
            }
        }
        if (m_at == start)
            return std::nullopt;
        return value;
    }

    static std::int64_t highestValue(const Term &term)
    {
        if (!term.isDice)
            return term.constant;
        const int dice = term.dice.count + (term.dice.exploding ? maxExplosionsPerTerm : 0);
        return std::int64_t(dice) * term.dice.sides;
    }

    qsizetype skipBlanks()
    {
        const qsizetype start = m_at;
        while (!atEnd() && isBlank(peek()))
            ++m_at;
        return m_at - start;
    }

    ExpressionError fail(qsizetype at, const QString &message)
    {
        m_error = ExpressionError{at, message};
        return *m_error;
    }
    bool failed(qsizetype at, const QString &message)
    {
        fail(at, message);
        return false;
    }

    bool atEnd() const { return m_at >= m_text.size(); }
    QChar peek() const { return m_text.at(m_at); }

    QStringView m_text;
    qsizetype m_at = 0;
    std::optional<ExpressionError> m_error;
};

QString selectNotation(DiceTerm::Select select)
{
    switch (select) {
    case DiceTerm::Select::all:
        return {};
    case DiceTerm::Select::keepHighest:
        return QStringLiteral("kh");
    case DiceTerm::Select::keepLowest:
        return QStringLiteral("kl");
    case DiceTerm::Select::dropHighest:
        return QStringLiteral("dh");
    case DiceTerm::Select::dropLowest:
        return QStringLiteral("dl");
    }
    return {};
}

} // namespace

QString DiceTerm::notation() const
{
    QString text = QString::number(count) + u'd' + (percentile ? QStringLiteral("%") : QString::number(sides));
    if (exploding)
        text += u'!';
    if (select != Select::all)
        text += selectNotation(select) + QString::number(selectCount);
    return text;
}

ParsedExpression parseRollExpression(QStringView text) { return Reader(text).read(); }

} // namespace vellmar::dice
