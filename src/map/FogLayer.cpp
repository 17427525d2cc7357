#include "FogLayer.h"

#include "map/ViewGeometry.h"
#include "map/fog/FogMask.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace vellmar::map {

namespace {

// A painter's source-over of the shade: each channel times (255 - alpha) / 255,
// rounded as the painter rounds, then the shade added. Eight or four pixels at
// a time where the processor allows: the master's view may shade a million
// pixels.
inline QRgb shaded(QRgb x)
{
    constexpr unsigned keep = 255 - qAlpha(fog::FogMask::kMasterShade);
    quint32 t = (x & 0xff00ff) * keep;
    t = ((t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * keep;
    x = (x + ((x >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return (x | t) + fog::FogMask::kMasterShade;
}

// The same sum with fewer steps per channel: round(c * keep / 255) is
// (c * keep + 128) * 257 / 65536, which equals the painter's rounding for
// this keep at every channel value.
#ifdef __SSE2__
constexpr short shadeKeep = 255 - qAlpha(fog::FogMask::kMasterShade);

[[gnu::target("avx2")]] int shadeEightAtATime(QRgb *line, int x, int to)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i keep = _mm256_set1_epi16(shadeKeep);
    const __m256i half = _mm256_set1_epi16(0x80);
    const __m256i by257 = _mm256_set1_epi16(257);
    const __m256i colour = _mm256_set1_epi32(static_cast<int>(fog::FogMask::kMasterShade));
    for (; x + 8 <= to; x += 8) {
        auto *at = reinterpret_cast<__m256i *>(line + x);
        const __m256i v = _mm256_loadu_si256(at);
        __m256i low = _mm256_mullo_epi16(_mm256_unpacklo_epi8(v, zero), keep);
        __m256i high = _mm256_mullo_epi16(_mm256_unpackhi_epi8(v, zero), keep);
        low = _mm256_mulhi_epu16(_mm256_add_epi16(low, half), by257);
        high = _mm256_mulhi_epu16(_mm256_add_epi16(high, half), by257);
        _mm256_storeu_si256(at, _mm256_add_epi32(_mm256_packus_epi16(low, high), colour));
    }
    return x;
}

int shadeFourAtATime(QRgb *line, int x, int to)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi16(shadeKeep);
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i by257 = _mm_set1_epi16(257);
    const __m128i colour = _mm_set1_epi32(static_cast<int>(fog::FogMask::kMasterShade));
    const auto times = [&](__m128i v) { return _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(v, keep), half), by257); };
    for (; x + 4 <= to; x += 4) {
        auto *at = reinterpret_cast<__m128i *>(line + x);
        const __m128i v = _mm_loadu_si128(at);
        const __m128i low = times(_mm_unpacklo_epi8(v, zero));
        const __m128i high = times(_mm_unpackhi_epi8(v, zero));
        _mm_storeu_si128(at, _mm_add_epi32(_mm_packus_epi16(low, high), colour));
    }
    return x;
}

const bool hasAvx2 = [] {
    __builtin_cpu_init(); // this runs before main: the checks need their table filled first
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

void shade(QRgb *line, int from, int to)
{
    int x = from;
#ifdef __SSE2__
    if (hasAvx2)
        x = shadeEightAtATime(line, x, to);
    x = shadeFourAtATime(line, x, to);
#endif
    for (; x < to; ++x)
        line[x] = shaded(line[x]);
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
