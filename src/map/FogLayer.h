#pragma once

#include <QtGlobal>

#include <utility>
#include <vector>

class QImage;

namespace vellmar::map {

namespace fog {
class FogMask;
}
class ViewGeometry;

// The fog over the picture: a view pixel is fogged when the middle of it lies
// over a hidden cell (view pixels beyond the picture's edge, up to the rounded
// out edge, count as the edge cell). Players get those pixels in the mask's
// opaque fog colour, the master gets them darkened by its shade.
//
// Zoomed out, a view shows up to a million cells; looking at each one on
// every repaint would cost more than the picture. So the layer keeps, per row
// of cells, the runs of hidden cells. They depend on nothing but the mask, so
// scrolling and zooming keep them; a change to the mask finds them anew only
// in the rows it touched, and only once those rows are in view. A repaint
// then only turns each run into a stretch of view pixels.
class FogLayer
{
public:
    void paint(QImage &target, const ViewGeometry &geometry, const fog::FogMask &mask, bool master);

    // How many rows of cells had their runs found anew so far.
    qint64 rowsWorkedOut() const { return m_rowsWorkedOut; }

private:
    using Runs = std::vector<std::pair<int, int>>; // [first, last + 1) hidden cells
    void follow(const fog::FogMask &mask);
    const Runs &runsOf(const fog::FogMask &mask, int cellRow);

    const fog::FogMask *m_mask = nullptr;
    quint64 m_revision = 0;
    int m_cellColumns = 0;
    std::vector<Runs> m_runs;
    std::vector<char> m_known;
    std::vector<int> m_columnEdges; // reused between repaints
    qint64 m_rowsWorkedOut = 0;
};

} // namespace vellmar::map
