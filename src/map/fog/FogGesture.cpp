#include "FogGesture.h"

#include "map/ViewGeometry.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace vellmar::map::fog {

std::optional<FogStep> FogGesture::press(FogKind kind, FogMode mode, QPoint at, double brushDiameter)
{
    m_held = true;
    m_kind = kind;
    m_mode = mode;
    m_diameter = int(std::clamp(std::lround(brushDiameter), 1L, long(session::kFogMaxDiameter)));
    m_path = {at};
    if (kind == FogKind::rect)
        m_path.append(at);
    if (kind == FogKind::brush)
        return brushStep(m_path);
    return std::nullopt;
}

std::optional<FogStep> FogGesture::move(QPoint at)
{
    if (!m_held)
        return std::nullopt;
    switch (m_kind) {
    case FogKind::rect:
        m_path.back() = at;
        return std::nullopt;
    case FogKind::polygon:
        if (m_path.back() != at)
            m_path.append(at);
        return std::nullopt;
    case FogKind::brush: {
        const QPoint from = m_path.back();
        if (from == at)
            return std::nullopt;
        m_path.append(at);
        return brushStep({from, at});
    }
    case FogKind::all:
        break;
    }
    return std::nullopt;
}

std::optional<FogStep> FogGesture::release(QPoint at)
{
    if (!m_held)
        return std::nullopt;
    move(at);
    m_held = false;
    switch (m_kind) {
    case FogKind::rect: {
        const QPoint a = m_path.front(), b = m_path.back();
        if (a.x() == b.x() || a.y() == b.y())
            return std::nullopt;
        return rectangle(QRectF(QPointF(a), QPointF(b)), m_mode);
    }
    case FogKind::polygon: {
        QList<QPointF> outline;
        for (const QPoint &p : std::as_const(m_path))
            outline.append(p);
        FogStep step = polygon(outline, m_mode);
        if (step.points.size() < 3)
            return std::nullopt;
        return step;
    }
    case FogKind::brush:
        // Closer points than a quarter of the brush add nothing it shows.
        return brushStep(thinStroke(m_path, m_diameter / 4.0, session::kFogMaxPoints));
    case FogKind::all:
        break;
    }
    return std::nullopt;
}

FogStep FogGesture::brushStep(const QList<QPoint> &points) const
{
    const auto clamp = [](int v) { return std::clamp(v, -session::kFogCoordinateLimit, session::kFogCoordinateLimit); };
    FogStep step{FogKind::brush, m_mode, m_diameter, {}};
    for (const QPoint &p : points)
        step.points.append(QPoint(clamp(p.x()), clamp(p.y())));
    return step;
}

QList<QPoint> thinStroke(const QList<QPoint> &points, double spacing, int maxPoints)
{
    if (points.size() <= 2)
        return points;
    QList<QPoint> kept{points.front()};
    const double spacing2 = spacing * spacing;
    for (qsizetype i = 1; i + 1 < points.size(); ++i) {
        const QPointF d = points[i] - kept.back();
        if (QPointF::dotProduct(d, d) >= spacing2)
            kept.append(points[i]);
    }
    kept.append(points.back());
    if (kept.size() <= maxPoints)
        return kept;
    QList<QPoint> even;
    const qsizetype n = kept.size();
    for (qsizetype i = 0; i < maxPoints; ++i)
        even.append(kept[i * (n - 1) / (maxPoints - 1)]);
    return even;
}

void FogOutline::paint(QImage &target, const ViewGeometry &geometry) const
{
    if (m_path.isEmpty())
        return;
    // Far-off points are brought near the view: the rasteriser's fixed-point
    // coordinates overflow long before map positions do.
    const double limit = 4.0 * (geometry.viewWidth + geometry.viewHeight) + 1000.0;
    const auto view = [&](QPoint p) {
        return QPointF(std::clamp(geometry.viewX(p.x()), -limit, limit),
                       std::clamp(geometry.viewY(p.y()), -limit, limit));
    };
    QPainter painter(&target);
    painter.setRenderHint(QPainter::Antialiasing);
    // Light for revealing, dark for hiding; dashed so it reads on any picture.
    const QColor colour = m_mode == FogMode::reveal ? QColor(255, 230, 120) : QColor(40, 40, 60);
    QPen pen(colour, 2, Qt::DashLine);
    painter.setPen(pen);
    if (m_kind == FogKind::rect && m_path.size() == 2) {
        painter.drawRect(QRectF(view(m_path.front()), view(m_path.back())).normalized());
        return;
    }
    QPolygonF outline;
    for (const QPoint &p : m_path)
        outline << view(p);
    painter.drawPolygon(outline);
}

} // namespace vellmar::map::fog
