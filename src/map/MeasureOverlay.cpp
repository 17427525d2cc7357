#include "MeasureOverlay.h"

#include "map/MapFont.h"
#include "map/ViewGeometry.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <cmath>

namespace vellmar::map {

namespace {

// Far-off points are brought near the view first: the rasteriser's
// fixed-point coordinates overflow long before 32-bit map positions do.
QPointF clampedView(const ViewGeometry &geometry, QPoint map)
{
    const double limit = 4.0 * (geometry.viewWidth + geometry.viewHeight) + 1000.0;
    return {std::clamp(geometry.viewX(map.x()), -limit, limit), std::clamp(geometry.viewY(map.y()), -limit, limit)};
}

} // namespace

QColor MeasureOverlay::colour() { return QColor(220, 0, 0); }

void MeasureOverlay::paint(QImage &target, const ViewGeometry &geometry) const
{
    const QPointF from = clampedView(geometry, m_from);
    const QPointF to = clampedView(geometry, m_to);
    QPainter painter(&target);
    painter.setPen(QPen(colour(), 2));
    painter.drawLine(from, to);

    const QFont font = mapFont();
    const QFontMetrics metrics(font);
    const QSize box(metrics.horizontalAdvance(m_label) + 6, metrics.height() + 2);
    // Beside the end point, on the side away from the line, kept inside the view.
    QPoint topLeft(qRound(to.x()) + (to.x() >= from.x() ? 6 : -6 - box.width()), qRound(to.y()) - box.height() / 2);
    topLeft.setX(std::clamp(topLeft.x(), 0, std::max(0, geometry.viewWidth - box.width())));
    topLeft.setY(std::clamp(topLeft.y(), 0, std::max(0, geometry.viewHeight - box.height())));
    const QRect frame(topLeft, box);
    painter.fillRect(frame, Qt::white);
    painter.setPen(colour());
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(frame, Qt::AlignCenter, m_label);
}

} // namespace vellmar::map
