#include "FogMask.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

namespace vellmar::map::fog {

namespace {

constexpr uchar kHidden = 255;

// The first cell whose centre lies at or after `at` along an axis.
int firstCentreFrom(double at, int cell) { return int(std::ceil(at / cell - 0.5)); }

} // namespace

int FogMask::cellSizeFor(QSize picture)
{
    int cell = 2;
    while ((picture.width() + cell - 1) / cell > kMaxCells || (picture.height() + cell - 1) / cell > kMaxCells)
        cell *= 2;
    return cell;
}

FogMask::FogMask(QSize picture)
    : m_picture(std::clamp(picture.width(), 1, kMaxPictureSide), std::clamp(picture.height(), 1, kMaxPictureSide))
    , m_cell(cellSizeFor(m_picture))
    , m_cells((m_picture.width() + m_cell - 1) / m_cell, (m_picture.height() + m_cell - 1) / m_cell,
              QImage::Format_Alpha8)
{
    m_cells.fill(0);
    markDirty(m_cells.rect());
}

QRect FogMask::pictureRect(const QRect &cellRect) const
{
    return {cellRect.x() * m_cell, cellRect.y() * m_cell, cellRect.width() * m_cell, cellRect.height() * m_cell};
}

QRect FogMask::cellBounds(double left, double top, double right, double bottom) const
{
    const int x0 = std::max(0, firstCentreFrom(left, m_cell));
    const int y0 = std::max(0, firstCentreFrom(top, m_cell));
    const int x1 = std::min(m_cells.width() - 1, int(std::floor(right / m_cell - 0.5)));
    const int y1 = std::min(m_cells.height() - 1, int(std::floor(bottom / m_cell - 0.5)));
    return x1 < x0 || y1 < y0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

void FogMask::fill(const QRect &cellRect, bool hide)
{
    for (int y = cellRect.top(); y <= cellRect.bottom(); ++y)
        std::memset(m_cells.scanLine(y) + cellRect.left(), hide ? kHidden : 0, size_t(cellRect.width()));
}

void FogMask::markDirty(const QRect &cellRect)
{
    if (cellRect.isEmpty())
        return;
    static std::atomic<quint64> lastRevision{0};
    m_newest = (m_newest + 1) % kRememberedChanges;
    m_changes[size_t(m_newest)] = {m_revision, cellRect};
    m_changeCount = std::min(m_changeCount + 1, kRememberedChanges);
    m_revision = ++lastRevision;
}

QRect FogMask::changedSince(quint64 revision) const
{
    if (revision == m_revision)
        return {};
    QRect changed;
    for (int i = 0, at = m_newest; i < m_changeCount; ++i, at = (at + kRememberedChanges - 1) % kRememberedChanges) {
        const Change &change = m_changes[size_t(at)];
        changed |= change.cells;
        if (change.before == revision)
            return changed;
    }
    return m_cells.rect();
}

QRect FogMask::apply(const FogStep &step)
{
    if (isNull())
        return {};
    const bool hide = step.mode == FogMode::hide;
    QRect touched;
    switch (step.kind) {
    case FogKind::all:
        touched = m_cells.rect();
        fill(touched, hide);
        break;
    case FogKind::rect:
        touched = applyRect(step, hide);
        break;
    case FogKind::polygon:
        touched = applyPolygon(step, hide);
        break;
    case FogKind::brush:
        touched = applyBrush(step, hide);
        break;
    }
    markDirty(touched);
    return touched;
}

QRect FogMask::applyRect(const FogStep &step, bool hide)
{
    if (step.points.size() != 2)
        return {};
    const QPoint a = step.points[0], b = step.points[1];
    // Centres in [left, right) x [top, bottom): two rectangles that share an
    // edge never both take the cells along it.
    const int x0 = std::max(0, firstCentreFrom(std::min(a.x(), b.x()), m_cell));
    const int y0 = std::max(0, firstCentreFrom(std::min(a.y(), b.y()), m_cell));
    const int x1 = std::min(m_cells.width(), firstCentreFrom(std::max(a.x(), b.x()), m_cell)) - 1;
    const int y1 = std::min(m_cells.height(), firstCentreFrom(std::max(a.y(), b.y()), m_cell)) - 1;
    if (x1 < x0 || y1 < y0)
        return {};
    const QRect cells(QPoint(x0, y0), QPoint(x1, y1));
    fill(cells, hide);
    return cells;
}

QRect FogMask::applyPolygon(const FogStep &step, bool hide)
{
    const auto &pts = step.points;
    if (pts.size() < 3)
        return {};
    int minY = pts[0].y(), maxY = minY;
    for (const QPoint &p : pts) {
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    const int y0 = std::max(0, firstCentreFrom(minY, m_cell));
    const int y1 = std::min(m_cells.height() - 1, int(std::floor(double(maxY) / m_cell - 0.5)));
    QRect touched;
    struct Crossing
    {
        double x;
        int direction;
    };
    std::vector<Crossing> crossings;
    for (int cy = y0; cy <= y1; ++cy) {
        const double y = (cy + 0.5) * m_cell;
        crossings.clear();
        for (qsizetype i = 0; i < pts.size(); ++i) {
            const QPointF a = pts[i], b = pts[(i + 1) % pts.size()];
            if ((a.y() <= y) == (b.y() <= y))
                continue;
            crossings.push_back({a.x() + (y - a.y()) * (b.x() - a.x()) / (b.y() - a.y()), b.y() > a.y() ? 1 : -1});
        }
        std::sort(crossings.begin(), crossings.end(), [](const Crossing &l, const Crossing &r) { return l.x < r.x; });
        // Non-zero winding: a free-hand outline that crosses itself still
        // covers everything it loops around.
        int winding = 0;
        double start = 0;
        for (const Crossing &c : crossings) {
            const int before = winding;
            winding += c.direction;
            if (before == 0 && winding != 0)
                start = c.x;
            if (before == 0 || winding != 0)
                continue;
            const int x0 = std::max(0, firstCentreFrom(start, m_cell));
            const int x1 = std::min(m_cells.width(), firstCentreFrom(c.x, m_cell)) - 1;
            if (x1 < x0)
                continue;
            std::memset(m_cells.scanLine(cy) + x0, hide ? kHidden : 0, size_t(x1 - x0 + 1));
            touched |= QRect(x0, cy, x1 - x0 + 1, 1);
        }
    }
    return touched;
}

QRect FogMask::applyBrush(const FogStep &step, bool hide)
{
    const auto &pts = step.points;
    if (pts.isEmpty())
        return {};
    // At least the cell under each point, however small the brush.
    const double r = std::max(step.diameter / 2.0, 0.75 * m_cell);
    const double r2 = r * r;
    const uchar value = hide ? kHidden : 0;
    QRect touched;
    for (qsizetype i = 0; i < pts.size(); ++i) {
        const QPointF a = pts[i];
        const QPointF b = i + 1 < pts.size() ? QPointF(pts[i + 1]) : a;
        if (i + 1 == pts.size() && pts.size() > 1)
            break; // the last point ended the segment before
        const QRect box = cellBounds(std::min(a.x(), b.x()) - r, std::min(a.y(), b.y()) - r, std::max(a.x(), b.x()) + r,
                                     std::max(a.y(), b.y()) + r);
        if (box.isEmpty())
            continue;
        const QPointF d = b - a;
        const double length2 = QPointF::dotProduct(d, d);
        for (int cy = box.top(); cy <= box.bottom(); ++cy) {
            uchar *row = m_cells.scanLine(cy);
            const double py = (cy + 0.5) * m_cell;
            for (int cx = box.left(); cx <= box.right(); ++cx) {
                const QPointF p((cx + 0.5) * m_cell, py);
                double t = length2 > 0 ? QPointF::dotProduct(p - a, d) / length2 : 0;
                t = std::clamp(t, 0.0, 1.0);
                const QPointF near = p - (a + t * d);
                if (QPointF::dotProduct(near, near) <= r2)
                    row[cx] = value;
            }
        }
        touched |= box;
    }
    return touched;
}

bool FogMask::hides(QPointF picturePoint) const
{
    if (isNull())
        return false;
    const int cx = std::clamp(int(std::floor(picturePoint.x() / m_cell)), 0, m_cells.width() - 1);
    const int cy = std::clamp(int(std::floor(picturePoint.y() / m_cell)), 0, m_cells.height() - 1);
    return isHidden(cx, cy);
}

bool FogMask::hidesRect(const QRectF &pictureRect) const
{
    if (isNull())
        return false;
    const QRectF r = pictureRect.normalized();
    const auto cellOf = [this](double v, int last) { return std::clamp(int(std::floor(v / m_cell)), 0, last); };
    const int x0 = cellOf(r.left(), m_cells.width() - 1);
    const int y0 = cellOf(r.top(), m_cells.height() - 1);
    // A right or bottom edge exactly on a cell border does not reach the next cell.
    const int x1 = std::max(x0, cellOf(std::nextafter(r.right(), r.left()), m_cells.width() - 1));
    const int y1 = std::max(y0, cellOf(std::nextafter(r.bottom(), r.top()), m_cells.height() - 1));
    for (int y = y0; y <= y1; ++y) {
        const uchar *row = m_cells.constScanLine(y);
        if (std::any_of(row + x0, row + x1 + 1, [](uchar v) { return v == 0; }))
            return false;
    }
    return true;
}

qsizetype FogMask::hiddenCells() const
{
    qsizetype count = 0;
    for (int y = 0; y < m_cells.height(); ++y) {
        const uchar *row = m_cells.constScanLine(y);
        count += std::count(row, row + m_cells.width(), kHidden);
    }
    return count;
}

void FogMask::setCells(const QImage &cells)
{
    if (cells.size() != m_cells.size() || cells.format() != QImage::Format_Alpha8)
        return;
    m_cells = cells;
    markDirty(m_cells.rect());
}

QByteArray FogMask::runLengths() const
{
    QByteArray out;
    const auto put = [&out](quint32 run) {
        do {
            const auto low = uchar(run & 0x7f);
            run >>= 7;
            out.append(char(run ? low | 0x80 : low));
        } while (run);
    };
    uchar current = 0;
    quint32 run = 0;
    for (int y = 0; y < m_cells.height(); ++y) {
        const uchar *row = m_cells.constScanLine(y);
        for (int x = 0; x < m_cells.width(); ++x) {
            if (row[x] != current) {
                put(run);
                current = row[x];
                run = 0;
            }
            ++run;
        }
    }
    put(run);
    return out;
}

std::optional<FogMask> FogMask::fromRunLengths(QSize picture, QByteArrayView runs)
{
    if (picture.width() < 1 || picture.height() < 1 || picture.width() > kMaxPictureSide
        || picture.height() > kMaxPictureSide)
        return std::nullopt;
    FogMask mask(picture);
    const qint64 total = qint64(mask.m_cells.width()) * mask.m_cells.height();
    qint64 at = 0;
    qsizetype pos = 0;
    bool hidden = false;
    bool first = true;
    while (pos < runs.size()) {
        quint32 run = 0;
        int shift = 0;
        for (;;) {
            if (pos == runs.size() || shift >= 21) // 3 bytes hold any cell count
                return std::nullopt;
            const auto byte = uchar(runs[pos++]);
            run |= quint32(byte & 0x7f) << shift;
            shift += 7;
            if (!(byte & 0x80))
                break;
        }
        if ((run == 0 && !first) || at + run > total)
            return std::nullopt;
        for (qint64 end = at + run; hidden && at < end; ++at)
            mask.m_cells.scanLine(int(at / mask.m_cells.width()))[at % mask.m_cells.width()] = kHidden;
        if (!hidden)
            at += run;
        hidden = !hidden;
        first = false;
    }
    if (at != total)
        return std::nullopt;
    mask.markDirty(mask.m_cells.rect());
    return mask;
}

bool FogMask::operator==(const FogMask &other) const
{
    if (m_picture != other.m_picture || m_cells.size() != other.m_cells.size())
        return false;
    for (int y = 0; y < m_cells.height(); ++y) {
        if (std::memcmp(m_cells.constScanLine(y), other.m_cells.constScanLine(y), size_t(m_cells.width())) != 0)
            return false;
    }
    return true;
}

} // namespace vellmar::map::fog
