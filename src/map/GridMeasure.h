#pragma once

#include <QPoint>
#include <QString>

#include <optional>

namespace vellmar::map {

// Distances on the map counted in grid cells: a cell is map10Size / 2
// picture pixels wide, as the grid is drawn. The distance is the straight
// line between the two points.
class GridMeasure
{
public:
    explicit GridMeasure(double map10Size) : m_map10Size(map10Size) {}

    // Empty when the map has no usable grid (a size that is not positive).
    std::optional<double> cells(QPoint from, QPoint to) const;
    // Straight-line length in map pixels; exact for any two 32-bit points.
    static double pixels(QPoint from, QPoint to);
    // What the measuring line says: "4.5 cells", "1 cell", or the length in
    // map pixels ("312 px") when there is no grid.
    QString label(QPoint from, QPoint to) const;

private:
    double m_map10Size;
};

} // namespace vellmar::map
