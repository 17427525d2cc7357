#include "ToolGesture.h"

#include "table/Identity.h"
#include "table/Records.h"
#include "tokens/MarkerRights.h"

namespace vellmar::tokens {

void ToolGesture::setTool(PaletteTool tool)
{
    m_tool = tool;
    m_measured.reset();
    // A drag under way still ends with its release.
    if (!m_pointer.dragging())
        m_held = false;
}

bool ToolGesture::press(QPoint mapPosition)
{
    m_held = true;
    m_moved = false;
    m_pressedAt = mapPosition;
    switch (m_tool) {
    case PaletteTool::Measure:
        m_measured = Line{mapPosition, mapPosition};
        return true;
    case PaletteTool::Objects:
        // Only icons: a marker under the pointer is left alone.
        if (m_records.currentIcon && !m_records.currentMarker)
            m_pointer.beginDrag(mapPosition);
        return false;
    case PaletteTool::Markers:
        if (m_records.currentMarker)
            m_pointer.beginDrag(mapPosition);
        return false;
    default: // the plain pointer; the fog tools are the window's
        return false;
    }
}

bool ToolGesture::move(QPoint mapPosition)
{
    if (!m_held)
        return false;
    if (mapPosition != m_pressedAt)
        m_moved = true;
    if (m_tool == PaletteTool::Measure && m_measured) {
        m_measured->to = mapPosition;
        return true;
    }
    return m_pointer.dragging() && m_pointer.dragTo(mapPosition);
}

ToolRequest ToolGesture::release(QPoint mapPosition, bool &repaint)
{
    repaint = move(mapPosition);
    if (!m_held)
        return {};
    m_held = false;
    ToolRequest request;
    if (m_pointer.dragging()) {
        const bool moved = m_moved;
        auto marker = m_pointer.endDrag();
        repaint = true;
        if (moved) {
            if (marker)
                request = {ToolRequest::Kind::AnnounceMarker, {}, std::move(marker)};
            return request;
        }
        // Pressed and let go in place: a click on the record, which keeps its selection.
        if (marker)
            m_records.currentMarker = std::move(marker);
    }
    const MarkerActor self{m_identity.ownPlayerID, m_identity.isMaster};
    switch (m_tool) {
    case PaletteTool::Objects:
        if (!m_records.currentIcon)
            request = {ToolRequest::Kind::PlaceIcon, mapPosition, nullptr};
        else if (m_records.currentIcon->UserID == m_identity.ownPlayerID && !m_records.currentMarker)
            request.kind = ToolRequest::Kind::RemoveIcon;
        break;
    case PaletteTool::Markers:
        if (!m_records.currentMarker)
            request = {ToolRequest::Kind::PlaceMarker, mapPosition, nullptr};
        else if (mayRemoveMarker(*m_records.currentMarker, self))
            request.kind = ToolRequest::Kind::RemoveMarker;
        break;
    default:
        break;
    }
    return request;
}

} // namespace vellmar::tokens
