#pragma once

#include "map/MapOverlay.h"
#include "map/fog/FogStep.h"

#include <QList>
#include <QPoint>

#include <optional>

// The master's fog tools on the map, in picture pixels: a press, the moves
// and the release make one step. A rectangle is dragged from corner to
// corner, a polygon is drawn free-hand and closes at the release, a brush
// paints along the pointer's path.
namespace vellmar::map::fog {

class FogGesture
{
public:
    // `brushDiameter` in picture pixels (see brushDiameter()). A brush's
    // first dab comes back for the live preview.
    std::optional<FogStep> press(FogKind kind, FogMode mode, QPoint at, double brushDiameter);
    // A brush's new stretch of path (for the live preview), or none.
    std::optional<FogStep> move(QPoint at);
    // The finished step; none for a click without a shape (a rectangle with
    // no area, an outline of fewer than three corners).
    std::optional<FogStep> release(QPoint at);
    void cancel() { m_held = false; }

    bool held() const { return m_held; }
    FogKind kind() const { return m_kind; }
    FogMode mode() const { return m_mode; }
    // The outline drawn so far: a rectangle's two corners, a polygon's path.
    const QList<QPoint> &path() const { return m_path; }

private:
    FogStep brushStep(const QList<QPoint> &points) const;

    bool m_held = false;
    FogKind m_kind = FogKind::rect;
    FogMode m_mode = FogMode::hide;
    std::int32_t m_diameter = 1;
    QList<QPoint> m_path;
};

// A stroke's points thinned to what one step carries: points closer than
// `spacing` to the last one kept go first, then every so many evenly. The
// first and last points stay.
QList<QPoint> thinStroke(const QList<QPoint> &points, double spacing, int maxPoints);

// The outline of a rectangle or polygon while it is drawn.
class FogOutline final : public MapOverlay
{
public:
    FogOutline(FogKind kind, FogMode mode, QList<QPoint> path) : m_kind(kind), m_mode(mode), m_path(std::move(path)) {}
    void paint(QImage &target, const ViewGeometry &geometry) const override;

private:
    FogKind m_kind;
    FogMode m_mode;
    QList<QPoint> m_path;
};

} // namespace vellmar::map::fog
