#include "PictureExchange.h"

#include "PartWriter.h"
#include "PictureLog.h"

#include "session/binding/Dispatcher.h"
#include "session/protocol/PictureMessages.h"
#include "table/Identity.h"
#include "table/Outbox.h"

#include <QFileInfo>

namespace vellmar::map {

using namespace session;

PictureExchange::PictureExchange(table::Outbox &outbox, const table::Identity &identity, Dispatcher &dispatcher,
                                 PictureCache &cache, QString mapFolder, QObject *parent)
    : PictureSupply(parent)
    , m_outbox(outbox)
    , m_identity(identity)
    , m_cache(cache)
    , m_folder(std::move(mapFolder))
    , m_writerThread(PartWriter::startThread())
{
    const auto on = [&](std::int32_t type, void (PictureExchange::*handler)(std::int32_t, const QString &)) {
        dispatcher.route(type, Dispatcher::Payload::fields,
                         [this, handler](PlayerId from, const QString &, const QString &payload) {
                             (this->*handler)(from, payload);
                         });
    };
    on(MSG_PICTURE_HOLDS, &PictureExchange::onHolds);
    on(MSG_PICTURE_WHO_HOLDS, &PictureExchange::onWhoHolds);
    on(MSG_PICTURE_REQUEST, &PictureExchange::onRequest);
    dispatcher.routeBytes(MSG_PICTURE_CHUNK, [this](PlayerId from, QByteArrayView payload) { onChunk(from, payload); });
    on(MSG_PICTURE_NOT_HELD, &PictureExchange::onNotHeld);
    dispatcher.onNotice(NOTICE_PLAYER_DESTROYED, [this] {
        if (m_download)
            m_download->checkSource();
    });
}

PictureExchange::~PictureExchange() = default;

bool PictureExchange::skip(std::int32_t from, const QString &why)
{
    ++m_counters.badMessages;
    qCWarning(lcPictures, "skipped a picture message from player %d: %s", int(from), qUtf8Printable(why));
    return false;
}

QString PictureExchange::localPath(const QByteArray &sha256) const
{
    const QString held = m_held.value(sha256);
    if (!held.isEmpty() && QFileInfo::exists(held))
        return held;
    return m_cache.pathFor(sha256);
}

void PictureExchange::limitStorage(qint64 bytes) { m_cache.setLimitBytes(bytes); }

QString PictureExchange::heldPath(const table::ShownMap &map)
{
    const QString path = localPath(map.pictureSha256);
    return path.isEmpty() && map.pictureSha256.size() == 32 ? m_folder.find(map.pictureSha256, map.pictureSize) : path;
}

void PictureExchange::offer(const QByteArray &sha256, const QString &filePath)
{
    if (sha256.size() != 32 || !QFileInfo(filePath).isFile()) {
        qCWarning(lcPictures, "cannot offer %s: no such file", qUtf8Printable(filePath));
        return;
    }
    nowHolding(sha256, filePath);
}

void PictureExchange::nowHolding(const QByteArray &sha256, const QString &path)
{
    const bool known = m_held.value(sha256) == path;
    m_held.insert(sha256, path);
    if (m_servingHash == sha256)
        m_serving.reset(); // the file may have moved
    if (!known)
        m_outbox.sendToAll(MSG_PICTURE_HOLDS, formatPayload(PictureHolds{sha256, QFileInfo(path).size()}));
}

void PictureExchange::endDownload()
{
    if (m_download) {
        m_counters.verifyFailures += m_download->verifyFailures();
        m_download->stop(); // its writer lets go of the part file now
        m_download->disconnect(this);
        m_download->deleteLater();
    }
    m_download.clear();
}

void PictureExchange::request(const table::ShownMap &map)
{
    const QByteArray &sha256 = map.pictureSha256;
    if (m_download && m_download->sha256() == sha256)
        return; // already on its way
    endDownload();
    if (sha256.isEmpty())
        return; // a map without a picture needs nothing
    if (sha256.size() != 32) {
        Q_EMIT failed(sha256, QStringLiteral("The map names its picture with an invalid hash"));
        return;
    }
    m_cache.setInUse(sha256);
    QString path = localPath(sha256);
    if (path.isEmpty())
        path = m_folder.find(sha256, map.pictureSize);
    if (!path.isEmpty()) {
        nowHolding(sha256, path);
        Q_EMIT ready(sha256, path);
        return;
    }
    if (!m_settings.downloadsAllowed) {
        Q_EMIT failed(sha256, QStringLiteral("Downloading map pictures is turned off in the settings"));
        return;
    }
    if (map.pictureSize <= 0 || map.pictureSize > m_settings.maxPictureBytes) {
        Q_EMIT failed(sha256, QStringLiteral("The picture (%1 MB) is larger than the limit of %2 MB")
                                  .arg(double(map.pictureSize) / 1e6, 0, 'f', 1)
                                  .arg(double(m_settings.maxPictureBytes) / 1e6, 0, 'f', 1));
        return;
    }
    const auto send = [this](std::int32_t to, std::int32_t type, const QString &payload) {
        return to == 0 ? m_outbox.sendToAll(type, payload) : m_outbox.sendTo(to, type, payload);
    };
    auto *download = new PictureDownload(
        sha256, map.pictureSize, m_cache, m_settings, send, [this, sha256] { return candidatesFor(sha256); },
        m_writerThread, this);
    m_download = download;
    connect(download, &PictureDownload::progress, this,
            [this, sha256](qint64 received, qint64 total) { Q_EMIT progress(sha256, received, total); });
    connect(download, &PictureDownload::finished, this, [this, sha256](const QString &verified) {
        endDownload();
        nowHolding(sha256, verified);
        Q_EMIT ready(sha256, verified);
    });
    connect(download, &PictureDownload::failed, this, [this, sha256](const QString &reason) {
        endDownload();
        Q_EMIT failed(sha256, reason);
    });
    download->start();
}

QList<std::int32_t> PictureExchange::candidatesFor(const QByteArray &sha256) const
{
    QList<std::int32_t> sources;
    const std::int32_t self = m_identity.ownPlayerID;
    if (m_identity.masterPlayerID != 0 && m_identity.masterPlayerID != self)
        sources.append(m_identity.masterPlayerID);
    for (std::int32_t holder : m_holders.value(sha256)) {
        if (holder != self && !sources.contains(holder))
            sources.append(holder);
    }
    return sources;
}

void PictureExchange::onHolds(std::int32_t from, const QString &payload)
{
    auto parsed = parsePictureHolds(payload);
    if (auto *why = std::get_if<QString>(&parsed)) {
        skip(from, *why);
        return;
    }
    const auto &holds = std::get<PictureHolds>(parsed);
    QList<std::int32_t> &holders = m_holders[holds.sha256];
    if (!holders.contains(from))
        holders.append(from);
    Q_EMIT peerHolds(from, holds.sha256);
    if (m_download && m_download->sha256() == holds.sha256 && m_download->size() == holds.size)
        m_download->addSource(from);
}

void PictureExchange::onWhoHolds(std::int32_t from, const QString &payload)
{
    auto parsed = parsePictureWhoHolds(payload);
    if (auto *why = std::get_if<QString>(&parsed)) {
        skip(from, *why);
        return;
    }
    const QByteArray &sha256 = std::get<PictureWhoHolds>(parsed).sha256;
    const QString path = localPath(sha256);
    if (!path.isEmpty())
        m_outbox.sendTo(from, MSG_PICTURE_HOLDS, formatPayload(PictureHolds{sha256, QFileInfo(path).size()}));
}

QByteArray PictureExchange::readRange(const QByteArray &sha256, qint64 offset, qint64 length)
{
    if (m_servingHash != sha256 || !m_serving) {
        m_serving.reset();
        m_servingHash = sha256;
        const QString path = localPath(sha256);
        if (path.isEmpty())
            return {};
        m_serving = std::make_unique<QFile>(path);
        if (!m_serving->open(QIODevice::ReadOnly)) {
            m_serving.reset();
            return {};
        }
    }
    if (offset + length > m_serving->size() || !m_serving->seek(offset))
        return {};
    QByteArray data = m_serving->read(length);
    return data.size() == length ? data : QByteArray();
}

void PictureExchange::onRequest(std::int32_t from, const QString &payload)
{
    auto parsed = parsePictureRequest(payload);
    if (auto *why = std::get_if<QString>(&parsed)) {
        skip(from, *why);
        return;
    }
    const auto &ask = std::get<PictureRequest>(parsed);
    QByteArray data = readRange(ask.sha256, ask.offset, ask.length);
    if (data.isEmpty()) {
        // Not ours, or past its end: the asker moves on to another source.
        m_outbox.sendTo(from, MSG_PICTURE_NOT_HELD, formatPayload(PictureNotHeld{ask.sha256}));
        return;
    }
    if (m_tamper)
        m_tamper(ask.offset, data);
    m_counters.chunkBytesOut += data.size();
    m_outbox.sendBulkBytesTo(from, MSG_PICTURE_CHUNK, formatPayload(PictureChunk{ask.sha256, ask.offset, data}));
}

void PictureExchange::onChunk(std::int32_t from, QByteArrayView payload)
{
    auto parsed = parsePictureChunk(payload);
    if (auto *why = std::get_if<QString>(&parsed)) {
        skip(from, *why);
        return;
    }
    const auto &chunk = std::get<PictureChunk>(parsed);
    if (!m_download || m_download->sha256() != chunk.sha256)
        return; // a late answer for a picture no longer wanted
    if (m_download->chunkLength(chunk.offset) != chunk.data.size()) {
        skip(from, QStringLiteral("chunk at %1 of %2 bytes does not fit a picture of %3 bytes")
                       .arg(chunk.offset)
                       .arg(chunk.data.size())
                       .arg(m_download->size()));
        return;
    }
    m_counters.chunkBytesIn += chunk.data.size();
    m_download->takeChunk(from, chunk.offset, chunk.data);
}

void PictureExchange::onNotHeld(std::int32_t from, const QString &payload)
{
    auto parsed = parsePictureNotHeld(payload);
    if (auto *why = std::get_if<QString>(&parsed)) {
        skip(from, *why);
        return;
    }
    const QByteArray &sha256 = std::get<PictureNotHeld>(parsed).sha256;
    m_holders[sha256].removeAll(from);
    if (m_download && m_download->sha256() == sha256)
        m_download->dropSource(from);
}

} // namespace vellmar::map
