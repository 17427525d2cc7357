#include "DungeonPlan.h"

#include "Rng.h"

#include <algorithm>
#include <limits>

namespace vellmar::samplegen {

DungeonPlan::DungeonPlan(int columns, int rows, Rng &rng)
    : m_area(columns, rows, kRock)
    , m_doorWest(columns + 1, rows + 1, 0)
    , m_doorNorth(columns + 1, rows + 1, 0)
{
    placeRooms(rng);
    connectRooms(rng);
}

void DungeonPlan::placeRooms(Rng &rng)
{
    const int maxRooms = std::max(4, columns() * rows() / 140);
    for (int attempt = 0; attempt < 600 && static_cast<int>(m_rooms.size()) < maxRooms; ++attempt) {
        const int w = rng.range(4, 10);
        const int h = rng.range(3, 8);
        if (w + 2 >= columns() || h + 2 >= rows())
            continue;
        const QRect room(rng.range(1, columns() - w - 1), rng.range(1, rows() - h - 1), w, h);
        // At least two rock cells between rooms, so that corridors run between them.
        const QRect keepOut = room.adjusted(-2, -2, 2, 2);
        if (std::any_of(m_rooms.begin(), m_rooms.end(), [&](const QRect &r) { return r.intersects(keepOut); }))
            continue;
        m_rooms.push_back(room);
        m_area.fill(room.x(), room.y(), w, h, static_cast<int>(m_rooms.size()));
    }
}

void DungeonPlan::connectRooms(Rng &rng)
{
    // A spanning tree by nearest centres keeps every room reachable without
    // criss-crossing the map; a few extra links add loops.
    const auto n = m_rooms.size();
    if (n < 2)
        return;
    auto centre = [&](std::size_t i) { return m_rooms[i].center(); };
    std::vector<bool> joined(n, false);
    joined[0] = true;
    for (std::size_t added = 1; added < n; ++added) {
        int best = std::numeric_limits<int>::max();
        std::size_t from = 0;
        std::size_t to = 0;
        for (std::size_t a = 0; a < n; ++a) {
            if (!joined[a])
                continue;
            for (std::size_t b = 0; b < n; ++b) {
                if (joined[b])
                    continue;
                const int d = (centre(a) - centre(b)).manhattanLength();
                if (d < best) {
                    best = d;
                    from = a;
                    to = b;
                }
            }
        }
        joined[to] = true;
        carve(centre(from), centre(to), rng.chance(0.5));
    }
    for (int extra = 0; extra < 2; ++extra) {
        const auto a = static_cast<std::size_t>(rng.range(0, static_cast<int>(n) - 1));
        const auto b = static_cast<std::size_t>(rng.range(0, static_cast<int>(n) - 1));
        if (a != b)
            carve(centre(a), centre(b), rng.chance(0.5));
    }
}

void DungeonPlan::carve(QPoint from, QPoint to, bool horizontalFirst)
{
    QPoint at = from;
    auto walk = [&](bool horizontal) {
        const QPoint target = horizontal ? QPoint(to.x(), at.y()) : QPoint(at.x(), to.y());
        while (at != target) {
            QPoint next = at;
            if (horizontal)
                next.rx() += target.x() > at.x() ? 1 : -1;
            else
                next.ry() += target.y() > at.y() ? 1 : -1;
            step(at, next);
            at = next;
        }
    };
    walk(horizontalFirst);
    walk(!horizontalFirst);
}

void DungeonPlan::step(QPoint from, QPoint to)
{
    if (area(to.x(), to.y()) == kRock)
        m_area.set(to.x(), to.y(), kCorridor);
    const int a = area(from.x(), from.y());
    const int b = area(to.x(), to.y());
    if (a == b)
        return;
    // Passing between a room and a corridor: the gap in the wall gets a door.
    if (from.y() == to.y())
        m_doorWest.set(std::max(from.x(), to.x()), from.y(), 1);
    else
        m_doorNorth.set(from.x(), std::max(from.y(), to.y()), 1);
}

} // namespace vellmar::samplegen
