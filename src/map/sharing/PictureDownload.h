#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QThread;

namespace vellmar::map {

class PartWriter;
class PictureCache;

struct PictureExchangeSettings
{
    // Larger pictures are not fetched at all.
    qint64 maxPictureBytes = qint64(256) << 20;
    // Off: this copy fetches nothing and says why.
    bool downloadsAllowed = true;
    // Chunks asked for and not yet received, per download. Four (256,000
    // bytes) kept a loopback link as busy as eight did, and a chat line
    // waits behind half as much.
    int window = 4;
    // A source that sends nothing for this long is given up for the next.
    std::chrono::milliseconds sourceTimeout{4000};
    // Progress is reported at most this often (and once at the end).
    std::chrono::milliseconds progressInterval{100};
    // Whole pictures whose bytes did not match, before the download fails.
    int verifyAttempts = 3;
};

// One picture being fetched: asks its sources for chunks, a window at a
// time, keeps what arrived in order in the cache's part file (so a later
// download of the same picture starts where this one stopped), and checks
// the whole picture at the end. The writing and hashing happen on a thread
// of their own, as the chunks come. Sources are tried in order; one that
// leaves, refuses or falls silent is replaced by the next.
class PictureDownload : public QObject
{
    Q_OBJECT
public:
    // Sends a message to one player (0 = everyone); false when it cannot.
    using Send = std::function<bool(std::int32_t to, std::int32_t type, const QString &payload)>;
    // Who may hold the picture now, best first (asked again whenever every
    // source so far was lost).
    using Candidates = std::function<QList<std::int32_t>()>;

    // The part file is written on `writerThread`.
    PictureDownload(QByteArray sha256, qint64 size, PictureCache &cache, const PictureExchangeSettings &settings,
                    Send send, Candidates candidates, std::shared_ptr<QThread> writerThread, QObject *parent = nullptr);
    // Waits for the chunk being written, if any.
    ~PictureDownload() override;

    const QByteArray &sha256() const { return m_sha256; }
    qint64 size() const { return m_size; }
    qint64 received() const { return m_have; }
    int verifyFailures() const { return m_verifyFailures; }

    // Continues from the part file, asking the first candidate.
    void start();
    // Ends the download now: nothing more is asked or written.
    void stop();
    void addSource(std::int32_t player);
    // The source said it does not hold the picture.
    void dropSource(std::int32_t player);
    // Someone left: checks the current source is still there.
    void checkSource();
    // Bytes for this picture from a player; length and offset as checked
    // by the caller against chunkLength.
    void takeChunk(std::int32_t from, qint64 offset, const QByteArray &data);
    // The length a chunk at this offset must have, or 0 for no such chunk.
    qint64 chunkLength(qint64 offset) const;

Q_SIGNALS:
    void progress(qint64 received, qint64 total);
    void finished(const QString &verifiedPath);
    void failed(const QString &reason);

private:
    void askMore();
    void loseSource(std::int32_t player, const char *why);
    void nextSource(const char *why);
    bool fail(const QString &reason);
    void onTimeout();
    void startWriter(qint64 kept);
    void retireWriter();
    void verify(const QByteArray &digest);
    void restart();
    void reportProgress(bool force);

    QByteArray m_sha256;
    qint64 m_size;
    PictureCache &m_cache;
    PictureExchangeSettings m_settings;
    Send m_send;
    Candidates m_candidates;

    std::shared_ptr<QThread> m_writerThread;
    std::unique_ptr<PartWriter> m_writer;
    qint64 m_have = 0;                    // bytes handed to the writer, in order
    qint64 m_stored = 0;                  // bytes the writer has put in the part file
    std::map<qint64, QByteArray> m_ahead; // arrived past a gap
    QSet<qint64> m_asked;                 // offsets asked of the current source
    qint64 m_nextAsk = 0;
    QList<std::int32_t> m_sources;
    std::int32_t m_current = 0;
    QTimer m_silence;
    QElapsedTimer m_sinceProgress;
    int m_verifyFailures = 0;
    bool m_done = false;
};

} // namespace vellmar::map
