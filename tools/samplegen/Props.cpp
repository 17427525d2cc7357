#include "Props.h"

#include "Rng.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace vellmar::samplegen::props {

namespace {

constexpr double kTau = 2.0 * std::numbers::pi;

// Light comes from the upper left; shadows fall to the lower right.
const QPointF kShadowDir(0.22, 0.28);

void softShadow(QPainter &p, QPointF centre, double rx, double ry)
{
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor(0, 0, 0, 34));
        const double k = 1.0 - 0.12 * i;
        p.drawEllipse(centre, rx * k, ry * k);
    }
}

void shadedDisc(QPainter &p, QPointF centre, double radius, const QColor &light, const QColor &dark)
{
    QRadialGradient g(centre - QPointF(radius * 0.35, radius * 0.35), radius * 1.4);
    g.setColorAt(0.0, light);
    g.setColorAt(1.0, dark);
    p.setBrush(g);
    p.drawEllipse(centre, radius, radius);
}

QPolygonF blob(QPointF centre, double radius, int corners, double roughness, Rng &rng)
{
    QPolygonF poly;
    const double start = rng.uniform(0, kTau);
    for (int i = 0; i < corners; ++i) {
        const double a = start + kTau * i / corners + rng.uniform(-0.2, 0.2);
        const double r = radius * rng.uniform(1.0 - roughness, 1.0);
        poly << centre + QPointF(std::cos(a) * r, std::sin(a) * r);
    }
    return poly;
}

} // namespace

void tree(QPainter &p, QPointF centre, double radius, Rng &rng)
{
    p.save();
    softShadow(p, centre + kShadowDir * radius * 1.2, radius * 1.05, radius * 0.95);
    p.setPen(QPen(QColor(20, 38, 16, 200), radius * 0.05));
    const int hue = rng.range(-12, 12);
    const QColor dark(34 + hue / 2, 64 + hue, 28);
    const QColor mid(62 + hue / 2, 104 + hue, 42);
    const QColor light(112 + hue, 150 + hue, 66);
    // Outer lobes make the crown's ragged outline; inner ones, shifted towards
    // the light, give it volume.
    const int lobes = rng.range(7, 10);
    for (int i = 0; i < lobes; ++i) {
        const double a = kTau * i / lobes + rng.uniform(-0.25, 0.25);
        const QPointF c = centre + QPointF(std::cos(a), std::sin(a)) * radius * 0.55;
        shadedDisc(p, c, radius * rng.uniform(0.42, 0.55), mid, dark);
    }
    p.setPen(Qt::NoPen);
    shadedDisc(p, centre, radius * 0.62, mid, dark);
    for (int i = 0; i < 5; ++i) {
        const double a = rng.uniform(0, kTau);
        const QPointF c = centre + QPointF(-0.18, -0.2) * radius
                          + QPointF(std::cos(a), std::sin(a)) * radius * rng.uniform(0.1, 0.35);
        shadedDisc(p, c, radius * rng.uniform(0.18, 0.3), light, mid);
    }
    p.restore();
}

void bush(QPainter &p, QPointF centre, double radius, Rng &rng)
{
    p.save();
    softShadow(p, centre + kShadowDir * radius, radius, radius * 0.9);
    p.setPen(QPen(QColor(24, 44, 18), 1.0));
    for (int i = 0; i < 5; ++i) {
        const double a = rng.uniform(0, kTau);
        const QPointF c = centre + QPointF(std::cos(a), std::sin(a)) * radius * 0.4;
        shadedDisc(p, c, radius * rng.uniform(0.45, 0.6), QColor(96, 136, 56), QColor(40, 74, 30));
    }
    p.restore();
}

void rock(QPainter &p, QPointF centre, double radius, Rng &rng)
{
    p.save();
    softShadow(p, centre + kShadowDir * radius, radius * 0.95, radius * 0.8);
    const QPolygonF poly = blob(centre, radius, rng.range(6, 9), 0.35, rng);
    QLinearGradient g(centre - QPointF(radius, radius), centre + QPointF(radius, radius));
    const int tone = rng.range(-15, 15);
    g.setColorAt(0.0, QColor(168 + tone, 164 + tone, 154 + tone));
    g.setColorAt(1.0, QColor(78 + tone, 76 + tone, 72 + tone));
    p.setBrush(g);
    p.setPen(QPen(QColor(38, 36, 34), std::max(1.0, radius * 0.08)));
    p.drawPolygon(poly);
    // A ridge line or two suggests facets.
    p.setPen(QPen(QColor(60, 58, 54, 160), std::max(0.8, radius * 0.05)));
    for (int i = 0; i < 2; ++i)
        p.drawLine(centre + QPointF(rng.uniform(-0.3, 0.3), rng.uniform(-0.3, 0.3)) * radius,
                   poly.at(rng.range(0, static_cast<int>(poly.size()) - 1)));
    p.restore();
}

void rubble(QPainter &p, QPointF centre, double radius, Rng &rng)
{
    const int stones = rng.range(5, 9);
    for (int i = 0; i < stones; ++i) {
        const double a = rng.uniform(0, kTau);
        const double d = radius * std::sqrt(rng.uniform());
        rock(p, centre + QPointF(std::cos(a), std::sin(a)) * d, radius * rng.uniform(0.18, 0.35), rng);
    }
}

void pillar(QPainter &p, QPointF centre, double radius)
{
    p.save();
    softShadow(p, centre + kShadowDir * radius * 1.4, radius * 1.15, radius * 1.1);
    p.setPen(QPen(QColor(30, 28, 26), std::max(1.0, radius * 0.15)));
    shadedDisc(p, centre, radius * 1.15, QColor(150, 146, 138), QColor(70, 68, 64));
    p.setPen(QPen(QColor(60, 58, 54), std::max(0.8, radius * 0.08)));
    shadedDisc(p, centre, radius * 0.8, QColor(196, 192, 182), QColor(110, 106, 98));
    p.restore();
}

void barrel(QPainter &p, QPointF centre, double radius)
{
    p.save();
    softShadow(p, centre + kShadowDir * radius, radius, radius);
    p.setPen(QPen(QColor(40, 26, 14), std::max(1.0, radius * 0.12)));
    shadedDisc(p, centre, radius, QColor(168, 118, 70), QColor(92, 58, 30));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(60, 60, 62), std::max(1.0, radius * 0.1)));
    p.drawEllipse(centre, radius * 0.72, radius * 0.72);
    p.setPen(QPen(QColor(70, 44, 22), std::max(0.8, radius * 0.06)));
    p.drawLine(centre - QPointF(radius * 0.6, 0), centre + QPointF(radius * 0.6, 0));
    p.restore();
}

void crate(QPainter &p, const QRectF &box)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRect(box.translated(box.width() * 0.12, box.height() * 0.14));
    const double w = std::max(1.0, box.width() * 0.07);
    p.setPen(QPen(QColor(48, 30, 14), w));
    QLinearGradient g(box.topLeft(), box.bottomRight());
    g.setColorAt(0, QColor(176, 132, 80));
    g.setColorAt(1, QColor(122, 84, 46));
    p.setBrush(g);
    p.drawRect(box);
    const QRectF inner = box.adjusted(w * 2, w * 2, -w * 2, -w * 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(84, 54, 26), w));
    p.drawRect(inner);
    p.drawLine(inner.topLeft(), inner.bottomRight());
    p.drawLine(inner.topRight(), inner.bottomLeft());
    p.restore();
}

void table(QPainter &p, const QRectF &top, bool chairs, Rng &rng)
{
    p.save();
    const double unit = std::min(top.width(), top.height());
    if (chairs) {
        // Chairs along the long sides.
        const bool wide = top.width() >= top.height();
        const int count = std::max(1, static_cast<int>((wide ? top.width() : top.height()) / (unit * 0.9)));
        const double size = unit * 0.38;
        for (int i = 0; i < count; ++i) {
            const double t = (i + 0.5) / count;
            for (int side = 0; side < 2; ++side) {
                if (rng.chance(0.2))
                    continue;
                QPointF c = wide ? QPointF(top.left() + t * top.width(),
                                           side ? top.bottom() + size * 0.55 : top.top() - size * 0.55)
                                 : QPointF(side ? top.right() + size * 0.55 : top.left() - size * 0.55,
                                           top.top() + t * top.height());
                c += QPointF(rng.uniform(-1.5, 1.5), rng.uniform(-1.5, 1.5));
                p.setPen(QPen(QColor(50, 30, 16), 1.0));
                p.setBrush(QColor(120, 80, 44));
                p.drawRect(QRectF(c.x() - size / 2, c.y() - size / 2, size, size));
            }
        }
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRect(top.translated(unit * 0.1, unit * 0.12));
    QLinearGradient g(top.topLeft(), top.bottomRight());
    g.setColorAt(0, QColor(150, 100, 58));
    g.setColorAt(1, QColor(104, 66, 34));
    p.setBrush(g);
    p.setPen(QPen(QColor(44, 26, 12), std::max(1.0, unit * 0.06)));
    p.drawRect(top);
    p.setPen(QPen(QColor(90, 56, 28), 1.0));
    const bool wide = top.width() >= top.height();
    for (int i = 1; i < 4; ++i) {
        if (wide) {
            const double y = top.top() + top.height() * i / 4;
            p.drawLine(QPointF(top.left() + 2, y), QPointF(top.right() - 2, y));
        } else {
            const double x = top.left() + top.width() * i / 4;
            p.drawLine(QPointF(x, top.top() + 2), QPointF(x, top.bottom() - 2));
        }
    }
    // Something on the table: a candle or a mug.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(236, 226, 190));
    p.drawEllipse(top.center() + QPointF(rng.uniform(-0.2, 0.2), rng.uniform(-0.2, 0.2)) * unit, unit * 0.09,
                  unit * 0.09);
    p.restore();
}

void bed(QPainter &p, const QRectF &frame, const QColor &blanket)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRect(frame.translated(3, 3));
    p.setPen(QPen(QColor(48, 30, 14), 1.5));
    p.setBrush(QColor(110, 72, 38));
    p.drawRect(frame);
    const QRectF mattress = frame.adjusted(2, 2, -2, -2);
    p.setBrush(QColor(224, 216, 196));
    p.drawRect(mattress);
    const bool tall = frame.height() >= frame.width();
    QRectF cover =
        tall ? mattress.adjusted(0, mattress.height() * 0.3, 0, 0) : mattress.adjusted(mattress.width() * 0.3, 0, 0, 0);
    p.setBrush(blanket);
    p.drawRect(cover);
    p.setPen(QPen(blanket.darker(140), 1.0));
    if (tall)
        p.drawLine(cover.topLeft() + QPointF(0, 3), cover.topRight() + QPointF(0, 3));
    else
        p.drawLine(cover.topLeft() + QPointF(3, 0), cover.bottomLeft() + QPointF(3, 0));
    p.restore();
}

void chest(QPainter &p, const QRectF &box)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawRect(box.translated(2.5, 3));
    p.setPen(QPen(QColor(40, 22, 8), 1.5));
    p.setBrush(QColor(128, 74, 34));
    p.drawRect(box);
    p.setPen(QPen(QColor(196, 164, 60), std::max(1.5, box.height() * 0.12)));
    p.drawLine(QPointF(box.left() + box.width() * 0.25, box.top()),
               QPointF(box.left() + box.width() * 0.25, box.bottom()));
    p.drawLine(QPointF(box.left() + box.width() * 0.75, box.top()),
               QPointF(box.left() + box.width() * 0.75, box.bottom()));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 190, 80));
    p.drawEllipse(box.center(), box.height() * 0.12, box.height() * 0.12);
    p.restore();
}

void rug(QPainter &p, const QRectF &area, const QColor &colour)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(area);
    const double b = std::min(area.width(), area.height()) * 0.1;
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour.lighter(150), b * 0.6));
    p.drawRect(area.adjusted(b, b, -b, -b));
    p.setPen(QPen(colour.darker(160), b * 0.3));
    p.drawRect(area.adjusted(b * 2, b * 2, -b * 2, -b * 2));
    // A diamond in the middle.
    const QPointF c = area.center();
    const double rx = area.width() * 0.22;
    const double ry = area.height() * 0.22;
    p.setBrush(colour.lighter(130));
    p.drawPolygon(QPolygonF{c + QPointF(-rx, 0), c + QPointF(0, -ry), c + QPointF(rx, 0), c + QPointF(0, ry)});
    p.restore();
}

void stairs(QPainter &p, const QRectF &area, bool acrossX)
{
    p.save();
    const int steps = 8;
    p.setPen(QPen(QColor(36, 34, 32), 1.2));
    for (int i = 0; i < steps; ++i) {
        // Each lower step is darker.
        const int v = 170 - i * 14;
        p.setBrush(QColor(v, v - 4, v - 10));
        const double t0 = double(i) / steps;
        const double t1 = double(i + 1) / steps;
        const QRectF step =
            acrossX ? QRectF(area.left() + t0 * area.width(), area.top(), (t1 - t0) * area.width(), area.height())
                    : QRectF(area.left(), area.top() + t0 * area.height(), area.width(), (t1 - t0) * area.height());
        p.drawRect(step);
    }
    p.restore();
}

void well(QPainter &p, QPointF centre, double radius)
{
    p.save();
    softShadow(p, centre + kShadowDir * radius, radius * 1.1, radius * 1.1);
    p.setPen(QPen(QColor(40, 38, 36), 1.5));
    shadedDisc(p, centre, radius, QColor(170, 166, 156), QColor(96, 92, 86));
    p.setBrush(QColor(16, 26, 34));
    p.drawEllipse(centre, radius * 0.62, radius * 0.62);
    p.setPen(QPen(QColor(92, 60, 30), radius * 0.14));
    p.drawLine(centre - QPointF(radius * 1.1, 0), centre + QPointF(radius * 1.1, 0));
    p.restore();
}

void fountain(QPainter &p, QPointF centre, double radius)
{
    p.save();
    softShadow(p, centre + kShadowDir * radius * 0.3, radius * 1.05, radius * 1.05);
    p.setPen(QPen(QColor(50, 48, 46), 2.0));
    shadedDisc(p, centre, radius, QColor(196, 192, 182), QColor(120, 116, 108));
    QRadialGradient water(centre, radius * 0.85);
    water.setColorAt(0.0, QColor(120, 170, 190));
    water.setColorAt(1.0, QColor(50, 96, 122));
    p.setBrush(water);
    p.drawEllipse(centre, radius * 0.84, radius * 0.84);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 226, 232, 140), 1.5));
    for (double r = 0.3; r < 0.8; r += 0.16)
        p.drawEllipse(centre, radius * r, radius * r);
    p.setPen(QPen(QColor(50, 48, 46), 2.0));
    shadedDisc(p, centre, radius * 0.2, QColor(210, 206, 196), QColor(120, 116, 108));
    p.restore();
}

void campfire(QPainter &p, QPointF centre, double radius, Rng &rng)
{
    p.save();
    p.setPen(QPen(QColor(30, 28, 26), 1.0));
    for (int i = 0; i < 9; ++i) {
        const double a = kTau * i / 9;
        const QPointF c = centre + QPointF(std::cos(a), std::sin(a)) * radius;
        shadedDisc(p, c, radius * rng.uniform(0.22, 0.3), QColor(160, 156, 148), QColor(80, 78, 74));
    }
    QRadialGradient fire(centre, radius * 0.8);
    fire.setColorAt(0.0, QColor(255, 236, 140));
    fire.setColorAt(0.5, QColor(236, 120, 30));
    fire.setColorAt(1.0, QColor(60, 30, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(fire);
    p.drawEllipse(centre, radius * 0.75, radius * 0.75);
    p.restore();
}

void tent(QPainter &p, const QRectF &area, const QColor &canvas)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRect(area.translated(area.width() * 0.08, area.height() * 0.1));
    // Two slopes meeting at a ridge along the long side.
    const bool wide = area.width() >= area.height();
    QRectF lit = area;
    QRectF shade = area;
    if (wide) {
        lit.setBottom(area.center().y());
        shade.setTop(area.center().y());
    } else {
        lit.setRight(area.center().x());
        shade.setLeft(area.center().x());
    }
    p.setPen(QPen(canvas.darker(220), 1.5));
    p.setBrush(canvas);
    p.drawRect(lit);
    p.setBrush(canvas.darker(135));
    p.drawRect(shade);
    p.setPen(QPen(canvas.darker(250), 2.0));
    if (wide)
        p.drawLine(QPointF(area.left(), area.center().y()), QPointF(area.right(), area.center().y()));
    else
        p.drawLine(QPointF(area.center().x(), area.top()), QPointF(area.center().x(), area.bottom()));
    p.restore();
}

} // namespace vellmar::samplegen::props
