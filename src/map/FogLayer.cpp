#include "FogLayer.h"

#include "map/ViewGeometry.h"
#include "map/fog/FogMask.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace vellmar::map {

namespace {

// dst * a / 255 per channel, rounded as a painter's source-over rounds.
inline QRgb byteMul(QRgb x, unsigned a)
{
    quint32 t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}

void shade(QRgb *line, int from, int to)
{
    constexpr QRgb colour = fog::FogMask::kMasterShade;
    constexpr unsigned keep = 255 - qAlpha(colour);
    for (int x = from; x < to; ++x)
        line[x] = colour + byteMul(line[x], keep);
}

bool writable(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

// Along one axis: where the view pixels of each cell from `first` to `last`
// begin, and where the last one ends. A view pixel belongs to the cell under
// its middle; `from` and `to` are the picture's rounded-out edges in the view,
// and the cells at the ends reach to them.
void cellEdges(std::vector<int> &edges, double origin, double cellPixels, int first, int last, int from, int to)
{
    edges.resize(static_cast<std::size_t>(last - first + 2));
    edges.front() = from;
    edges.back() = to;
    for (int c = first + 1; c <= last; ++c) {
        const double at = std::ceil(origin + c * cellPixels - 0.5);
        edges[static_cast<std::size_t>(c - first)] = static_cast<int>(std::clamp<double>(at, from, to));
    }
}

// The cell under the middle of view pixel `pixel`, kept within the mask.
int cellAt(int pixel, double origin, double cellPixels, int cells)
{
    const double at = std::floor((pixel + 0.5 - origin) / cellPixels);
    return static_cast<int>(std::clamp<double>(at, 0, cells - 1));
}

} // namespace

void FogLayer::follow(const fog::FogMask &mask)
{
    const QSize cells = mask.cellCount();
    if (&mask != m_mask || cells.width() != m_cellColumns || static_cast<int>(m_runs.size()) != cells.height()) {
        m_runs.assign(static_cast<std::size_t>(cells.height()), {});
        m_known.assign(static_cast<std::size_t>(cells.height()), 0);
        m_cellColumns = cells.width();
    } else if (mask.revision() != m_revision) {
        const QRect changed = mask.changedSince(m_revision) & QRect(QPoint(0, 0), cells);
        for (int row = changed.top(); row <= changed.bottom(); ++row)
            m_known[static_cast<std::size_t>(row)] = 0;
    }
    m_mask = &mask;
    m_revision = mask.revision();
}

const FogLayer::Runs &FogLayer::runsOf(const fog::FogMask &mask, int cellRow)
{
    Runs &runs = m_runs[static_cast<std::size_t>(cellRow)];
    if (m_known[static_cast<std::size_t>(cellRow)])
        return runs;
    ++m_rowsWorkedOut;
    runs.clear();
    const uchar *cells = mask.cells().constScanLine(cellRow);
    const int count = m_cellColumns;
    // Eight cells at a time where they are all alike: most of a mask is.
    const auto next = [&](int x, bool hidden) {
        const quint64 alike = hidden ? ~quint64{0} : 0;
        while (x < count) {
            if (x + 8 <= count) {
                quint64 eight;
                std::memcpy(&eight, cells + x, sizeof eight);
                if (eight == alike) {
                    x += 8;
                    continue;
                }
            }
            if ((cells[x] != 0) != hidden)
                return x;
            ++x;
        }
        return count;
    };
    for (int x = next(0, false); x < count;) {
        const int end = next(x, true);
        runs.emplace_back(x, end);
        x = next(end, false);
    }
    m_known[static_cast<std::size_t>(cellRow)] = 1;
    return runs;
}

void FogLayer::paint(QImage &target, const ViewGeometry &geometry, const fog::FogMask &mask, bool master)
{
    if (mask.isNull() || target.isNull())
        return;
    follow(mask);
    const QSize cells = mask.cellCount();
    const double cellPixels = mask.cellSize() * geometry.z;
    if (!(cellPixels > 0))
        return;
    const QPointF origin = geometry.pictureOrigin();
    const int viewWidth = std::min(geometry.viewWidth, target.width());
    const int viewHeight = std::min(geometry.viewHeight, target.height());
    const auto clampedTo = [](double v, int limit) { return static_cast<int>(std::clamp<double>(v, 0, limit)); };
    const int left = clampedTo(std::floor(origin.x()), viewWidth);
    const int right = clampedTo(std::ceil(origin.x() + geometry.pictureWidth * geometry.z), viewWidth);
    const int top = clampedTo(std::floor(origin.y()), viewHeight);
    const int bottom = clampedTo(std::ceil(origin.y() + geometry.pictureHeight * geometry.z), viewHeight);
    if (left >= right || top >= bottom)
        return;

    const int firstColumn = cellAt(left, origin.x(), cellPixels, cells.width());
    const int lastColumn = cellAt(right - 1, origin.x(), cellPixels, cells.width());
    cellEdges(m_columnEdges, origin.x(), cellPixels, firstColumn, lastColumn, left, right);
    const int firstRow = cellAt(top, origin.y(), cellPixels, cells.height());
    const int lastRow = cellAt(bottom - 1, origin.y(), cellPixels, cells.height());
    const auto rowEdge = [&](int row) {
        if (row <= firstRow)
            return top;
        if (row > lastRow)
            return bottom;
        return static_cast<int>(std::clamp<double>(std::ceil(origin.y() + row * cellPixels - 0.5), top, bottom));
    };

    const bool raw = writable(target.format());
    uchar *const bits = raw ? target.bits() : nullptr;
    const qsizetype stride = target.bytesPerLine();
    std::optional<QPainter> painter;
    const QColor colour =
        master ? QColor(0, 0, 0, qAlpha(fog::FogMask::kMasterShade)) : QColor::fromRgb(fog::FogMask::kPlayerFog);
    for (int row = firstRow; row <= lastRow; ++row) {
        const int from = rowEdge(row);
        const int to = rowEdge(row + 1);
        if (from >= to)
            continue; // a cell smaller than a view pixel that no pixel's middle falls in
        for (const auto &[first, end] : runsOf(mask, row)) {
            const int a = std::max(first, firstColumn);
            const int b = std::min(end, lastColumn + 1);
            if (a >= b)
                continue;
            const int x0 = m_columnEdges[static_cast<std::size_t>(a - firstColumn)];
            const int x1 = m_columnEdges[static_cast<std::size_t>(b - firstColumn)];
            if (x0 >= x1)
                continue;
            if (!raw) {
                if (!painter)
                    painter.emplace(&target);
                painter->fillRect(QRect(x0, from, x1 - x0, to - from), colour);
                continue;
            }
            for (int y = from; y < to; ++y) {
                auto *line = reinterpret_cast<QRgb *>(bits + y * stride);
                if (master)
                    shade(line, x0, x1);
                else
                    std::fill(line + x0, line + x1, fog::FogMask::kPlayerFog);
            }
        }
    }
}

} // namespace vellmar::map
