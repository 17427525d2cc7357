#pragma once

#include "table/ShownMap.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>

namespace vellmar::map {

// Where a copy gets a shown map's picture: from its own map folder or
// picture cache when it already holds those bytes, otherwise from the
// session in chunks. Only verified bytes are ever handed out.
class PictureSupply : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Makes the shown map's picture available on this copy. Emits ready at
    // once (possibly before returning) when the bytes are held locally;
    // otherwise fetches them, emitting progress, then ready or failed.
    // A newer request replaces an unfinished older one.
    virtual void request(const table::ShownMap &map) = 0;
    // A verified file holding these bytes on this copy, or empty.
    virtual QString localPath(const QByteArray &sha256) const = 0;
    // A file on this copy holding the shown map's picture, looking wherever
    // that costs no transfer (the map folder too, where the supply has one);
    // empty when only a download would bring it.
    virtual QString heldPath(const table::ShownMap &map) { return localPath(map.pictureSha256); }
    // This copy can serve these bytes to others (the master's shown picture).
    virtual void offer(const QByteArray &sha256, const QString &filePath) = 0;
    // How many bytes of fetched pictures this copy may keep; a supply that
    // keeps none ignores it.
    virtual void limitStorage(qint64 bytes) { Q_UNUSED(bytes) }

Q_SIGNALS:
    void progress(const QByteArray &sha256, qint64 received, qint64 total);
    void ready(const QByteArray &sha256, const QString &verifiedPath);
    void failed(const QByteArray &sha256, const QString &reason);
    // Another participant announced that it holds these bytes.
    void peerHolds(std::int32_t playerId, const QByteArray &sha256);
};

} // namespace vellmar::map
