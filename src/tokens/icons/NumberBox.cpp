#include "NumberBox.h"

#include "core/Numbers.h"
#include "core/Text.h"

namespace vellmar::tokens {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Whether the shared number reading finds a number at the start of the text
// at all, rather than falling back to 0.
bool beginsWithNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    if (i < text.size() && text[i] == u'.')
        ++i;
    return i < text.size() && isDigit(text[i]);
}

QString problem(const NumberBox &box, const QString &what)
{
    return QStringLiteral("%1 %2: enter a whole number from %3 to %4.")
        .arg(box.caption, what)
        .arg(box.low)
        .arg(box.high);
}

} // namespace

BoxReading readNumberBox(const NumberBox &box, QStringView text)
{
    if (core::trimSpaces(text).isEmpty())
        return {std::nullopt, problem(box, QStringLiteral("is empty"))};
    if (!beginsWithNumber(text))
        return {std::nullopt, problem(box, QStringLiteral("is not a number"))};
    const std::optional<std::int32_t> rounded = core::roundToInt32(core::leadingNumber(text));
    if (!rounded || *rounded < box.low || *rounded > box.high)
        return {std::nullopt, problem(box, QStringLiteral("is out of range"))};
    return {rounded, QString()};
}

} // namespace vellmar::tokens
