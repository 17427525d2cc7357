#include "GridLayer.h"

#include "core/Numbers.h"
#include "map/ViewGeometry.h"

#include <QPainter>

#include <cmath>

namespace vellmar::map {

namespace {

// Lines at first, first + spacing, ... up to and including `last`, each at its
// nearest whole pixel (halves to even); `drawAt` paints one line. Lines left
// of -1 cannot touch the view and are skipped without visiting them, and a
// spacing below one pixel covers every position, so no loop runs longer than
// the view is wide.
template <typename DrawAt, typename DrawFrom>
void lineRun(double first, double spacing, int last, DrawAt &&drawAt, DrawFrom &&drawFrom)
{
    if (!(spacing > 0.0) || !std::isfinite(first) || first > last)
        return;
    if (spacing < 1.0) {
        drawFrom(first < 0.0 ? 0 : core::roundToInt32(first).value_or(last));
        return;
    }
    const double skipped = first < -1.0 ? std::ceil((-1.0 - first) / spacing) : 0.0;
    for (double k = skipped;; k += 1.0) {
        const double position = first + k * spacing;
        if (position > last)
            break;
        if (const auto pixel = core::roundToInt32(position))
            drawAt(*pixel);
    }
}

} // namespace

void paintGrid(QPainter &painter, const ViewGeometry &geometry, double map10Size, std::int32_t offsetX,
               std::int32_t offsetY)
{
    const double z = geometry.z;
    const double spacing = map10Size * z / 2.0;
    const int sw = geometry.viewWidth;
    const int sh = geometry.viewHeight;
    // The grid's origin as a whole-number sum, formed in 64 bits, then scaled.
    const double x0 = geometry.cx() - static_cast<double>(std::int64_t{offsetX} + geometry.iw() + geometry.hs) * z;
    const double y0 = geometry.cy() - static_cast<double>(std::int64_t{offsetY} + geometry.ih() + geometry.vs) * z;

    // A line from (x, 0) to (x, sh) covers column x of every row; filling is
    // the same pixels, faster.
    lineRun(
        x0, spacing, sw, [&](int x) { painter.fillRect(x, 0, 1, sh, Qt::black); },
        [&](int from) { painter.fillRect(from, 0, sw - from + 1, sh, Qt::black); });
    lineRun(
        y0, spacing, sh, [&](int y) { painter.fillRect(0, y, sw, 1, Qt::black); },
        [&](int from) { painter.fillRect(0, from, sw, sh - from + 1, Qt::black); });
}

} // namespace vellmar::map
