#include "MapPointer.h"

#include "table/Identity.h"
#include "table/Records.h"
#include "tokens/MarkerRights.h"

#include <algorithm>
#include <cstdint>

namespace vellmar::tokens {

namespace {

// Inside or on the rim of the disc of that radius around (x, y). Far points
// fail on one axis first, so the squares stay within 64 bits.
bool withinReach(std::int32_t x, std::int32_t y, QPoint to, std::int64_t radius)
{
    const std::int64_t reach = radius < 0 ? -radius : radius;
    const std::int64_t dx = std::int64_t{x} - to.x();
    const std::int64_t dy = std::int64_t{y} - to.y();
    if (dx < -reach || dx > reach || dy < -reach || dy > reach)
        return false;
    return dx * dx + dy * dy <= reach * reach;
}

constexpr std::int64_t markerReach = 5;

// Records may stand anywhere in the 32-bit plane; the arithmetic saturates
// instead of overflowing.
std::int32_t saturated(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

QPoint offsetFrom(std::int32_t x, std::int32_t y, QPoint position)
{
    return {saturated(std::int64_t{x} - position.x()), saturated(std::int64_t{y} - position.y())};
}

QPoint shifted(QPoint position, QPoint offset)
{
    return {saturated(std::int64_t{position.x()} + offset.x()), saturated(std::int64_t{position.y()} + offset.y())};
}

// Keeps the current record unless the hit differs from it by id.
template <typename Pointer>
bool follow(Pointer &current, const Pointer &hit)
{
    if (!hit) {
        if (!current)
            return false;
        current.reset();
        return true;
    }
    if (current && current->id == hit->id)
        return false;
    current = hit;
    return true;
}

} // namespace

bool MapPointer::SelectUnderPointer(QPoint mapPosition)
{
    if (m_dragging)
        return false;

    table::IconCollection::Pointer iconHit;
    for (const auto &icon : m_records.icons.records()) {
        if (withinReach(icon->mapX, icon->mapY, mapPosition, icon->size))
            iconHit = icon;
    }
    table::MarkerCollection::Pointer markerHit;
    for (const auto &marker : m_records.markers.records()) {
        if (withinReach(marker->mapX, marker->mapY, mapPosition, markerReach))
            markerHit = marker;
    }
    if (markerHit)
        iconHit.reset(); // a marker stands on top of an icon

    const bool iconChanged = follow(m_records.currentIcon, iconHit);
    const bool markerChanged = follow(m_records.currentMarker, markerHit);
    return iconChanged || markerChanged;
}

MenuRights MapPointer::menuRights() const
{
    MenuRights rights;
    rights.iconCommands = m_records.currentIcon && m_records.currentIcon->UserID == m_identity.ownPlayerID;
    const MarkerActor self{m_identity.ownPlayerID, m_identity.isMaster};
    rights.modifyMarker = m_records.currentMarker && mayChangeMarker(*m_records.currentMarker, self);
    rights.removeMarker = m_records.currentMarker && mayRemoveMarker(*m_records.currentMarker, self);
    return rights;
}

bool MapPointer::ownedHere(std::int32_t userId) const { return userId == m_identity.ownPlayerID; }

bool MapPointer::beginDrag(QPoint mapPosition)
{
    // Only one's own record moves; the game master may not drag others' markers.
    if (!m_records.currentIcon && m_records.currentMarker
        && mayChangeMarker(*m_records.currentMarker, {m_identity.ownPlayerID, m_identity.isMaster})) {
        m_dragOffset = offsetFrom(m_records.currentMarker->mapX, m_records.currentMarker->mapY, mapPosition);
        m_draggingIcon = false;
    } else if (m_records.currentIcon && !m_records.currentMarker && ownedHere(m_records.currentIcon->UserID)) {
        m_dragOffset = offsetFrom(m_records.currentIcon->mapX, m_records.currentIcon->mapY, mapPosition);
        m_draggingIcon = true;
    } else {
        return false;
    }
    m_dragging = true;
    return true;
}

bool MapPointer::dragTo(QPoint mapPosition)
{
    if (!m_dragging)
        return false;
    const QPoint target = shifted(mapPosition, m_dragOffset);
    if (m_draggingIcon) {
        if (!m_records.currentIcon)
            return false;
        m_records.currentIcon->mapX = target.x();
        m_records.currentIcon->mapY = target.y();
        return true;
    }
    // A removal from the network may have taken the marker away meanwhile.
    if (!m_records.currentMarker)
        return false;
    m_records.currentMarker->mapX = target.x();
    m_records.currentMarker->mapY = target.y();
    return true;
}

std::shared_ptr<table::CMarker> MapPointer::endDrag()
{
    if (!m_dragging)
        return nullptr;
    m_dragging = false;
    if (m_draggingIcon)
        return nullptr;
    auto marker = std::move(m_records.currentMarker);
    m_records.currentMarker.reset();
    return marker;
}

} // namespace vellmar::tokens
