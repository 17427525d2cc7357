#pragma once

#include "Grid.h"

#include <QRect>

#include <cstdint>
#include <vector>

namespace vellmar::samplegen {

class Rng;

// The layout of a dungeon on the grid: which cells are rock, corridor or part
// of a room, and where doors stand. Walls follow from it: a wall runs along
// every cell edge whose two cells belong to different areas.
class DungeonPlan
{
public:
    static constexpr int kRock = 0;
    static constexpr int kCorridor = -1;

    // Rooms and corridors for a grid of columns x rows cells; rooms keep one
    // rock cell clear of the border.
    DungeonPlan(int columns, int rows, Rng &rng);

    int area(int column, int row) const { return m_area.at(column, row); }
    bool isRoom(int column, int row) const { return area(column, row) > 0; }
    bool isFloor(int column, int row) const { return area(column, row) != kRock; }
    // The rooms in cell coordinates; room n (1-based area id) is rooms()[n - 1].
    const std::vector<QRect> &rooms() const { return m_rooms; }

    bool doorWest(int column, int row) const { return m_doorWest.at(column, row) != 0; }
    bool doorNorth(int column, int row) const { return m_doorNorth.at(column, row) != 0; }
    bool wallWest(int column, int row) const
    {
        return area(column - 1, row) != area(column, row) && !doorWest(column, row);
    }
    bool wallNorth(int column, int row) const
    {
        return area(column, row - 1) != area(column, row) && !doorNorth(column, row);
    }

    int columns() const { return m_area.columns(); }
    int rows() const { return m_area.rows(); }

private:
    void placeRooms(Rng &rng);
    void connectRooms(Rng &rng);
    void carve(QPoint from, QPoint to, bool horizontalFirst);
    void step(QPoint from, QPoint to);

    CellField<int> m_area;
    CellField<std::uint8_t> m_doorWest;
    CellField<std::uint8_t> m_doorNorth;
    std::vector<QRect> m_rooms;
};

} // namespace vellmar::samplegen
