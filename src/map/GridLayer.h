#pragma once

#include <cstdint>

class QImage;

namespace vellmar::map {

class ViewGeometry;

// The square grid: black one-pixel lines every map10Size / 2 picture pixels,
// starting at picture point (-offsetX, -offsetY) and running right and down to
// the view's edges, over the picture and beyond it. A spacing that is not
// positive draws nothing. Drawn straight into the target's pixels: zoomed out,
// the lines are a few pixels apart and thousands of single line calls would
// cost more than the whole rest of a repaint.
void paintGrid(QImage &target, const ViewGeometry &geometry, double map10Size, std::int32_t offsetX,
               std::int32_t offsetY);

} // namespace vellmar::map
