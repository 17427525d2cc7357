#pragma once

#include "PictureCache.h"
#include "PictureDownload.h"
#include "PictureSupply.h"

#include "map/sharing/FolderPictures.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QPointer>

#include <functional>
#include <memory>

namespace vellmar::session {
class Dispatcher;
}
namespace vellmar::table {
class Outbox;
struct Identity;
} // namespace vellmar::table

namespace vellmar::map {

// Pictures by content between the copies of a session. Every copy serves the
// pictures it holds verified (offered, in its cache, or found in its map
// folder) to whoever asks, and says so when it comes to hold one; a copy that
// lacks a shown picture pulls it in chunks, from the master first and then
// from any copy that holds it. See docs/protocol.md, "Pictures by content".
class PictureExchange final : public PictureSupply
{
    Q_OBJECT
public:
    // mapFolder: the copy's own map folder (where its map index lives);
    // pictures found there are used without fetching.
    PictureExchange(table::Outbox &outbox, const table::Identity &identity, session::Dispatcher &dispatcher,
                    PictureCache &cache, QString mapFolder, QObject *parent = nullptr);
    ~PictureExchange() override;

    void request(const table::ShownMap &map) override;
    QString localPath(const QByteArray &sha256) const override;
    QString heldPath(const table::ShownMap &map) override;
    void offer(const QByteArray &sha256, const QString &filePath) override;
    void limitStorage(qint64 bytes) override;

    const PictureExchangeSettings &settings() const { return m_settings; }
    // Applies to downloads started afterwards.
    void setSettings(const PictureExchangeSettings &settings) { m_settings = settings; }

    struct Counters
    {
        qint64 chunkBytesIn = 0;  // picture bytes received in chunks
        qint64 chunkBytesOut = 0; // picture bytes served
        int verifyFailures = 0;   // whole pictures thrown away
        int badMessages = 0;      // skipped as malformed
    };
    const Counters &counters() const { return m_counters; }
    const FolderPictures &folder() const { return m_folder; }

    // Tests change the bytes this copy serves, to play a faulty source.
    using ChunkTamper = std::function<void(qint64 offset, QByteArray &data)>;
    void setChunkTamper(ChunkTamper tamper) { m_tamper = std::move(tamper); }

private:
    void onHolds(std::int32_t from, const QString &payload);
    void onWhoHolds(std::int32_t from, const QString &payload);
    void onRequest(std::int32_t from, const QString &payload);
    void onChunk(std::int32_t from, QByteArrayView payload);
    void onNotHeld(std::int32_t from, const QString &payload);
    void nowHolding(const QByteArray &sha256, const QString &path);
    QList<std::int32_t> candidatesFor(const QByteArray &sha256) const;
    QByteArray readRange(const QByteArray &sha256, qint64 offset, qint64 length);
    void endDownload();
    bool skip(std::int32_t from, const QString &why);

    table::Outbox &m_outbox;
    const table::Identity &m_identity;
    PictureCache &m_cache;
    FolderPictures m_folder;
    PictureExchangeSettings m_settings;
    Counters m_counters;
    ChunkTamper m_tamper;

    QHash<QByteArray, QString> m_held;                // verified files this copy serves
    QHash<QByteArray, QList<std::int32_t>> m_holders; // who said they hold what
    QPointer<PictureDownload> m_download;
    // Downloads write their part files here; started with the exchange, not
    // when a transfer begins and the machine is busy.
    std::shared_ptr<QThread> m_writerThread;
    // The file being served, kept open while asks for it keep coming.
    QByteArray m_servingHash;
    std::unique_ptr<QFile> m_serving;
};

} // namespace vellmar::map
