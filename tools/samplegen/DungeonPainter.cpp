#include "DungeonPainter.h"

#include "DungeonPlan.h"
#include "Materials.h"
#include "Props.h"
#include "Rng.h"
#include "Rows.h"
#include "Walls.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace vellmar::samplegen {

namespace {

enum class Theme { Hall, Barracks, Storage, Stairs, Treasury, Dining, Collapsed, Plain };

// Distance from a point inside cell (c, r) to the nearest wall of its area,
// for the shade that walls cast on the floor next to them.
double wallDistance(const DungeonPlan &plan, int c, int r, double u, double v, double cell)
{
    const int me = plan.area(c, r);
    double d = 1e9;
    if (plan.wallWest(c, r))
        d = std::min(d, u);
    if (plan.wallWest(c + 1, r))
        d = std::min(d, cell - u);
    if (plan.wallNorth(c, r))
        d = std::min(d, v);
    if (plan.wallNorth(c, r + 1))
        d = std::min(d, cell - v);
    // Outer corners, where a wall ends diagonally next to this cell.
    for (int dy : {-1, 1}) {
        for (int dx : {-1, 1}) {
            if (plan.area(c + dx, r + dy) != me) {
                const double cu = dx < 0 ? u : cell - u;
                const double cv = dy < 0 ? v : cell - v;
                d = std::min(d, std::hypot(cu, cv));
            }
        }
    }
    return d;
}

void paintGround(QImage &img, const MapGrid &grid, const DungeonPlan &plan, const std::vector<Theme> &themes,
                 const Materials &mat, std::uint32_t seed)
{
    const double cell = grid.cell();
    const Rgb woodTint{150, 104, 62};
    forEachRow(img, [&](int y, QRgb *line) {
        const int r = grid.rowAt(y + 0.5);
        const double v = y + 0.5 - grid.lineY(r);
        for (int x = 0; x < img.width(); ++x) {
            const int c = grid.columnAt(x + 0.5);
            const int area = plan.area(c, r);
            if (area == DungeonPlan::kRock) {
                line[x] = mat.bedrock(x, y).toQRgb();
                continue;
            }
            const double u = x + 0.5 - grid.lineX(c);
            const bool wooden = area > 0 && themes[static_cast<std::size_t>(area - 1)] == Theme::Barracks;
            Rgb colour =
                wooden ? mat.planks(x, y, cell / 3.0, woodTint) : mat.flagstone(x, y, u, v, cell, hash2(c, r, seed));
            // Corridors are dustier and darker than the rooms.
            if (area == DungeonPlan::kCorridor)
                colour = colour * 0.86;
            const double d = wallDistance(plan, c, r, u, v, cell);
            colour = colour * (1.0 - 0.55 * std::exp(-d / (cell * 0.22)));
            line[x] = colour.toQRgb();
        }
    });
}

void scatterCracksAndStains(QPainter &p, const MapGrid &grid, const DungeonPlan &plan, Rng &rng)
{
    const double cell = grid.cell();
    for (int r = 0; r < plan.rows(); ++r) {
        for (int c = 0; c < plan.columns(); ++c) {
            if (!plan.isFloor(c, r))
                continue;
            if (rng.chance(0.06)) {
                QPainterPath crack(grid.point(c + rng.uniform(0.1, 0.9), r + rng.uniform(0.1, 0.9)));
                for (int k = 0; k < 4; ++k)
                    crack.lineTo(crack.currentPosition()
                                 + QPointF(rng.uniform(-0.3, 0.3), rng.uniform(-0.3, 0.3)) * cell);
                p.setBrush(Qt::NoBrush);
                p.setPen(QPen(QColor(30, 28, 26, 170), 0.9));
                p.drawPath(crack);
            }
            if (rng.chance(0.04)) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(40, 30, 20, 45));
                const QPointF at = grid.point(c + rng.uniform(0.2, 0.8), r + rng.uniform(0.2, 0.8));
                p.drawEllipse(at, cell * rng.uniform(0.3, 0.7), cell * rng.uniform(0.2, 0.5));
            }
        }
    }
}

// Cells next to a door stay clear so that doors can be walked through.
bool nearDoor(const DungeonPlan &plan, int c, int r)
{
    return plan.doorWest(c, r) || plan.doorWest(c + 1, r) || plan.doorNorth(c, r) || plan.doorNorth(c, r + 1);
}

void furnish(QPainter &p, const MapGrid &grid, const DungeonPlan &plan, const QRect &room, Theme theme, Rng &rng)
{
    const double s = grid.cell();
    auto free = [&](int c, int r) { return room.contains(c, r) && !nearDoor(plan, c, r); };
    auto centre = [&](int c, int r) { return grid.cellCentre(c, r); };
    const int l = room.left();
    const int t = room.top();
    const int rr = room.right();
    const int b = room.bottom();

    switch (theme) {
    case Theme::Hall: {
        props::rug(p,
                   grid.cellRect(l + 2, t + 1, room.width() - 4, room.height() - 2)
                       .adjusted(s * 0.3, s * 0.3, -s * 0.3, -s * 0.3),
                   QColor(120, 30, 34));
        // Pillars stand on grid intersections, one cell in from the walls.
        if (room.width() >= 5 && room.height() >= 4)
            for (int c = l + 1; c <= rr; c += 2)
                for (int r : {t + 1, b})
                    props::pillar(p, grid.point(c, r), s * 0.3);
        break;
    }
    case Theme::Barracks:
        for (int c = l; c + 1 <= rr; c += 2)
            if (free(c, t) && free(c, t + 1))
                props::bed(p, grid.cellRect(c, t, 1, 2).adjusted(s * 0.14, s * 0.1, -s * 0.14, -s * 0.1),
                           QColor::fromHsv(rng.range(0, 359), 120, 130));
        if (room.height() >= 4)
            props::table(p,
                         grid.cellRect(l + 1, b - 1, std::max(1, room.width() - 3), 1)
                             .adjusted(s * 0.2, s * 0.22, -s * 0.2, -s * 0.22),
                         true, rng);
        break;
    case Theme::Storage:
        for (int r = t; r <= b; ++r) {
            for (int c = l; c <= rr; ++c) {
                const bool edge = c == l || c == rr || r == t || r == b;
                if (!edge || !free(c, r) || rng.chance(0.35))
                    continue;
                if (rng.chance(0.5))
                    props::barrel(p, centre(c, r), s * 0.36);
                else
                    props::crate(p, grid.cellRect(c, r).adjusted(s * 0.12, s * 0.12, -s * 0.12, -s * 0.12));
            }
        }
        break;
    case Theme::Stairs:
        props::stairs(p, grid.cellRect(rr - 2, t, 3, 2), true);
        props::rubble(p, centre(l, b), s * 0.5, rng);
        break;
    case Theme::Treasury:
        for (int c = l + 1; c < rr; c += 2)
            if (free(c, t))
                props::chest(p, grid.cellRect(c, t).adjusted(s * 0.12, s * 0.25, -s * 0.12, -s * 0.15));
        props::pillar(p, centre((l + rr) / 2, (t + b) / 2 + 1), s * 0.35);
        break;
    case Theme::Dining:
        props::table(
            p, grid.cellRect(l + 1, (t + b) / 2, room.width() - 2, 1).adjusted(s * 0.15, s * 0.2, -s * 0.15, -s * 0.2),
            true, rng);
        if (free(rr, b))
            props::barrel(p, centre(rr, b), s * 0.36);
        break;
    case Theme::Collapsed:
        for (int k = 0; k < 3; ++k)
            props::rubble(p, grid.point(rng.uniform(l + 0.5, rr + 0.5), rng.uniform(t + 0.5, b + 0.5)), s * 0.9, rng);
        break;
    case Theme::Plain:
        if (free(l, t))
            props::barrel(p, centre(l, t), s * 0.34);
        if (free(rr, b))
            props::crate(p, grid.cellRect(rr, b).adjusted(s * 0.15, s * 0.15, -s * 0.15, -s * 0.15));
        break;
    }
}

std::vector<QLineF> wallSegments(const MapGrid &grid, const DungeonPlan &plan)
{
    std::vector<QLineF> walls;
    for (int r = -1; r <= plan.rows(); ++r) {
        for (int c = -1; c <= plan.columns(); ++c) {
            if (plan.wallWest(c, r))
                walls.push_back(grid.westEdge(c, r));
            if (plan.wallNorth(c, r))
                walls.push_back(grid.northEdge(c, r));
        }
    }
    return walls;
}

void drawDoors(QPainter &p, const MapGrid &grid, const DungeonPlan &plan, const WallStyle &wall, Rng &rng)
{
    auto kind = [&] {
        const double roll = rng.uniform();
        return roll < 0.65 ? DoorKind::Closed : roll < 0.85 ? DoorKind::Open : DoorKind::Arch;
    };
    for (int r = 0; r <= plan.rows(); ++r) {
        for (int c = 0; c <= plan.columns(); ++c) {
            // The swing points across the edge; for a west edge that is
            // towards the west cell, for a north edge towards the south cell.
            if (plan.doorWest(c, r))
                drawDoor(p, grid.westEdge(c, r), wall, kind(), plan.isRoom(c - 1, r) ? 1 : -1, rng);
            if (plan.doorNorth(c, r))
                drawDoor(p, grid.northEdge(c, r), wall, kind(), plan.isRoom(c, r) ? 1 : -1, rng);
        }
    }
}

} // namespace

QImage paintDungeon(QSize size, const MapGrid &grid, std::uint64_t seed)
{
    Rng rng(seed);
    const DungeonPlan plan(grid.columnsFor(size) - 1, grid.rowsFor(size) - 1, rng);

    // The largest room becomes the pillared hall; the others take turns.
    std::vector<Theme> themes(plan.rooms().size(), Theme::Plain);
    const Theme cycle[] = {Theme::Barracks, Theme::Storage,   Theme::Stairs,  Theme::Treasury,
                           Theme::Dining,   Theme::Collapsed, Theme::Storage, Theme::Plain};
    std::size_t hall = 0;
    for (std::size_t i = 0; i < themes.size(); ++i) {
        const QRect &room = plan.rooms()[i];
        if (room.width() * room.height() > plan.rooms()[hall].width() * plan.rooms()[hall].height())
            hall = i;
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < themes.size(); ++i)
        themes[i] = i == hall ? Theme::Hall : cycle[next++ % std::size(cycle)];

    QImage img(size, QImage::Format_RGB32);
    const Materials mat(static_cast<std::uint32_t>(seed));
    paintGround(img, grid, plan, themes, mat, static_cast<std::uint32_t>(seed));

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    scatterCracksAndStains(p, grid, plan, rng);
    for (std::size_t i = 0; i < themes.size(); ++i)
        furnish(p, grid, plan, plan.rooms()[i], themes[i], rng);
    const double cell = grid.cell();
    const WallStyle wall{cell * 0.36, QColor(16, 15, 14), QColor(66, 62, 58)};
    drawWalls(p, wallSegments(grid, plan), wall);
    drawDoors(p, grid, plan, wall, rng);
    p.end();
    return img;
}

} // namespace vellmar::samplegen
