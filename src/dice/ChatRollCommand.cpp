#include "ChatRollCommand.h"

#include <array>
#include <utility>

namespace vellmar::dice {

namespace {

constexpr std::array<std::pair<QStringView, RollMode>, 6> commands{{
    {u"/roll", RollMode::everyone},
    {u"/r", RollMode::everyone},
    {u"/publicroll", RollMode::publicEvenMine},
    {u"/gmroll", RollMode::master},
    {u"/gr", RollMode::master},
    {u"/selfroll", RollMode::self},
}};

} // namespace

ReadRollCommand readRollCommand(QStringView line)
{
    for (const auto &[word, mode] : commands) {
        if (!line.startsWith(word, Qt::CaseInsensitive))
            continue;
        const qsizetype after = word.size();
        // "/rolling" is chat; "/roll" alone is a roll with nothing to roll.
        if (after < line.size() && line.at(after) != u' ' && line.at(after) != u'\t')
            continue;
        auto parsed = parseRollExpression(line.mid(after));
        if (auto *error = std::get_if<ExpressionError>(&parsed)) {
            error->position += after;
            return *error;
        }
        return RollCommand{mode, std::get<RollExpression>(std::move(parsed))};
    }
    return NotARollCommand{};
}

QString rollErrorLine(const ExpressionError &error)
{
    return u"Cannot roll: " + error.message + u" (at character " + QString::number(error.position + 1) + u')';
}

} // namespace vellmar::dice
