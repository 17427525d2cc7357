#pragma once

#include "table/CIcon.h"
#include "table/CMarker.h"

#include <QPoint>

#include <cstdint>
#include <memory>

namespace vellmar::table {
struct Identity;
class Records;
} // namespace vellmar::table

namespace vellmar::tokens {

// Which commands the map's pop-up menu offers for the current selection.
struct MenuRights
{
    bool iconCommands = false; // modify, remove, roll initiative: the icon's owner only
    bool modifyMarker = false; // the marker's owner only
    bool removeMarker = false; // the owner, and the game master for any marker
};

// What the pointer does on the map, in map pixels: the hover selection
// (markers win over icons, the last record hit wins) and dragging one's own
// marker or icon while keeping the grab offset. Pure logic; the window turns
// view positions into map positions and repaints when told to.
class MapPointer
{
public:
    MapPointer(const table::Identity &identity, table::Records &records) : m_identity(identity), m_records(records) {}

    // Selects the records under the pointer; true when the selection changed
    // (the view needs a repaint). Does nothing while dragging.
    bool SelectUnderPointer(QPoint mapPosition);

    MenuRights menuRights() const;

    // A left press: starts dragging the current marker, or the current icon,
    // when it belongs to this participant. False when nothing started.
    bool beginDrag(QPoint mapPosition);
    // Moves the dragged record so it keeps its distance from the pointer;
    // true when something moved (repaint).
    bool dragTo(QPoint mapPosition);
    // Ends a drag. The marker that was dragged, if any, is returned so its
    // final place can be announced; a dragged icon stays local.
    std::shared_ptr<table::CMarker> endDrag();

    bool dragging() const { return m_dragging; }
    QPoint dragOffset() const { return m_dragOffset; }

private:
    bool ownedHere(std::int32_t userId) const;

    const table::Identity &m_identity;
    table::Records &m_records;
    bool m_dragging = false;
    bool m_draggingIcon = false;
    QPoint m_dragOffset;
};

} // namespace vellmar::tokens
