#include "TownPainter.h"

#include "Materials.h"
#include "Props.h"
#include "Rng.h"
#include "Rows.h"
#include "TownPlan.h"
#include "Walls.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace vellmar::samplegen {

namespace {

using Ground = TownPlan::Ground;
using Building = TownPlan::Building;

// Tall things cast a shadow this far towards the lower right.
constexpr double kShadowX = 14.0;
constexpr double kShadowY = 16.0;

const Rgb kRoofColours[] = {{164, 78, 52}, {86, 92, 104}, {176, 146, 84}, {122, 90, 62}};

bool isTall(const TownPlan &plan, int c, int r)
{
    const Ground g = plan.ground(c, r);
    if (g == Ground::Wall || g == Ground::Tower)
        return true;
    const int b = plan.buildingAt(c, r);
    return b >= 0 && plan.buildings()[static_cast<std::size_t>(b)].roofed;
}

Rgb masonry(double x, double y, const Materials &mat, double tone)
{
    const double rowH = 12.0;
    const int row = static_cast<int>(std::floor(y / rowH));
    const double shift = (row & 1) ? 12.0 : 0.0;
    const double bx = std::fmod(x + shift + 24000.0, 24.0);
    const double by = y - row * rowH;
    const int block = static_cast<int>(std::floor((x + shift) / 24.0));
    Rgb c = Rgb{140, 134, 124} * (tone * (0.82 + 0.3 * hashUnit(block, row, 5u)));
    if (bx < 1.5 || by < 1.5)
        c = Rgb{70, 66, 60} * tone;
    return c * (0.9 + 0.2 * mat.noise().at(x / 11.0, y / 11.0));
}

// Roof tiles (or thatch) seen from above, ridge along the longer side; the
// upper or left slope faces the light.
Rgb roof(double x, double y, const QRectF &r, int style, const Materials &mat)
{
    const bool wide = r.width() >= r.height();
    const double across = wide ? y - r.top() : x - r.left();
    const double span = wide ? r.height() : r.width();
    const double along = wide ? x - r.left() : y - r.top();
    const bool lit = across < span / 2;
    const double fromEave = lit ? across : span - across;
    Rgb c = kRoofColours[style];
    if (style == 2) {
        // Thatch: straw streaks running down the slope.
        const double streak = wide ? mat.noise().fbm(x / 3.0, y / 40.0, 3) : mat.noise().fbm(x / 40.0, y / 3.0, 3);
        c = c * (0.72 + 0.5 * streak);
    } else {
        const double rowH = style == 1 ? 8.0 : 9.0;
        const int row = static_cast<int>(fromEave / rowH);
        const double inRow = fromEave - row * rowH;
        const double shifted = along + ((row & 1) ? 6.0 : 0.0);
        const int tile = static_cast<int>(std::floor(shifted / 12.0));
        c = c * (0.85 + 0.25 * hashUnit(tile, row + (lit ? 0 : 1000), 9u));
        // Each course overlaps the one below it, leaving a shadow line.
        c = c * (0.78 + 0.22 * std::min(1.0, inRow / rowH * 1.6));
        if (std::fmod(shifted, 12.0) < 1.0)
            c = c * 0.72;
    }
    if (!lit)
        c = c * 0.72;
    if (std::abs(across - span / 2) < 3.0)
        c = c * 0.62; // ridge
    if (fromEave < 2.0)
        c = c * 0.45; // eave edge
    return c;
}

// Pyramid roof of a tower: four slopes, lit from the upper left.
Rgb towerRoof(double x, double y, const QRectF &r, const Materials &mat)
{
    const double dx = (x - r.center().x()) / r.width();
    const double dy = (y - r.center().y()) / r.height();
    double shade = std::abs(dx) > std::abs(dy) ? (dx < 0 ? 1.0 : 0.62) : (dy < 0 ? 0.88 : 0.55);
    const double edge = std::max(std::abs(dx), std::abs(dy));
    if (std::abs(std::abs(dx) - std::abs(dy)) < 0.012)
        shade *= 0.7; // hip lines
    if (edge > 0.47)
        shade *= 0.5;
    const double course = std::fmod(edge * r.width(), 8.0);
    return Rgb{78, 84, 98} * (shade * (course < 1.2 ? 0.75 : 1.0) * (0.9 + 0.2 * mat.noise().at(x / 6.0, y / 6.0)));
}

void paintGround(QImage &img, const MapGrid &g, const TownPlan &plan, const Materials &mat, std::uint32_t seed)
{
    const double cell = g.cell();
    std::vector<QRectF> buildingRects;
    for (const Building &b : plan.buildings())
        buildingRects.push_back(g.cellRect(b.cells.x(), b.cells.y(), b.cells.width(), b.cells.height()));
    std::vector<QRectF> towerRects;
    for (const QRect &t : plan.towers())
        towerRects.push_back(g.cellRect(t.x(), t.y(), t.width(), t.height()));
    const Rgb floorTints[] = {{150, 108, 66}, {128, 86, 50}, {160, 124, 80}, {0, 0, 0}};

    forEachRow(img, [&](int y, QRgb *line) {
        const double py = y + 0.5;
        const int r = g.rowAt(py);
        const double v = py - g.lineY(r);
        const int shadowRow = g.rowAt(py - kShadowY);
        for (int x = 0; x < img.width(); ++x) {
            const double px = x + 0.5;
            const int c = g.columnAt(px);
            const double u = px - g.lineX(c);
            const Ground ground = plan.ground(c, r);
            Rgb col;
            switch (ground) {
            case Ground::Field:
                col = mat.grass(x, y);
                break;
            case Ground::Road: {
                const double worn = smoothstep(0.62, 0.8, mat.noise().fbm(x / 25.0, y / 25.0, 3));
                col = worn > 0.0 ? mix(mat.dirt(x, y), mat.grass(x, y), worn) : mat.dirt(x, y);
                break;
            }
            case Ground::Street:
                col = mat.cobbles(x, y, 17.0);
                break;
            case Ground::Plaza:
                col = mat.flagstone(x, y, u, v, cell, hash2(c, r, seed)) * 1.08;
                break;
            case Ground::Yard: {
                const double bare = 0.8 * smoothstep(0.55, 0.7, mat.noise().fbm(x / 45.0 + 3.0, y / 45.0, 3));
                col = mat.grass(x, y) * 0.95;
                if (bare > 0.0)
                    col = mix(col, mat.dirt(x, y), bare);
                break;
            }
            case Ground::Wall:
                col = masonry(x, y, mat, 1.0);
                break;
            case Ground::Tower: {
                const auto t = std::find_if(towerRects.begin(), towerRects.end(),
                                            [&](const QRectF &tr) { return tr.contains(px, py); });
                col = t != towerRects.end() ? towerRoof(px, py, *t, mat) : masonry(x, y, mat, 0.8);
                break;
            }
            case Ground::Building: {
                const auto id = static_cast<std::size_t>(plan.buildingAt(c, r));
                const Building &b = plan.buildings()[id];
                const QRectF &br = buildingRects[id];
                if (b.roofed) {
                    col = roof(px, py, br, b.roofStyle, mat);
                    break;
                }
                const int use = static_cast<int>(b.use);
                col = b.use == TownPlan::Use::Smithy ? mat.flagstone(x, y, u, v, cell, hash2(c, r, seed + 3u)) * 0.9
                                                     : mat.planks(x, y, cell / 4.0, floorTints[use]);
                // Shade along the inside of the walls.
                double d = std::min({px - br.left(), br.right() - px, py - br.top(), br.bottom() - py});
                if (b.partitionColumn >= 0)
                    d = std::min(d, std::abs(px - g.lineX(b.partitionColumn)));
                if (b.partitionRow >= 0)
                    d = std::min(d, std::abs(py - g.lineY(b.partitionRow)));
                col = col * (1.0 - 0.5 * std::exp(-d / 10.0));
                break;
            }
            }
            if (!isTall(plan, c, r) && isTall(plan, g.columnAt(px - kShadowX), shadowRow))
                col = col * 0.6;
            line[x] = col.toQRgb();
        }
    });
}

void drawTownWall(QPainter &p, const MapGrid &g, const TownPlan &plan)
{
    std::vector<QLineF> edges;
    // Outline every edge between wall or tower and anything lower.
    auto high = [&](int c, int r) {
        const Ground x = plan.ground(c, r);
        return x == Ground::Wall || x == Ground::Tower;
    };
    for (int r = 0; r <= plan.rows(); ++r)
        for (int c = 0; c <= plan.columns(); ++c) {
            if (high(c - 1, r) != high(c, r))
                edges.push_back(g.westEdge(c, r));
            if (high(c, r - 1) != high(c, r))
                edges.push_back(g.northEdge(c, r));
        }
    p.save();
    p.setPen(QPen(QColor(34, 32, 30), 4.0, Qt::SolidLine, Qt::SquareCap));
    for (const QLineF &e : edges)
        p.drawLine(e);
    // Merlons along the outer face of the wall.
    const QRect w = plan.walls();
    const double s = g.cell();
    p.setPen(QPen(QColor(50, 48, 44), 1.0));
    p.setBrush(QColor(168, 162, 150));
    for (int c = w.left(); c <= w.right(); ++c) {
        for (int r : {w.top(), w.bottom()}) {
            if (plan.ground(c, r) != Ground::Wall)
                continue;
            const double y = r == w.top() ? g.lineY(r) + 3 : g.lineY(r + 1) - 3 - s * 0.25;
            for (int k = 0; k < 3; ++k)
                p.drawRect(QRectF(g.lineX(c) + k * s / 3 + 3, y, s / 3 - 6, s * 0.25));
        }
    }
    for (int r = w.top(); r <= w.bottom(); ++r) {
        for (int c : {w.left(), w.right()}) {
            if (plan.ground(c, r) != Ground::Wall)
                continue;
            const double x = c == w.left() ? g.lineX(c) + 3 : g.lineX(c + 1) - 3 - s * 0.25;
            for (int k = 0; k < 3; ++k)
                p.drawRect(QRectF(x, g.lineY(r) + k * s / 3 + 3, s * 0.25, s / 3 - 6));
        }
    }
    p.restore();
}

void furnish(QPainter &p, const MapGrid &g, const Building &b, Rng &rng)
{
    const double s = g.cell();
    const QRect c = b.cells;
    std::vector<QRect> taken;
    for (const Building::Door &d : b.doors) {
        // Keep the cells inside the door free.
        const QPoint in = d.vertical ? (d.swing > 0 ? d.cell - QPoint(1, 0) : d.cell)
                                     : (d.swing > 0 ? d.cell : d.cell - QPoint(0, 1));
        taken.emplace_back(in.x() - 1, in.y() - 1, 3, 3);
    }
    auto place = [&](int w, int h) -> std::optional<QRect> {
        for (int attempt = 0; attempt < 30; ++attempt) {
            const int x = rng.range(c.left(), c.right() - w + 1);
            const int y = rng.range(c.top(), c.bottom() - h + 1);
            const QRect r(x, y, w, h);
            if (!c.contains(r))
                continue;
            // Stay clear of the inner wall.
            if (b.partitionColumn > r.left() && b.partitionColumn <= r.right())
                continue;
            if (b.partitionRow > r.top() && b.partitionRow <= r.bottom())
                continue;
            if (std::any_of(taken.begin(), taken.end(), [&](const QRect &t) { return t.intersects(r); }))
                continue;
            taken.push_back(r);
            return r;
        }
        return std::nullopt;
    };
    auto inset = [&](const QRect &r, double k) {
        return g.cellRect(r.x(), r.y(), r.width(), r.height()).adjusted(s * k, s * k, -s * k, -s * k);
    };
    auto barrels = [&](int n) {
        for (int i = 0; i < n; ++i)
            if (auto r = place(1, 1))
                props::barrel(p, g.cellCentre(r->x(), r->y()), s * 0.34);
    };
    auto crates = [&](int n) {
        for (int i = 0; i < n; ++i)
            if (auto r = place(1, 1))
                props::crate(p, inset(*r, 0.12));
    };
    switch (b.use) {
    case TownPlan::Use::House:
        if (auto r = place(1, 2))
            props::bed(p, inset(*r, 0.12), QColor::fromHsv(rng.range(0, 359), 110, 140));
        if (auto r = place(2, 1))
            props::table(p, inset(*r, 0.22), true, rng);
        if (auto r = place(1, 1))
            props::chest(p, inset(*r, 0.2));
        barrels(1);
        break;
    case TownPlan::Use::Tavern:
        for (int i = 0; i < 4; ++i)
            if (auto r = place(2, 1))
                props::table(p, inset(*r, 0.24), true, rng);
        if (auto r = place(3, 1))
            props::table(p, inset(*r, 0.18), false, rng);
        barrels(3);
        break;
    case TownPlan::Use::Store:
        crates(6);
        barrels(5);
        break;
    case TownPlan::Use::Smithy:
        if (auto r = place(1, 1))
            props::campfire(p, g.cellCentre(r->x(), r->y()), s * 0.32, rng);
        if (auto r = place(1, 1)) {
            p.setPen(QPen(QColor(20, 20, 22), 1.5));
            p.setBrush(QColor(70, 72, 78));
            p.drawRect(inset(*r, 0.28));
        }
        barrels(2);
        crates(2);
        break;
    }
}

void drawInterior(QPainter &p, const MapGrid &g, const Building &b, Rng &rng)
{
    const QRect c = b.cells;
    const bool stone = b.use == TownPlan::Use::Smithy || b.use == TownPlan::Use::Store;
    const WallStyle style{g.cell() * 0.3, QColor(24, 18, 12), stone ? QColor(118, 114, 108) : QColor(112, 84, 56)};
    auto isDoor = [&](QPoint cell, bool vertical) {
        return std::any_of(b.doors.begin(), b.doors.end(),
                           [&](const Building::Door &d) { return d.cell == cell && d.vertical == vertical; });
    };
    std::vector<QLineF> walls;
    for (int x = c.left(); x <= c.right(); ++x)
        for (int y : {c.top(), c.bottom() + 1})
            if (!isDoor({x, y}, false))
                walls.push_back(g.northEdge(x, y));
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x : {c.left(), c.right() + 1})
            if (!isDoor({x, y}, true))
                walls.push_back(g.westEdge(x, y));
    // The inner wall leaves a doorway in its middle cell.
    QLineF innerDoor;
    if (b.partitionColumn >= 0) {
        const int gap = c.top() + c.height() / 2;
        for (int y = c.top(); y <= c.bottom(); ++y) {
            const QLineF edge = g.westEdge(b.partitionColumn, y);
            if (y == gap)
                innerDoor = edge;
            else
                walls.push_back(edge);
        }
    } else if (b.partitionRow >= 0) {
        const int gap = c.left() + c.width() / 2;
        for (int x = c.left(); x <= c.right(); ++x) {
            const QLineF edge = g.northEdge(x, b.partitionRow);
            if (x == gap)
                innerDoor = edge;
            else
                walls.push_back(edge);
        }
    }
    furnish(p, g, b, rng);
    drawWalls(p, walls, style);
    for (const Building::Door &d : b.doors)
        drawDoor(p, d.vertical ? g.westEdge(d.cell.x(), d.cell.y()) : g.northEdge(d.cell.x(), d.cell.y()), style,
                 rng.chance(0.3) ? DoorKind::Open : DoorKind::Closed, d.swing, rng);
    if (!innerDoor.isNull())
        drawDoor(p, innerDoor, style, rng.chance(0.5) ? DoorKind::Open : DoorKind::Arch, 1, rng);
}

void drawChimneys(QPainter &p, const MapGrid &g, const Building &b, Rng &rng)
{
    if (b.roofStyle == 2 || !rng.chance(0.6))
        return;
    const QRectF r = g.cellRect(b.cells.x(), b.cells.y(), b.cells.width(), b.cells.height());
    const QPointF at(rng.uniform(r.left() + 14, r.right() - 24), rng.uniform(r.top() + 14, r.bottom() - 24));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawRect(QRectF(at + QPointF(5, 6), QSizeF(14, 14)));
    p.setPen(QPen(QColor(40, 36, 34), 1.2));
    p.setBrush(QColor(126, 110, 96));
    p.drawRect(QRectF(at, QSizeF(14, 14)));
    p.setBrush(QColor(24, 20, 18));
    p.drawRect(QRectF(at + QPointF(3.5, 3.5), QSizeF(7, 7)));
}

void drawPlaza(QPainter &p, const MapGrid &g, const TownPlan &plan, Rng &rng)
{
    const QRect pl = plan.plaza();
    const double s = g.cell();
    const QPointF middle = g.point(pl.left() + pl.width() / 2.0, pl.top() + pl.height() / 2.0);
    props::fountain(p, middle, s * 2.0);
    for (QPointF corner : {g.point(pl.left() + 1.5, pl.top() + 1.5), g.point(pl.right() - 0.5, pl.top() + 1.5),
                           g.point(pl.left() + 1.5, pl.bottom() - 0.5), g.point(pl.right() - 0.5, pl.bottom() - 0.5)})
        props::tree(p, corner, s * 1.1, rng);
    // Rows of market stalls with striped awnings, leaving the main street
    // through the middle clear.
    const QColor awnings[] = {QColor(176, 40, 40), QColor(40, 90, 160), QColor(200, 160, 40), QColor(60, 130, 70)};
    int k = 0;
    const int centreColumn = pl.left() + pl.width() / 2;
    for (int x = pl.left() + 3; x + 2 <= pl.right() - 2; x += 4) {
        if (x + 3 >= centreColumn - 2 && x <= centreColumn + 2)
            continue;
        for (int y : {pl.top() + 1, pl.top() + 5, pl.bottom() - 5, pl.bottom() - 1}) {
            const QRectF stall = g.cellRect(x, y, 2, 1).adjusted(2, 3, -2, -3);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 0, 0, 70));
            p.drawRect(stall.translated(6, 7));
            const QColor a = awnings[k++ % 4];
            for (int i = 0; i < 8; ++i) {
                p.setBrush(i % 2 ? QColor(236, 228, 210) : a);
                p.drawRect(
                    QRectF(stall.left() + stall.width() * i / 8, stall.top(), stall.width() / 8, stall.height()));
            }
            p.setPen(QPen(a.darker(200), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawRect(stall);
            if (rng.chance(0.6))
                props::crate(p, g.cellRect(x + 2, y).adjusted(s * 0.2, s * 0.2, -s * 0.2, -s * 0.2));
        }
    }
}

void drawGreenery(QPainter &p, const MapGrid &g, const TownPlan &plan, QSize size, Rng &rng)
{
    const double s = g.cell();
    // Only where the ground is open: yards inside, fields outside.
    auto open = [&](QPointF at, double radius) {
        for (double dx : {-radius, radius})
            for (double dy : {-radius, radius}) {
                const Ground gr = plan.ground(g.columnAt(at.x() + dx * 0.7), g.rowAt(at.y() + dy * 0.7));
                if (gr != Ground::Yard && gr != Ground::Field)
                    return false;
            }
        return true;
    };
    for (const QRect &garden : plan.gardens()) {
        const QRectF area = g.cellRect(garden.x(), garden.y(), garden.width(), garden.height());
        if (rng.chance(0.25)) {
            const QPointF at(rng.uniform(area.left() + s, area.right() - s),
                             rng.uniform(area.top() + s, area.bottom() - s));
            if (open(at, s * 0.8))
                props::well(p, at, s * 0.5);
        }
        for (int i = 0; i < 4; ++i) {
            const QPointF at(rng.uniform(area.left(), area.right()), rng.uniform(area.top(), area.bottom()));
            const double radius = rng.uniform(0.7, 1.2) * s;
            if (open(at, radius * 0.8))
                rng.chance(0.6) ? props::tree(p, at, radius, rng) : props::bush(p, at, radius * 0.4, rng);
        }
    }
    for (int i = 0; i < 900; ++i) {
        const QPointF at(rng.uniform(0, size.width()), rng.uniform(0, size.height()));
        const double radius = rng.uniform(0.8, 1.6) * s;
        if (!open(at, radius) || plan.ground(g.columnAt(at.x()), g.rowAt(at.y())) != Ground::Field)
            continue;
        const double roll = rng.uniform();
        if (roll < 0.08)
            props::tree(p, at, radius, rng);
        else if (roll < 0.12)
            props::rock(p, at, radius * 0.3, rng);
        else if (roll < 0.2)
            props::bush(p, at, radius * 0.35, rng);
    }
}

} // namespace

QImage paintTown(QSize size, const MapGrid &grid, std::uint64_t seed)
{
    Rng rng(seed);
    const TownPlan plan(grid.columnsFor(size), grid.rowsFor(size), rng);
    QImage img(size, QImage::Format_RGB32);
    const Materials mat(static_cast<std::uint32_t>(seed));
    paintGround(img, grid, plan, mat, static_cast<std::uint32_t>(seed));

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawGreenery(p, grid, plan, size, rng);
    drawPlaza(p, grid, plan, rng);
    for (const Building &b : plan.buildings()) {
        if (b.roofed)
            drawChimneys(p, grid, b, rng);
        else
            drawInterior(p, grid, b, rng);
    }
    drawTownWall(p, grid, plan);
    p.end();
    return img;
}

} // namespace vellmar::samplegen
