#pragma once

class QImage;

namespace vellmar::map {

class ViewGeometry;

// Something drawn over the map for a while, such as a measuring line: the
// renderer paints it into the view after the layer it was handed in for.
class MapOverlay
{
public:
    virtual ~MapOverlay() = default;
    virtual void paint(QImage &target, const ViewGeometry &geometry) const = 0;
};

} // namespace vellmar::map
