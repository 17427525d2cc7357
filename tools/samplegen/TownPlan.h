#pragma once

#include "Grid.h"

#include <QRect>

#include <cstdint>
#include <vector>

namespace vellmar::samplegen {

class Rng;

// The layout of a walled town on the grid: what covers each cell, and the
// buildings with their doors and inner walls. Everything is whole cells, so
// every wall, eave and street edge lies on a grid line.
class TownPlan
{
public:
    enum class Ground : std::uint8_t { Field, Road, Wall, Tower, Street, Plaza, Yard, Building };

    enum class Use : std::uint8_t { House, Tavern, Store, Smithy };

    struct Building
    {
        QRect cells;
        bool roofed = false; // roofed buildings show the roof, the others their rooms
        Use use = Use::House;
        int roofStyle = 0;
        // Doors as cell edges: west edge of (x, y) when vertical, else north edge.
        struct Door
        {
            QPoint cell;
            bool vertical;
            int swing; // +1 or -1 across the edge, into the building
        };
        std::vector<Door> doors;
        // Inner wall: the column (vertical) or row where it runs, or -1.
        int partitionColumn = -1;
        int partitionRow = -1;
    };

    TownPlan(int columns, int rows, Rng &rng);

    Ground ground(int column, int row) const { return m_ground.at(column, row); }
    // Index into buildings(), or -1.
    int buildingAt(int column, int row) const { return m_building.at(column, row); }
    const std::vector<Building> &buildings() const { return m_buildings; }
    QRect walls() const { return m_walls; }
    QRect plaza() const { return m_plaza; }
    const std::vector<QRect> &towers() const { return m_towers; }
    const std::vector<QRect> &gardens() const { return m_gardens; }
    int columns() const { return m_ground.columns(); }
    int rows() const { return m_ground.rows(); }

private:
    void layStreets(Rng &rng);
    void splitBlock(const QRect &block, Rng &rng);
    void placeBuilding(const QRect &lot, Rng &rng);
    void addDoor(Building &b, Rng &rng);

    CellField<Ground> m_ground;
    CellField<int> m_building;
    std::vector<Building> m_buildings;
    std::vector<QRect> m_towers;
    std::vector<QRect> m_gardens;
    QRect m_walls;
    QRect m_plaza;
};

} // namespace vellmar::samplegen
