#include "GridLayer.h"

#include "core/Numbers.h"
#include "map/ViewGeometry.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <vector>

namespace vellmar::map {

namespace {

constexpr QRgb black = 0xFF000000;

// The pixels of lines at first, first + spacing, ... up to and including
// `last`, each at its nearest whole pixel (halves to even), clipped to
// 0..last-1. Lines left of -1 cannot touch the view and are skipped without
// visiting them, and no loop runs longer than the view is wide.
std::vector<int> linePixels(double first, double spacing, int last)
{
    std::vector<int> pixels;
    if (!(spacing > 0.0) || !std::isfinite(first) || first > last)
        return pixels;
    if (spacing < 1.0) {
        // Closer than a pixel: every position from the first line on is a line.
        const int from = first < 0.0 ? 0 : core::roundToInt32(first).value_or(last);
        for (int p = from; p < last; ++p)
            pixels.push_back(p);
        return pixels;
    }
    const double skipped = first < -1.0 ? std::ceil((-1.0 - first) / spacing) : 0.0;
    for (double k = skipped;; k += 1.0) {
        const double position = first + k * spacing;
        if (position > last)
            break;
        const auto pixel = core::roundToInt32(position);
        if (pixel && *pixel >= 0 && *pixel < last && (pixels.empty() || pixels.back() != *pixel))
            pixels.push_back(*pixel);
    }
    return pixels;
}

bool writable(const QImage &target)
{
    return target.format() == QImage::Format_RGB32 || target.format() == QImage::Format_ARGB32
           || target.format() == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

void paintGrid(QImage &target, const ViewGeometry &geometry, double map10Size, std::int32_t offsetX,
               std::int32_t offsetY)
{
    const double z = geometry.z;
    const double spacing = map10Size * z / 2.0;
    const int sw = std::min(geometry.viewWidth, target.width());
    const int sh = std::min(geometry.viewHeight, target.height());
    // The grid's origin as a whole-number sum, formed in 64 bits, then scaled.
    const double x0 = geometry.cx() - static_cast<double>(std::int64_t{offsetX} + geometry.iw() + geometry.hs) * z;
    const double y0 = geometry.cy() - static_cast<double>(std::int64_t{offsetY} + geometry.ih() + geometry.vs) * z;
    const std::vector<int> columns = linePixels(x0, spacing, sw);
    const std::vector<int> rows = linePixels(y0, spacing, sh);
    if (columns.empty() && rows.empty())
        return;

    if (!writable(target)) {
        QPainter painter(&target);
        for (int x : columns)
            painter.fillRect(x, 0, 1, sh, Qt::black);
        for (int y : rows)
            painter.fillRect(0, y, sw, 1, Qt::black);
        return;
    }
    // A horizontal line is a whole row; the other rows get the vertical lines'
    // pixels. Single stores beat masking whole rows even when the lines are a
    // pixel or two apart: a masked row reads and writes every pixel.
    std::vector<char> lineRow(static_cast<std::size_t>(sh), 0);
    for (int y : rows)
        lineRow[static_cast<std::size_t>(y)] = 1;
    for (int y = 0; y < sh; ++y) {
        auto *line = reinterpret_cast<QRgb *>(target.scanLine(y));
        if (lineRow[static_cast<std::size_t>(y)]) {
            std::fill(line, line + sw, black);
        } else {
            for (int x : columns)
                line[x] = black;
        }
    }
}

} // namespace vellmar::map
