#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <variant>

// Roll expressions as people type them in chat: "2d20kh1+5", "4d6dl1",
// "3d6!", "d%", "2d6+1d4-1", "8d6 fire". Reading one is a pure function of
// the text, so it can be tested and fuzzed without anything else.
namespace vellmar::dice {

inline constexpr int maxDicePerTerm = 100;
inline constexpr int maxSidesPerDie = 1000;
// Exploding dice stop adding dice after this many extra ones in a term, so a
// roll always ends.
inline constexpr int maxExplosionsPerTerm = 100;
// Keeps the announced text well inside what a message can carry.
inline constexpr int maxTermsPerExpression = 20;
inline constexpr int maxLabelLength = 200;

struct DiceTerm
{
    // Which dice count towards the term once they are rolled.
    enum class Select { all, keepHighest, keepLowest, dropHighest, dropLowest };

    int count = 1;
    int sides = 6;
    bool percentile = false; // written "d%"
    bool exploding = false;  // a die showing its highest face adds another die
    Select select = Select::all;
    int selectCount = 0; // how many dice the keep or drop names

    // The term written the same way every time: "1d20", "4d6dl1", "3d6!".
    QString notation() const;
};

struct Term
{
    bool negative = false;
    bool isDice = false;
    DiceTerm dice;             // when isDice
    std::int32_t constant = 0; // otherwise
};

struct RollExpression
{
    QList<Term> terms;
    QString label; // the comment after the expression; may be empty
};

struct ExpressionError
{
    qsizetype position = 0; // index into the text, in UTF-16 units
    QString message;
};

using ParsedExpression = std::variant<RollExpression, ExpressionError>;

// Reads one expression: terms joined by "+" or "-" (the first may carry a
// sign), each a whole number or dice as [count]d(sides|%) followed by "!"
// and one of kh/kl/dh/dl with an optional count ("k" keeps the highest, "d"
// drops the lowest, the count defaults to 1). Whatever follows the last term
// after a blank is the label. The highest total any roll could reach fits a
// signed 32-bit number, or the expression is refused.
ParsedExpression parseRollExpression(QStringView text);

} // namespace vellmar::dice
