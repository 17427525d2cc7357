#include "MarkerExchange.h"

#include "session/binding/Dispatcher.h"
#include "session/protocol/Messages.h"
#include "table/Table.h"

#include <QLoggingCategory>

#include <algorithm>
#include <memory>

namespace vellmar::tokens {

namespace {

Q_LOGGING_CATEGORY(lcMarkers, "vellmar.markers", QtWarningMsg)

template <typename T>
const T *valueOf(const session::Parsed<T> &parsed)
{
    return std::get_if<T>(&parsed);
}

template <typename T>
void skipUnreadable(const session::Parsed<T> &parsed)
{
    qCWarning(lcMarkers, "marker message skipped: %s", qUtf8Printable(std::get<QString>(parsed)));
}

} // namespace

MarkerExchange::MarkerExchange(table::Table &state, std::function<void()> repaint)
    : m_state(state)
    , m_repaint(std::move(repaint))
{}

void MarkerExchange::placeMarker(const QString &info, std::int32_t mapX, std::int32_t mapY)
{
    table::CMarker marker;
    marker.info = info;
    marker.player = m_state.userName;
    marker.mapX = mapX;
    marker.mapY = mapY;
    marker.UserID = m_state.ownPlayerID;
    if (m_state.isMaster)
        addMastersMarker(std::move(marker));
    else
        RequestPlaceMarker(marker); // appears when the master announces it
}

void MarkerExchange::addMastersMarker(table::CMarker marker)
{
    marker.id = m_state.NextMarkerID();
    auto record = std::make_shared<table::CMarker>(std::move(marker));
    // Ids come from this copy's own counter, so only markers received before
    // we became the id source could collide; such a clash keeps the old one.
    if (!m_state.markers.add(record))
        return;
    BroadcastPlaceMarker(*record);
    m_repaint();
}

bool MarkerExchange::modifyMarker(std::int32_t id, const QString &info)
{
    const auto marker = m_state.markers.find(id);
    if (!marker)
        return false;
    marker->info = info;
    BroadcastUpdateMarker(*marker);
    m_repaint();
    return true;
}

void MarkerExchange::removeCurrentMarker()
{
    const auto marker = m_state.currentMarker;
    if (!marker)
        return; // a removal from the network may have cleared it meanwhile
    m_state.sendToAll(session::MSG_REMOVE_MARKER, session::formatPayload(session::RemoveMarkerPayload{marker->id}));
    m_state.markers.remove(table::recordKey(marker->id));
    m_state.currentMarker.reset();
    m_repaint();
}

void MarkerExchange::RequestPlaceMarker(const table::CMarker &p_marker)
{
    m_state.sendToAll(session::MSG_REQUEST_MARKER,
                      session::formatPayload(session::RequestMarkerPayload{p_marker.info, p_marker.mapX, p_marker.mapY,
                                                                           p_marker.player, p_marker.UserID}));
}

namespace {
QString placeMarkerPayload(const table::CMarker &marker)
{
    return session::formatPayload(
        session::PlaceMarkerPayload{marker.id, marker.info, marker.mapX, marker.mapY, marker.player, marker.UserID});
}
} // namespace

void MarkerExchange::BroadcastPlaceMarker(const table::CMarker &p_marker)
{
    m_state.sendToAll(session::MSG_PLACE_MARKER, placeMarkerPayload(p_marker));
}

void MarkerExchange::sendMarkersTo(std::int32_t playerId)
{
    if (!m_state.isMaster)
        return;
    m_state.markers.forEach([&](const table::CMarker &marker) {
        m_state.sendTo(playerId, session::MSG_PLACE_MARKER, placeMarkerPayload(marker));
    });
}

void MarkerExchange::replaceMarkers(const std::vector<table::CMarker> &markers)
{
    if (!m_state.isMaster)
        return;
    std::vector<std::int32_t> gone;
    m_state.markers.forEach([&gone](const table::CMarker &marker) { gone.push_back(marker.id); });
    for (const std::int32_t id : gone) {
        m_state.sendToAll(session::MSG_REMOVE_MARKER, session::formatPayload(session::RemoveMarkerPayload{id}));
        m_state.markers.remove(table::recordKey(id));
    }
    m_state.currentMarker.reset();
    std::int32_t highest = 0;
    for (const table::CMarker &marker : markers) {
        highest = std::max(highest, marker.id);
        m_state.markers.add(std::make_shared<table::CMarker>(marker));
        BroadcastPlaceMarker(marker);
    }
    m_state.keepIdsAbove(highest, 0);
    m_repaint();
}

void MarkerExchange::BroadcastUpdateMarker(const table::CMarker &p_marker)
{
    m_state.sendToAll(session::MSG_UPDATE_MARKER, session::formatPayload(session::UpdateMarkerPayload{
                                                      p_marker.id, p_marker.info, p_marker.mapX, p_marker.mapY}));
}

void MarkerExchange::receive(std::int32_t type, std::int32_t from, const QString &payload)
{
    switch (type) {
    case session::MSG_REMOVE_MARKER:
        receiveRemove(from, payload);
        break;
    case session::MSG_PLACE_MARKER:
        receivePlace(from, payload);
        break;
    case session::MSG_REQUEST_MARKER:
        receiveRequest(from, payload);
        break;
    case session::MSG_UPDATE_MARKER:
        receiveUpdate(from, payload);
        break;
    default:
        break;
    }
}

void MarkerExchange::route(session::Dispatcher &dispatcher)
{
    for (const auto type : {session::MSG_REMOVE_MARKER, session::MSG_PLACE_MARKER, session::MSG_REQUEST_MARKER,
                            session::MSG_UPDATE_MARKER}) {
        dispatcher.route(
            type, session::Dispatcher::Payload::fields,
            [this, type](std::int32_t from, const QString &, const QString &payload) { receive(type, from, payload); });
    }
}

MarkerActor MarkerExchange::sender(std::int32_t from) const
{
    // The host stamps the sender, so only the master's own copy can send
    // under its id; names and payload fields prove nothing.
    return {from, m_state.masterPlayerID != 0 && from == m_state.masterPlayerID};
}

void MarkerExchange::receiveRemove(std::int32_t from, const QString &payload)
{
    // The payload is the key itself.
    const auto marker = m_state.markers.find(payload);
    if (!marker) {
        qCDebug(lcMarkers, "removal of unknown marker \"%s\" from player %d skipped", qUtf8Printable(payload), from);
        return;
    }
    if (!mayRemoveMarker(*marker, sender(from))) {
        qCWarning(lcMarkers, "removal of marker %d from player %d refused: only its owner %d or the master may",
                  marker->id, from, marker->UserID);
        return;
    }
    if (m_state.currentMarker && table::recordKey(m_state.currentMarker->id) == payload)
        m_state.currentMarker.reset();
    m_state.markers.remove(payload);
    m_repaint();
}

void MarkerExchange::receivePlace(std::int32_t from, const QString &payload)
{
    if (!mayAnnounceMarker(sender(from))) {
        qCWarning(lcMarkers, "marker announcement from player %d refused: only the master announces markers", from);
        return;
    }
    const auto parsed = session::parsePlaceMarker(payload);
    const auto *fields = valueOf(parsed);
    if (!fields)
        return skipUnreadable(parsed);
    auto marker = std::make_shared<table::CMarker>();
    marker->id = fields->id;
    marker->info = fields->info;
    marker->mapX = fields->mapX;
    marker->mapY = fields->mapY;
    marker->player = fields->player;
    marker->UserID = fields->userId;
    // An id we already hold (placed here before joining) keeps our marker.
    if (m_state.markers.add(marker))
        m_repaint();
    else
        qCWarning(lcMarkers, "announced marker %d skipped: this copy already holds that id", fields->id);
}

void MarkerExchange::receiveRequest(std::int32_t from, const QString &payload)
{
    if (!m_state.isMaster)
        return;
    const auto parsed = session::parseRequestMarker(payload);
    const auto *fields = valueOf(parsed);
    if (!fields)
        return skipUnreadable(parsed);
    // A player asks for its own markers only.
    if (fields->userId != from) {
        qCWarning(lcMarkers, "marker request from player %d for player %d refused", from, fields->userId);
        return;
    }
    // Every copy keeps and draws every marker, so one player's flood of
    // requests must not grow them without end.
    std::size_t held = 0;
    m_state.markers.forEach([&](const table::CMarker &marker) { held += marker.UserID == from ? 1 : 0; });
    if (held >= kMostMarkersPerPlayer) {
        qCWarning(lcMarkers, "marker request from player %d refused: it already has %zu markers", from, held);
        return;
    }
    table::CMarker marker;
    marker.info = fields->info;
    marker.mapX = fields->mapX;
    marker.mapY = fields->mapY;
    marker.player = fields->player;
    marker.UserID = fields->userId;
    addMastersMarker(std::move(marker));
}

void MarkerExchange::receiveUpdate(std::int32_t from, const QString &payload)
{
    const auto parsed = session::parseUpdateMarker(payload);
    const auto *fields = valueOf(parsed);
    if (!fields)
        return skipUnreadable(parsed);
    const auto marker = m_state.markers.find(fields->id);
    if (!marker) {
        qCDebug(lcMarkers, "update of unknown marker %d from player %d skipped", fields->id, from);
        return;
    }
    if (!mayChangeMarker(*marker, sender(from))) {
        qCWarning(lcMarkers, "update of marker %d from player %d refused: only its owner %d may change it", fields->id,
                  from, marker->UserID);
        return;
    }
    marker->info = fields->info;
    marker->mapX = fields->mapX;
    marker->mapY = fields->mapY;
    m_repaint();
}

} // namespace vellmar::tokens
