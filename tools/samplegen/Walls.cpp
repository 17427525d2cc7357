#include "Walls.h"

#include "Rng.h"

#include <QPainter>
#include <QPolygonF>

#include <cmath>

namespace vellmar::samplegen {

void drawWalls(QPainter &p, const std::vector<QLineF> &segments, const WallStyle &style)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(style.outline, style.width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (const QLineF &s : segments)
        p.drawLine(s);
    p.setPen(QPen(style.core, style.width * 0.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (const QLineF &s : segments)
        p.drawLine(s);
    p.restore();
}

void drawDoor(QPainter &p, const QLineF &edge, const WallStyle &wall, DoorKind kind, int swing, Rng &rng)
{
    p.save();
    const double length = edge.length();
    const QPointF along = (edge.p2() - edge.p1()) / length;
    const QPointF across(-along.y(), along.x());
    const double jamb = wall.width * 0.45;

    // Jambs: square posts at each end of the gap.
    p.setPen(Qt::NoPen);
    p.setBrush(wall.outline);
    for (const QPointF &end : {edge.p1() + along * (jamb / 2), edge.p2() - along * (jamb / 2)})
        p.drawRect(QRectF(end - QPointF(wall.width / 2, wall.width / 2), QSizeF(wall.width, wall.width)));

    if (kind != DoorKind::Arch) {
        const double thickness = wall.width * 0.7;
        const double leafLength = length - 2 * jamb;
        const QPointF hinge = edge.p1() + along * jamb;
        QPointF dirLength = along;
        QPointF dirThick = across;
        if (kind == DoorKind::Open) {
            // Swung 90 degrees about the hinge, into the room.
            dirLength = across * swing;
            dirThick = along;
        }
        const QPointF a = hinge - dirThick * (thickness / 2);
        const QPolygonF leaf{a, a + dirLength * leafLength, a + dirLength * leafLength + dirThick * thickness,
                             a + dirThick * thickness};
        const int tone = rng.range(-12, 12);
        p.setPen(QPen(QColor(34, 20, 8), 1.5));
        p.setBrush(QColor(156 + tone, 104 + tone, 56 + tone / 2));
        p.drawPolygon(leaf);
        // Planks and iron bands.
        p.setPen(QPen(QColor(96, 60, 28), 1.0));
        p.drawLine(a + dirThick * (thickness / 2), a + dirLength * leafLength + dirThick * (thickness / 2));
        p.setPen(QPen(QColor(40, 40, 44), 2.0));
        for (double t : {0.2, 0.8})
            p.drawLine(a + dirLength * (leafLength * t), a + dirLength * (leafLength * t) + dirThick * thickness);
    }
    p.restore();
}

} // namespace vellmar::samplegen
