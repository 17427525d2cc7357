#include "MapPointer.h"

#include "app/state/SharedState.h"
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

    IconCollection::Pointer iconHit;
    for (const auto &icon : m_state.icons.records()) {
        if (withinReach(icon->mapX, icon->mapY, mapPosition, icon->size))
            iconHit = icon;
    }
    MarkerCollection::Pointer markerHit;
    for (const auto &marker : m_state.markers.records()) {
        if (withinReach(marker->mapX, marker->mapY, mapPosition, markerReach))
            markerHit = marker;
    }
    if (markerHit)
        iconHit.reset(); // a marker stands on top of an icon

    const bool iconChanged = follow(m_state.currentIcon, iconHit);
    const bool markerChanged = follow(m_state.currentMarker, markerHit);
    return iconChanged || markerChanged;
}

MenuRights MapPointer::menuRights() const
{
    MenuRights rights;
    rights.iconCommands = m_state.currentIcon && m_state.currentIcon->UserID == m_state.ownPlayerID;
    const MarkerActor self{m_state.ownPlayerID, m_state.isMaster};
    rights.modifyMarker = m_state.currentMarker && mayChangeMarker(*m_state.currentMarker, self);
    rights.removeMarker = m_state.currentMarker && mayRemoveMarker(*m_state.currentMarker, self);
    return rights;
}

bool MapPointer::ownedHere(std::int32_t userId) const { return userId == m_state.ownPlayerID; }

bool MapPointer::beginDrag(QPoint mapPosition)
{
    // Only one's own record moves; the game master may not drag others' markers.
    if (!m_state.currentIcon && m_state.currentMarker
        && mayChangeMarker(*m_state.currentMarker, {m_state.ownPlayerID, m_state.isMaster})) {
        m_dragOffset = offsetFrom(m_state.currentMarker->mapX, m_state.currentMarker->mapY, mapPosition);
        m_draggingIcon = false;
    } else if (m_state.currentIcon && !m_state.currentMarker && ownedHere(m_state.currentIcon->UserID)) {
        m_dragOffset = offsetFrom(m_state.currentIcon->mapX, m_state.currentIcon->mapY, mapPosition);
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
        if (!m_state.currentIcon)
            return false;
        m_state.currentIcon->mapX = target.x();
        m_state.currentIcon->mapY = target.y();
        return true;
    }
    // A removal from the network may have taken the marker away meanwhile.
    if (!m_state.currentMarker)
        return false;
    m_state.currentMarker->mapX = target.x();
    m_state.currentMarker->mapY = target.y();
    return true;
}

std::shared_ptr<CMarker> MapPointer::endDrag()
{
    if (!m_dragging)
        return nullptr;
    m_dragging = false;
    if (m_draggingIcon)
        return nullptr;
    auto marker = std::move(m_state.currentMarker);
    m_state.currentMarker.reset();
    return marker;
}

} // namespace vellmar::tokens
