#pragma once

#include <QColor>
#include <QLineF>

#include <vector>

class QPainter;

namespace vellmar::samplegen {

class Rng;

// Walls are strokes centred on grid lines: a dark outline with a lighter core.
struct WallStyle
{
    double width;
    QColor outline;
    QColor core;
};

// All outlines first, then all cores, so that walls meeting at a corner or a
// T join into one shape instead of overlapping boxes.
void drawWalls(QPainter &p, const std::vector<QLineF> &segments, const WallStyle &style);

// A wooden door filling the wall gap `edge` (one cell edge), with stone jambs
// at both ends; an open door swings into the side given by `swing`
// (+1 or -1 across the edge), an arch leaves the gap empty.
enum class DoorKind { Closed, Open, Arch };
void drawDoor(QPainter &p, const QLineF &edge, const WallStyle &wall, DoorKind kind, int swing, Rng &rng);

} // namespace vellmar::samplegen
