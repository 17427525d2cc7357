// libFuzzer target for the roll expression reader: any text must be read or
// refused with a position inside it, never crash; what is read stays within
// the limits, and rolling it gives a total that adds up and fits.
#include "dice/ChatRollCommand.h"
#include "dice/ExpressionRoll.h"
#include "dice/RollExpression.h"
#include "dice/UniformSource.h"

#include <cstddef>
#include <cstdint>
#include <limits>

using namespace vellmar::dice;

namespace {

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkRead(const RollExpression &expression)
{
    check(!expression.terms.isEmpty() && expression.terms.size() <= maxTermsPerExpression);
    check(expression.label.size() <= maxLabelLength);
    for (const Term &term : expression.terms) {
        if (!term.isDice) {
            check(term.constant >= 0);
            continue;
        }
        check(term.dice.count >= 1 && term.dice.count <= maxDicePerTerm);
        check(term.dice.sides >= 1 && term.dice.sides <= maxSidesPerDie);
        check(term.dice.selectCount >= 0 && term.dice.selectCount <= term.dice.count);
        // The written form reads back as the same term.
        const auto again = parseRollExpression(term.dice.notation());
        check(std::holds_alternative<RollExpression>(again));
        check(std::get<RollExpression>(again).terms.size() == 1);
        check(std::get<RollExpression>(again).terms.first().dice.notation() == term.dice.notation());
    }
}

void checkRoll(const RollExpression &expression, std::uint32_t seed)
{
    SeededUniformSource source(seed);
    const ExpressionResult result = rollExpression(expression, source);
    std::int64_t total = 0;
    for (const TermResult &term : result.terms) {
        std::int64_t kept = term.term.isDice ? 0 : term.term.constant;
        for (const DieResult &die : term.dice) {
            check(die.face >= 1 && die.face <= term.term.dice.sides);
            kept += die.dropped ? 0 : die.face;
        }
        if (term.term.isDice)
            check(term.dice.size() <= term.term.dice.count + maxExplosionsPerTerm);
        check(term.value == (term.term.negative ? -kept : kept));
        total += term.value;
    }
    check(total == result.total);
    check(expressionRollText(result).endsWith(QString::number(result.total)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 4096)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    const ParsedExpression parsed = parseRollExpression(text);
    if (const auto *error = std::get_if<ExpressionError>(&parsed)) {
        check(error->position >= 0 && error->position <= text.size());
        check(!error->message.isEmpty());
    } else {
        const auto &expression = std::get<RollExpression>(parsed);
        checkRead(expression);
        checkRoll(expression, static_cast<std::uint32_t>(size));
    }

    // The same text behind a command reads the same, its error shifted.
    const ReadRollCommand command = readRollCommand(QString(u"/r " + text));
    check(!std::holds_alternative<NotARollCommand>(command));
    if (const auto *error = std::get_if<ExpressionError>(&command)) {
        check(std::holds_alternative<ExpressionError>(parsed));
        check(error->position == std::get<ExpressionError>(parsed).position + 3);
    }
    return 0;
}
