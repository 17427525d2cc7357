#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace vellmar::samplegen {

class Rng;

// Objects seen from above, drawn with the painter's antialiasing on. Sizes are
// in picture pixels; the painters size them from the grid cell.
namespace props {

void tree(QPainter &p, QPointF centre, double radius, Rng &rng);
void bush(QPainter &p, QPointF centre, double radius, Rng &rng);
void rock(QPainter &p, QPointF centre, double radius, Rng &rng);
void rubble(QPainter &p, QPointF centre, double radius, Rng &rng);
void pillar(QPainter &p, QPointF centre, double radius);
void barrel(QPainter &p, QPointF centre, double radius);
void crate(QPainter &p, const QRectF &box);
void table(QPainter &p, const QRectF &top, bool chairs, Rng &rng);
void bed(QPainter &p, const QRectF &frame, const QColor &blanket);
void chest(QPainter &p, const QRectF &box);
void rug(QPainter &p, const QRectF &area, const QColor &colour);
// Steps descending towards the right of `area` (or downward when !acrossX).
void stairs(QPainter &p, const QRectF &area, bool acrossX);
void well(QPainter &p, QPointF centre, double radius);
void fountain(QPainter &p, QPointF centre, double radius);
void campfire(QPainter &p, QPointF centre, double radius, Rng &rng);
void tent(QPainter &p, const QRectF &area, const QColor &canvas);

} // namespace props
} // namespace vellmar::samplegen
