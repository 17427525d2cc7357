#pragma once

#include "table/ShownMap.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QImage;

namespace vellmar::table {
class Table;
}
namespace vellmar::session {
class Dispatcher;
}

namespace vellmar::map {

class MapState;
class PictureSupply;

// The largest picture the master may show unless it sets another limit.
inline constexpr qint64 defaultShownPictureLimit = qint64(256) * 1024 * 1024;

// The SHA-256 of a file's bytes, read in pieces; empty when it cannot be read.
std::optional<QByteArray> fileSha256(const QString &path);

// "Loading map Crypt of the Old King: 7.2 of 20.0 MB", with MB meaning
// 1,000,000 bytes and one decimal.
QString loadingLine(const QString &name, qint64 received, qint64 total);

// The map the master shows to every player. On the master's copy it turns the
// locally loaded map into the table's map and tells everyone; on a player's
// copy it takes that message, has the picture supplied and draws it with the
// master's name and grid. Zoom and scroll stay each copy's own, and a
// player's own map folder and index are never touched.
class ShownMapExchange final : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        std::function<void(const QString &)> chatLine;
        std::function<void(const QString &)> status;
        // The map state changed: the view takes the new picture and redraws.
        std::function<void()> mapReplaced;
    };

    ShownMapExchange(table::Table &table, MapState &map, PictureSupply &supply, Hooks hooks, QObject *parent = nullptr);

    // Pictures above this many bytes are refused before anything is sent.
    qint64 pictureLimit = defaultShownPictureLimit;
    // A player's setting: shown maps whose picture this copy lacks are not
    // downloaded; the player sees the map's name and a message instead.
    // Allowing downloads again fetches the map shown meanwhile.
    void setDownloadsRefused(bool refused);
    bool downloadsRefused() const { return m_downloadsRefused; }

    // The master's command: the loaded map becomes the table's map. Empty on
    // success, otherwise why nothing was sent. Hashes the picture file on
    // the calling thread (the caller shows a busy pointer).
    QString showLoadedMap();
    // The shown map to one player (one who joined late); nothing when none
    // is shown or this copy is not the master.
    void sendTo(std::int32_t playerId) const;
    // The master's view: whether this player has the shown map's picture.
    bool playerHasMap(std::int32_t playerId) const;

    // A received type 1000; counts only from the master.
    void receive(std::int32_t from, const QString &payload);
    void route(session::Dispatcher &dispatcher);

Q_SIGNALS:
    // Some player now holds other pictures than before.
    void readinessChanged();

private:
    bool isCurrent(const QByteArray &sha256) const;
    void onProgress(const QByteArray &sha256, qint64 received, qint64 total);
    void onReady(const QByteArray &sha256, const QString &verifiedPath);
    void onFailed(const QByteArray &sha256, const QString &reason);
    void onPeerHolds(std::int32_t playerId, const QByteArray &sha256);
    void apply(const table::ShownMap &shown, const QImage &picture, const QString &file);
    void fetch(const table::ShownMap &shown);

    table::Table &m_table;
    MapState &m_map;
    PictureSupply &m_supply;
    Hooks m_hooks;
    QHash<std::int32_t, QSet<QByteArray>> m_holds;
    bool m_downloadsRefused = false;
    // The shown picture left unfetched because downloads were refused.
    QByteArray m_refusedPicture;
};

} // namespace vellmar::map
