#include "TownPlan.h"

#include "Rng.h"

#include <algorithm>

namespace vellmar::samplegen {

namespace {

// Splits [from, to] (inclusive) into stretches of about `target` cells,
// separated by streets `gap` cells wide; returns the stretches.
std::vector<std::pair<int, int>> stretches(int from, int to, int target, int gap, Rng &rng)
{
    const int length = to - from + 1;
    const int count = std::max(1, (length + gap) / (target + gap));
    std::vector<std::pair<int, int>> out;
    int start = from;
    for (int i = 0; i < count; ++i) {
        int end = i + 1 == count ? to : from + (length + gap) * (i + 1) / count - gap - 1 + rng.range(-1, 1);
        end = std::clamp(end, start + 2, to);
        out.emplace_back(start, end);
        start = end + gap + 1;
        if (start > to)
            break;
    }
    return out;
}

} // namespace

TownPlan::TownPlan(int columns, int rows, Rng &rng)
    : m_ground(columns, rows, Ground::Field)
    , m_building(columns, rows, -1)
{
    m_walls = QRect(3, 3, columns - 6, rows - 6);
    layStreets(rng);
}

void TownPlan::layStreets(Rng &rng)
{
    const QRect w = m_walls;
    const QRect inside = w.adjusted(1, 1, -1, -1);
    m_ground.fill(inside.x(), inside.y(), inside.width(), inside.height(), Ground::Street);

    // The main streets cross in the middle; the plaza opens around the crossing.
    const int mx = w.center().x() - 1;
    const int my = w.center().y() - 1;

    // The wall, with gates where the main streets leave the town.
    for (int c = w.left(); c <= w.right(); ++c) {
        for (int r : {w.top(), w.bottom()})
            if (c < mx || c > mx + 2)
                m_ground.set(c, r, Ground::Wall);
    }
    for (int r = w.top(); r <= w.bottom(); ++r) {
        for (int c : {w.left(), w.right()})
            if (r < my || r > my + 2)
                m_ground.set(c, r, Ground::Wall);
    }
    // The gate passages are paved like the streets.
    m_ground.fill(mx, w.top(), 3, 1, Ground::Street);
    m_ground.fill(mx, w.bottom(), 3, 1, Ground::Street);
    m_ground.fill(w.left(), my, 1, 3, Ground::Street);
    m_ground.fill(w.right(), my, 1, 3, Ground::Street);
    for (QPoint corner : {w.topLeft(), w.topRight(), w.bottomLeft(), w.bottomRight()})
        m_towers.emplace_back(corner.x() - 1, corner.y() - 1, 3, 3);
    // Gatehouse towers flank each gate.
    m_towers.emplace_back(mx - 2, w.top() - 1, 2, 3);
    m_towers.emplace_back(mx + 3, w.top() - 1, 2, 3);
    m_towers.emplace_back(mx - 2, w.bottom() - 1, 2, 3);
    m_towers.emplace_back(mx + 3, w.bottom() - 1, 2, 3);
    m_towers.emplace_back(w.left() - 1, my - 2, 3, 2);
    m_towers.emplace_back(w.left() - 1, my + 3, 3, 2);
    m_towers.emplace_back(w.right() - 1, my - 2, 3, 2);
    m_towers.emplace_back(w.right() - 1, my + 3, 3, 2);
    for (const QRect &t : m_towers)
        m_ground.fill(t.x(), t.y(), t.width(), t.height(), Ground::Tower);

    // Roads lead from the gates to the edge of the picture.
    for (int c = 0; c < w.left(); ++c)
        m_ground.fill(c, my, 1, 3, Ground::Road);
    for (int c = w.right() + 1; c < columns(); ++c)
        m_ground.fill(c, my, 1, 3, Ground::Road);
    for (int r = 0; r < w.top(); ++r)
        m_ground.fill(mx, r, 3, 1, Ground::Road);
    for (int r = w.bottom() + 1; r < rows(); ++r)
        m_ground.fill(mx, r, 3, 1, Ground::Road);

    // A two-cell lane runs inside the wall; blocks fill the four quarters,
    // cut by side streets.
    const int left = inside.left() + 2;
    const int right = inside.right() - 2;
    const int top = inside.top() + 2;
    const int bottom = inside.bottom() - 2;
    const auto westX = stretches(left, mx - 1, 11, 2, rng);
    const auto eastX = stretches(mx + 3, right, 11, 2, rng);
    const auto northY = stretches(top, my - 1, 9, 2, rng);
    const auto southY = stretches(my + 3, bottom, 9, 2, rng);
    // The four blocks at the crossing make way for the market plaza, which
    // keeps a ring of buildings facing it.
    const QRect square(QPoint(westX.back().first, northY.back().first),
                       QPoint(eastX.front().second, southY.front().second));
    for (const auto *xs : {&westX, &eastX})
        for (const auto *ys : {&northY, &southY})
            for (auto [x0, x1] : *xs)
                for (auto [y0, y1] : *ys) {
                    const QRect block(QPoint(x0, y0), QPoint(x1, y1));
                    if (!block.intersects(square))
                        splitBlock(block, rng);
                }
    const int ringX = std::min(5, (square.width() - 9) / 2);
    const int ringY = std::min(4, (square.height() - 9) / 2);
    m_plaza = square.adjusted(ringX, ringY, -ringX, -ringY);
    if (ringY >= 3) {
        for (int y : {square.top(), m_plaza.bottom() + 1}) {
            splitBlock(QRect(QPoint(square.left(), y), QPoint(mx - 1, y + ringY - 1)), rng);
            splitBlock(QRect(QPoint(mx + 3, y), QPoint(square.right(), y + ringY - 1)), rng);
        }
    }
    if (ringX >= 3) {
        for (int x : {square.left(), m_plaza.right() + 1}) {
            splitBlock(QRect(QPoint(x, m_plaza.top()), QPoint(x + ringX - 1, my - 1)), rng);
            splitBlock(QRect(QPoint(x, my + 3), QPoint(x + ringX - 1, m_plaza.bottom())), rng);
        }
    }
    m_ground.fill(m_plaza.x(), m_plaza.y(), m_plaza.width(), m_plaza.height(), Ground::Plaza);
}

void TownPlan::splitBlock(const QRect &block, Rng &rng)
{
    const bool wide = block.width() >= block.height();
    const int length = wide ? block.width() : block.height();
    if (length > 8) {
        // Split across the longer side, sometimes leaving a one-cell alley.
        const int alley = length >= 11 && rng.chance(0.3) ? 1 : 0;
        const int cut = rng.range(3, length - 3 - alley);
        if (wide) {
            splitBlock(QRect(block.x(), block.y(), cut, block.height()), rng);
            splitBlock(QRect(block.x() + cut + alley, block.y(), block.width() - cut - alley, block.height()), rng);
        } else {
            splitBlock(QRect(block.x(), block.y(), block.width(), cut), rng);
            splitBlock(QRect(block.x(), block.y() + cut + alley, block.width(), block.height() - cut - alley), rng);
        }
        return;
    }
    m_ground.fill(block.x(), block.y(), block.width(), block.height(), Ground::Yard);
    if (rng.chance(0.12)) {
        m_gardens.push_back(block);
        return;
    }
    placeBuilding(block, rng);
}

void TownPlan::placeBuilding(const QRect &lot, Rng &rng)
{
    QRect cells = lot;
    // Larger lots keep a yard on one side.
    if (rng.chance(0.45)) {
        switch (rng.range(0, 3)) {
        case 0:
            if (cells.width() >= 6)
                cells.setLeft(cells.left() + 2);
            break;
        case 1:
            if (cells.width() >= 6)
                cells.setRight(cells.right() - 2);
            break;
        case 2:
            if (cells.height() >= 6)
                cells.setTop(cells.top() + 2);
            break;
        default:
            if (cells.height() >= 6)
                cells.setBottom(cells.bottom() - 2);
            break;
        }
    }
    if (cells != lot)
        m_gardens.push_back(lot);
    Building b;
    b.cells = cells;
    b.roofed = rng.chance(0.55);
    b.roofStyle = rng.range(0, 3);
    const int area = cells.width() * cells.height();
    b.use = area >= 30 && rng.chance(0.5) ? Use::Tavern
            : rng.chance(0.2)             ? Use::Store
            : rng.chance(0.15)            ? Use::Smithy
                                          : Use::House;
    if (cells.width() >= 6)
        b.partitionColumn = cells.left() + cells.width() / 2;
    else if (cells.height() >= 6)
        b.partitionRow = cells.top() + cells.height() / 2;
    addDoor(b, rng);
    m_ground.fill(cells.x(), cells.y(), cells.width(), cells.height(), Ground::Building);
    m_building.fill(cells.x(), cells.y(), cells.width(), cells.height(), static_cast<int>(m_buildings.size()));
    m_buildings.push_back(b);
}

void TownPlan::addDoor(Building &b, Rng &rng)
{
    // Prefer a side that opens onto a street or the plaza, else a yard.
    const QRect c = b.cells;
    std::vector<Building::Door> street;
    std::vector<Building::Door> yard;
    auto consider = [&](QPoint outside, Building::Door door) {
        const Ground g = ground(outside.x(), outside.y());
        if (g == Ground::Street || g == Ground::Plaza)
            street.push_back(door);
        else if (g == Ground::Yard)
            yard.push_back(door);
    };
    for (int x = c.left() + 1; x < c.right(); ++x) {
        consider({x, c.top() - 1}, {{x, c.top()}, false, 1});
        consider({x, c.bottom() + 1}, {{x, c.bottom() + 1}, false, -1});
    }
    for (int y = c.top() + 1; y < c.bottom(); ++y) {
        consider({c.left() - 1, y}, {{c.left(), y}, true, -1});
        consider({c.right() + 1, y}, {{c.right() + 1, y}, true, 1});
    }
    const auto &pool = street.empty() ? yard : street;
    if (!pool.empty())
        b.doors.push_back(pool[static_cast<std::size_t>(rng.range(0, static_cast<int>(pool.size()) - 1))]);
}

} // namespace vellmar::samplegen
