#pragma once

#include "table/CMarker.h"
#include "tokens/pointer/MapPointer.h"
#include "tokens/pointer/PaletteTool.h"

#include <QPoint>

#include <memory>
#include <optional>

namespace vellmar::tokens {

// What a finished click or drag asks the window to do. Removals act on the
// current selection, as the map's menu does, after the window has asked.
struct ToolRequest
{
    enum class Kind { None, PlaceIcon, PlaceMarker, RemoveIcon, RemoveMarker, AnnounceMarker };
    Kind kind = Kind::None;
    QPoint at;                              // PlaceIcon, PlaceMarker: the clicked map point
    std::shared_ptr<table::CMarker> marker; // AnnounceMarker: the marker that was moved
};

// The left button on the map with a palette tool, in map pixels:
// - Objects: dragging one's own icon moves it; a click on it offers to remove
//   it; a click where there is no icon places one.
// - Markers: the same for markers, with the marker rights (the owner moves;
//   the owner, or the game master, removes).
// - Measure: a drag draws a line from the press to the pointer; it stays until
//   the next press or another tool.
// With no tool the window keeps the plain pointer's dragging and this does
// nothing. Hover selection stays with MapPointer; this only reads it.
class ToolGesture
{
public:
    ToolGesture(MapPointer &pointer, const table::Identity &identity, table::Records &records)
        : m_pointer(pointer)
        , m_identity(identity)
        , m_records(records)
    {}

    // Ends a measurement; a drag under way still ends at its release.
    void setTool(PaletteTool tool);
    PaletteTool tool() const { return m_tool; }

    // Each returns true when the view needs a repaint.
    bool press(QPoint mapPosition);
    bool move(QPoint mapPosition);
    ToolRequest release(QPoint mapPosition, bool &repaint);

    bool held() const { return m_held; }
    // The measured line, while measuring and after.
    struct Line
    {
        QPoint from;
        QPoint to;
    };
    std::optional<Line> measured() const { return m_measured; }

private:
    MapPointer &m_pointer;
    const table::Identity &m_identity;
    table::Records &m_records;
    PaletteTool m_tool = PaletteTool::None;
    bool m_held = false;
    bool m_moved = false;
    QPoint m_pressedAt;
    std::optional<Line> m_measured;
};

} // namespace vellmar::tokens
