#include "ViewGeometry.h"

#include "core/Numbers.h"

#include <cmath>

namespace vellmar::map {

namespace {

// Half of a pixel count is always a whole number or a half, well inside 32 bits.
int halfRounded(int extent) { return core::roundToInt32(extent / 2.0).value_or(0); }

} // namespace

std::optional<ScrollRange> scrollRangeFor(int pictureExtent)
{
    const auto minimum = core::roundToInt16(-pictureExtent / 2.0);
    const auto maximum = core::roundToInt16(pictureExtent / 2.0);
    if (!minimum || !maximum)
        return std::nullopt;
    ScrollRange range;
    range.minimum = *minimum;
    range.maximum = *maximum;
    return range;
}

double zoomFactor(int step, int minimum, int maximum)
{
    return std::pow(1.5, step - (static_cast<double>(minimum) + maximum) / 2.0);
}

int ViewGeometry::cx() const { return halfRounded(viewWidth); }
int ViewGeometry::cy() const { return halfRounded(viewHeight); }
int ViewGeometry::iw() const { return halfRounded(pictureWidth); }
int ViewGeometry::ih() const { return halfRounded(pictureHeight); }

// The whole-number difference is formed first, in 64 bits so that no record
// position can overflow it, and only then scaled.
double ViewGeometry::viewX(std::int32_t mapX) const
{
    return cx() + static_cast<double>(std::int64_t{mapX} - hs - iw()) * z;
}

double ViewGeometry::viewY(std::int32_t mapY) const
{
    return cy() + static_cast<double>(std::int64_t{mapY} - vs - ih()) * z;
}

std::optional<QPoint> ViewGeometry::viewPixel(std::int32_t mapX, std::int32_t mapY) const
{
    const auto x = core::roundToInt32(viewX(mapX));
    const auto y = core::roundToInt32(viewY(mapY));
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

QPointF ViewGeometry::pictureOrigin() const
{
    return {cx() - static_cast<double>(hs + iw()) * z, cy() - static_cast<double>(vs + ih()) * z};
}

QPointF ViewGeometry::mapPoint(QPointF view) const
{
    return {(view.x() - viewWidth / 2.0) / z + pictureWidth / 2.0 + hs,
            (view.y() - viewHeight / 2.0) / z + pictureHeight / 2.0 + vs};
}

std::optional<QPoint> ViewGeometry::mapPixel(QPointF view) const
{
    const QPointF point = mapPoint(view);
    const auto x = core::roundToInt32(point.x());
    const auto y = core::roundToInt32(point.y());
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

} // namespace vellmar::map
