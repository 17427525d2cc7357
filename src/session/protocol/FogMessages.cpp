#include "FogMessages.h"

#include <QStringList>

namespace vellmar::session {

namespace {

const char *const kKindNames[] = {"all", "rect", "polygon", "brush"};
const char *const kModeNames[] = {"reveal", "hide"};

// A whole number written as an optional '-' and 1 to 9 decimal digits, from
// min to max; nothing else (no '+', blanks or leading zeros beyond "0").
std::optional<std::int32_t> number(QStringView text, std::int32_t min, std::int32_t max)
{
    const bool negative = text.startsWith(u'-');
    const QStringView digits = negative ? text.sliced(1) : text;
    if (digits.isEmpty() || digits.size() > 9 || (digits.size() > 1 && digits.front() == u'0'))
        return std::nullopt;
    std::int32_t value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (negative)
        value = -value;
    if (value < min || value > max || (negative && value == 0))
        return std::nullopt;
    return value;
}

template <std::size_t N>
std::optional<std::uint8_t> name(QStringView text, const char *const (&names)[N])
{
    for (std::size_t i = 0; i < N; ++i) {
        if (text == QLatin1StringView(names[i]))
            return std::uint8_t(i);
    }
    return std::nullopt;
}

QString pointsText(const QList<QPoint> &points)
{
    QString out;
    out.reserve(points.size() * 12);
    for (const QPoint &p : points) {
        if (!out.isEmpty())
            out += u' ';
        out += QString::number(p.x()) + u',' + QString::number(p.y());
    }
    return out;
}

std::optional<QList<QPoint>> parsePoints(QStringView text)
{
    QList<QPoint> points;
    if (text.isEmpty())
        return points;
    // Counting first keeps a long field from being split at all.
    if (text.count(u' ') >= kFogMaxPoints)
        return std::nullopt;
    for (QStringView pair : text.split(u' ')) {
        const qsizetype comma = pair.indexOf(u',');
        if (comma < 0)
            return std::nullopt;
        const auto x = number(pair.first(comma), -kFogCoordinateLimit, kFogCoordinateLimit);
        const auto y = number(pair.sliced(comma + 1), -kFogCoordinateLimit, kFogCoordinateLimit);
        if (!x || !y)
            return std::nullopt;
        points.append(QPoint(*x, *y));
    }
    return points;
}

} // namespace

std::optional<QString> fogStepProblem(const FogStep &step)
{
    if (std::uint8_t(step.kind) > std::uint8_t(FogKind::brush) || std::uint8_t(step.mode) > std::uint8_t(FogMode::hide))
        return QStringLiteral("unknown kind or mode");
    for (const QPoint &p : step.points) {
        if (p.x() < -kFogCoordinateLimit || p.x() > kFogCoordinateLimit || p.y() < -kFogCoordinateLimit
            || p.y() > kFogCoordinateLimit)
            return QStringLiteral("a point lies beyond %1").arg(kFogCoordinateLimit);
    }
    const auto count = step.points.size();
    switch (step.kind) {
    case FogKind::all:
        if (count != 0)
            return QStringLiteral("\"all\" takes no points");
        break;
    case FogKind::rect:
        if (count != 2)
            return QStringLiteral("a rectangle takes 2 points, not %1").arg(count);
        break;
    case FogKind::polygon:
        if (count < 3 || count > kFogMaxPoints)
            return QStringLiteral("a polygon takes 3 to %1 points, not %2").arg(kFogMaxPoints).arg(count);
        break;
    case FogKind::brush:
        if (count < 1 || count > kFogMaxPoints)
            return QStringLiteral("a brush stroke takes 1 to %1 points, not %2").arg(kFogMaxPoints).arg(count);
        if (step.diameter < 1 || step.diameter > kFogMaxDiameter)
            return QStringLiteral("brush diameter is not 1 to %1").arg(kFogMaxDiameter);
        return std::nullopt;
    }
    if (step.diameter != 0)
        return QStringLiteral("only a brush has a diameter");
    return std::nullopt;
}

QString formatPayload(const FogStepMessage &p)
{
    return QString::number(p.index) + u';' + QLatin1StringView(kKindNames[std::uint8_t(p.step.kind)]) + u';'
           + QLatin1StringView(kModeNames[std::uint8_t(p.step.mode)]) + u';' + QString::number(p.step.diameter) + u';'
           + pointsText(p.step.points);
}

QString formatPayload(const FogMove &p) { return QString::number(p.position); }

QString formatPayload(const FogStatePart &p)
{
    return QString::number(p.serial) + u';' + QString::number(p.part) + u';' + QString::number(p.parts) + u';'
           + QString::fromLatin1(p.data.toBase64());
}

Parsed<FogStepMessage> parseFogStep(const QString &payload)
{
    // The longest valid step is far below this; anything longer is not split.
    if (payload.size() > 64 + kFogMaxPoints * 16)
        return QStringLiteral("fog-step is %1 characters long").arg(payload.size());
    const auto fields = QStringView(payload).split(u';');
    if (fields.size() != 5)
        return QStringLiteral("fog-step has %1 fields, expected 5").arg(fields.size());
    FogStepMessage m;
    const auto index = number(fields[0], 0, kFogMaxIndex);
    const auto kind = name(fields[1], kKindNames);
    const auto mode = name(fields[2], kModeNames);
    const auto diameter = number(fields[3], 0, kFogMaxDiameter);
    auto points = parsePoints(fields[4]);
    if (!index || !kind || !mode || !diameter)
        return QStringLiteral("fog-step has a bad index, kind, mode or diameter: \"%1\"").arg(payload.left(60));
    if (!points)
        return QStringLiteral("fog-step points are not up to %1 pairs \"x,y\" in range").arg(kFogMaxPoints);
    m.index = *index;
    m.step.kind = FogKind(*kind);
    m.step.mode = FogMode(*mode);
    m.step.diameter = *diameter;
    m.step.points = std::move(*points);
    if (const auto problem = fogStepProblem(m.step))
        return QStringLiteral("fog-step: ") + *problem;
    return m;
}

Parsed<FogMove> parseFogMove(const QString &payload)
{
    const auto position = number(payload, 0, kFogMaxIndex);
    if (!position)
        return QStringLiteral("fog-move position is not a number from 0 to %1").arg(kFogMaxIndex);
    return FogMove{*position};
}

Parsed<FogStatePart> parseFogStatePart(const QString &payload)
{
    const auto fields = QStringView(payload).split(u';');
    if (fields.size() != 4)
        return QStringLiteral("fog-state has %1 fields, expected 4").arg(fields.size());
    const auto serial = number(fields[0], 1, kFogMaxIndex);
    const auto part = number(fields[1], 0, kFogMaxStateParts - 1);
    const auto parts = number(fields[2], 1, kFogMaxStateParts);
    if (!serial || !part || !parts || *part >= *parts)
        return QStringLiteral("fog-state has a bad serial or part number");
    auto decoded = QByteArray::fromBase64Encoding(fields[3].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty() || decoded.decoded.size() > kFogStatePartBytes)
        return QStringLiteral("fog-state data is not base64 of 1 to %1 bytes").arg(kFogStatePartBytes);
    return FogStatePart{*serial, *part, *parts, std::move(decoded.decoded)};
}

QList<FogStatePart> splitFogState(const QByteArray &bytes, std::int32_t serial)
{
    QList<FogStatePart> parts;
    const auto count = std::int32_t((bytes.size() + kFogStatePartBytes - 1) / kFogStatePartBytes);
    for (std::int32_t i = 0; i < count; ++i)
        parts.append({serial, i, count, bytes.mid(qsizetype(i) * kFogStatePartBytes, kFogStatePartBytes)});
    return parts;
}

} // namespace vellmar::session
