#include "GridMeasure.h"

#include <cmath>
#include <cstdint>

namespace vellmar::map {

double GridMeasure::pixels(QPoint from, QPoint to)
{
    const double dx = static_cast<double>(std::int64_t{to.x()} - from.x());
    const double dy = static_cast<double>(std::int64_t{to.y()} - from.y());
    return std::hypot(dx, dy);
}

std::optional<double> GridMeasure::cells(QPoint from, QPoint to) const
{
    const double cell = m_map10Size / 2.0;
    if (!(cell > 0.0) || !std::isfinite(cell))
        return std::nullopt;
    return pixels(from, to) / cell;
}

QString GridMeasure::label(QPoint from, QPoint to) const
{
    const auto counted = cells(from, to);
    if (!counted)
        return QString::number(std::llround(pixels(from, to))) + u" px";
    // One decimal: half cells matter at the table, finer parts do not.
    const QString number = QString::number(*counted, 'f', 1);
    return number == u"1.0" ? QStringLiteral("1 cell") : number + u" cells";
}

} // namespace vellmar::map
