#include "ShownMapExchange.h"

#include "core/Sha256.h"
#include "map/MapState.h"
#include "map/PictureLoader.h"
#include "map/sharing/PictureSupply.h"
#include "session/binding/Dispatcher.h"
#include "session/protocol/TableMessages.h"
#include "table/Table.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace vellmar::map {

namespace {

Q_LOGGING_CATEGORY(lcShownMap, "vellmar.map.shown", QtWarningMsg)

QString megabytes(qint64 bytes) { return QString::number(double(bytes) / 1e6, 'f', 1); }

session::ShowMapPayload payloadOf(const table::ShownMap &map)
{
    return {map.map10Size, map.map10OffsetX, map.map10OffsetY, map.pictureSha256, map.pictureSize, map.name};
}

} // namespace

std::optional<QByteArray> fileSha256(const QString &path) { return core::fileSha256(path); }

QString loadingLine(const QString &name, qint64 received, qint64 total)
{
    return QStringLiteral("Loading map %1: %2 of %3 MB").arg(name, megabytes(received), megabytes(total));
}

ShownMapExchange::ShownMapExchange(table::Table &table, MapState &map, PictureSupply &supply, Hooks hooks,
                                   QObject *parent)
    : QObject(parent)
    , m_table(table)
    , m_map(map)
    , m_supply(supply)
    , m_hooks(std::move(hooks))
{
    connect(&supply, &PictureSupply::progress, this, &ShownMapExchange::onProgress);
    connect(&supply, &PictureSupply::ready, this, &ShownMapExchange::onReady);
    connect(&supply, &PictureSupply::failed, this, &ShownMapExchange::onFailed);
    connect(&supply, &PictureSupply::peerHolds, this, &ShownMapExchange::onPeerHolds);
}

QString ShownMapExchange::showLoadedMap()
{
    if (!m_table.isMaster || !m_table.inSession)
        return QStringLiteral("Only the master in a session can show a map to the players.");
    if (!m_map.mapLoaded)
        return QStringLiteral("Load a map first: the map that is loaded is the one shown to the players.");
    table::ShownMap shown;
    shown.name = m_map.name;
    shown.map10Size = m_map.map10Size;
    shown.map10OffsetX = m_map.map10OffsetX;
    shown.map10OffsetY = m_map.map10OffsetY;
    if (!m_map.picture.isNull() && !m_map.pictureFile.isEmpty()) {
        const QFileInfo file(m_map.pictureFile);
        if (!file.isFile())
            return QStringLiteral("The picture file of the map \"%1\" is gone (%2); nothing was sent.")
                .arg(shown.name, m_map.pictureFile);
        if (file.size() > pictureLimit)
            return QStringLiteral("The picture of the map \"%1\" is %2 MB, more than the %3 MB a shown map may have; "
                                  "nothing was sent.")
                .arg(shown.name, megabytes(file.size()), megabytes(pictureLimit));
        const auto hash = fileSha256(m_map.pictureFile);
        if (!hash)
            return QStringLiteral("The picture file of the map \"%1\" cannot be read (%2); nothing was sent.")
                .arg(shown.name, m_map.pictureFile);
        shown.pictureSha256 = *hash;
        shown.pictureSize = file.size();
        m_supply.offer(shown.pictureSha256, m_map.pictureFile);
    }
    m_table.shownMap = shown;
    m_table.sendToAll(session::MSG_SHOW_MAP, session::formatPayload(payloadOf(shown)));
    Q_EMIT readinessChanged();
    return {};
}

void ShownMapExchange::sendTo(std::int32_t playerId) const
{
    if (m_table.isMaster && m_table.shownMap)
        m_table.sendTo(playerId, session::MSG_SHOW_MAP, session::formatPayload(payloadOf(*m_table.shownMap)));
}

bool ShownMapExchange::playerHasMap(std::int32_t playerId) const
{
    if (!m_table.shownMap)
        return false;
    return m_table.shownMap->pictureSha256.isEmpty()
           || m_holds.value(playerId).contains(m_table.shownMap->pictureSha256);
}

void ShownMapExchange::route(session::Dispatcher &dispatcher)
{
    dispatcher.route(session::MSG_SHOW_MAP, session::Dispatcher::Payload::fields,
                     [this](std::int32_t from, const QString &, const QString &payload) { receive(from, payload); });
}

void ShownMapExchange::receive(std::int32_t from, const QString &payload)
{
    if (!m_table.fromMaster(from)) {
        qCWarning(lcShownMap, "shown map from player %d refused: only the master shows maps", from);
        return;
    }
    const auto parsed = session::parseShowMap(payload);
    const auto *fields = std::get_if<session::ShowMapPayload>(&parsed);
    if (!fields) {
        qCWarning(lcShownMap, "shown map skipped: %s", qUtf8Printable(std::get<QString>(parsed)));
        return;
    }
    table::ShownMap shown;
    shown.name = fields->name;
    shown.map10Size = fields->map10Size;
    shown.map10OffsetX = fields->map10OffsetX;
    shown.map10OffsetY = fields->map10OffsetY;
    shown.pictureSha256 = fields->pictureSha256;
    shown.pictureSize = fields->pictureSize;
    m_table.shownMap = shown;
    m_refusedPicture.clear();

    if (shown.pictureSha256.isEmpty()) {
        apply(shown, QImage(), QString());
        return;
    }
    if (m_downloadsRefused && m_supply.heldPath(shown).isEmpty()) {
        m_refusedPicture = shown.pictureSha256;
        const QString line =
            QStringLiteral("The master shows the map \"%1\" (%2 MB); it is not loaded because downloading shown maps "
                           "is switched off (Session menu, \"Download Maps the Master Shows\").")
                .arg(shown.name, megabytes(shown.pictureSize));
        m_hooks.chatLine(line);
        m_hooks.status(u"Map shown by the master: " + shown.name);
        return;
    }
    fetch(shown);
}

void ShownMapExchange::fetch(const table::ShownMap &shown)
{
    m_hooks.status(loadingLine(shown.name, 0, shown.pictureSize));
    m_supply.request(shown); // may answer at once
}

void ShownMapExchange::setDownloadsRefused(bool refused)
{
    m_downloadsRefused = refused;
    if (refused || m_refusedPicture.isEmpty())
        return;
    m_refusedPicture.clear();
    if (!m_table.isMaster && m_table.shownMap && !m_table.shownMap->pictureSha256.isEmpty())
        fetch(*m_table.shownMap);
}

bool ShownMapExchange::isCurrent(const QByteArray &sha256) const
{
    // The master's own offer answers nothing here; a player takes only the
    // picture of the map shown last.
    return !m_table.isMaster && m_table.shownMap && m_table.shownMap->pictureSha256 == sha256;
}

void ShownMapExchange::onProgress(const QByteArray &sha256, qint64 received, qint64 total)
{
    if (isCurrent(sha256))
        m_hooks.status(loadingLine(m_table.shownMap->name, received, total));
}

void ShownMapExchange::onReady(const QByteArray &sha256, const QString &verifiedPath)
{
    if (!isCurrent(sha256))
        return;
    const table::ShownMap shown = *m_table.shownMap;
    // The same loader and allocation limit as a map loaded from the index.
    const PictureLoad load = loadMapPicture(verifiedPath);
    if (load.picture.isNull()) {
        m_hooks.chatLine(
            QStringLiteral("The map \"%1\" shown by the master cannot be drawn: %2").arg(shown.name, load.problem));
        m_hooks.status(u"Map not shown: " + shown.name);
        return;
    }
    apply(shown, load.picture, verifiedPath);
}

void ShownMapExchange::onFailed(const QByteArray &sha256, const QString &reason)
{
    if (!isCurrent(sha256))
        return;
    m_hooks.chatLine(QStringLiteral("The map \"%1\" shown by the master could not be loaded: %2")
                         .arg(m_table.shownMap->name, reason));
    m_hooks.status(u"Map not shown: " + m_table.shownMap->name);
}

void ShownMapExchange::onPeerHolds(std::int32_t playerId, const QByteArray &sha256)
{
    auto &held = m_holds[playerId];
    if (held.contains(sha256))
        return;
    held.insert(sha256);
    Q_EMIT readinessChanged();
}

void ShownMapExchange::apply(const table::ShownMap &shown, const QImage &picture, const QString &file)
{
    m_map.picture = picture;
    m_map.pictureFile = file;
    m_map.name = shown.name;
    m_map.map10Size = shown.map10Size;
    m_map.map10OffsetX = shown.map10OffsetX;
    m_map.map10OffsetY = shown.map10OffsetY;
    m_map.mapLoaded = true;
    m_hooks.mapReplaced();
    m_hooks.status(u"Map shown by the master: " + shown.name);
}

} // namespace vellmar::map
