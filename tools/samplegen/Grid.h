#pragma once

#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSize>

#include <cmath>
#include <vector>

namespace vellmar::samplegen {

// The grid the program lays over a map, described by the three index values:
// a cell is map10Size / 2 picture pixels wide and high, and cell column 0
// starts at picture x = -offsetX (row 0 at y = -offsetY). Painters place every
// wall on these lines so that the program's grid and the picture agree.
struct MapGrid
{
    double map10Size = 50.0;
    int offsetX = 0;
    int offsetY = 0;

    double cell() const { return map10Size / 2.0; }
    double lineX(int column) const { return -offsetX + column * cell(); }
    double lineY(int row) const { return -offsetY + row * cell(); }

    // The column or row whose cell holds a picture position; negative left of
    // or above the first grid line.
    int columnAt(double x) const { return static_cast<int>(std::floor((x + offsetX) / cell())); }
    int rowAt(double y) const { return static_cast<int>(std::floor((y + offsetY) / cell())); }

    // Cells that reach into a picture of the given size, from column/row 0.
    int columnsFor(const QSize &picture) const { return columnAt(picture.width() - 1) + 1; }
    int rowsFor(const QSize &picture) const { return rowAt(picture.height() - 1) + 1; }

    QPointF point(double column, double row) const { return {-offsetX + column * cell(), -offsetY + row * cell()}; }
    QRectF cellRect(int column, int row, int columns = 1, int rows = 1) const
    {
        return {lineX(column), lineY(row), columns * cell(), rows * cell()};
    }
    QPointF cellCentre(int column, int row) const { return point(column + 0.5, row + 0.5); }

    // The left edge of a cell, and its top edge.
    QLineF westEdge(int column, int row) const { return {point(column, row), point(column, row + 1)}; }
    QLineF northEdge(int column, int row) const { return {point(column, row), point(column + 1, row)}; }
};

// A value per grid cell; reads outside the field give the fill value, so
// painters need no bounds checks at the picture's rim.
template <typename T>
class CellField
{
public:
    CellField(int columns, int rows, T outside)
        : m_columns(columns)
        , m_rows(rows)
        , m_outside(outside)
        , m_cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), outside)
    {}

    int columns() const { return m_columns; }
    int rows() const { return m_rows; }
    bool contains(int column, int row) const { return column >= 0 && row >= 0 && column < m_columns && row < m_rows; }
    T at(int column, int row) const { return contains(column, row) ? m_cells[index(column, row)] : m_outside; }
    void set(int column, int row, T value)
    {
        if (contains(column, row))
            m_cells[index(column, row)] = value;
    }
    void fill(int column, int row, int columns, int rows, T value)
    {
        for (int r = row; r < row + rows; ++r)
            for (int c = column; c < column + columns; ++c)
                set(c, r, value);
    }

private:
    std::size_t index(int column, int row) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column);
    }

    int m_columns;
    int m_rows;
    T m_outside;
    std::vector<T> m_cells;
};

} // namespace vellmar::samplegen
