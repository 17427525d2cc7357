#include "PictureDownload.h"

#include "PartWriter.h"
#include "PictureCache.h"
#include "PictureLog.h"

#include "session/protocol/PictureMessages.h"

#include <QFileInfo>

namespace vellmar::map {

using namespace session;

PictureDownload::PictureDownload(QByteArray sha256, qint64 size, PictureCache &cache,
                                 const PictureExchangeSettings &settings, Send send, Candidates candidates,
                                 std::shared_ptr<QThread> writerThread, QObject *parent)
    : QObject(parent)
    , m_sha256(std::move(sha256))
    , m_size(size)
    , m_cache(cache)
    , m_settings(settings)
    , m_send(std::move(send))
    , m_candidates(std::move(candidates))
    , m_writerThread(std::move(writerThread))
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(m_settings.sourceTimeout);
    connect(&m_silence, &QTimer::timeout, this, &PictureDownload::onTimeout);
}

PictureDownload::~PictureDownload() = default;

qint64 PictureDownload::chunkLength(qint64 offset) const
{
    if (offset < 0 || offset >= m_size || offset % kPictureChunkBytes != 0)
        return 0;
    return std::min(kPictureChunkBytes, m_size - offset);
}

bool PictureDownload::fail(const QString &reason)
{
    m_done = true;
    m_silence.stop();
    retireWriter();
    Q_EMIT failed(reason);
    return false;
}

void PictureDownload::stop()
{
    m_done = true;
    m_silence.stop();
    m_writer.reset();
}

// A new writer takes over the part file; an earlier one must be done with
// it (retired after its last call, or stopped).
void PictureDownload::startWriter(qint64 kept)
{
    m_writer = std::make_unique<PartWriter>(m_writerThread, m_cache.partPath(m_sha256), kept);
    m_stored = kept;
    connect(m_writer.get(), &PartWriter::written, this, [this](qint64 total) {
        m_stored = total;
        reportProgress(false);
        askMore(); // the writer has room again
    });
    connect(m_writer.get(), &PartWriter::finished, this, &PictureDownload::verify);
    connect(m_writer.get(), &PartWriter::failed, this,
            [this](const QString &why) { fail(QStringLiteral("The picture cache cannot be written: %1").arg(why)); });
}

// A writer whose work is over, perhaps still in one of its own signals, is
// deleted later.
void PictureDownload::retireWriter()
{
    if (m_writer) {
        m_writer->disconnect(this);
        m_writer.release()->deleteLater();
    }
}

void PictureDownload::start()
{
    // What an earlier attempt left, up to its last whole chunk.
    m_have = std::min(QFileInfo(m_cache.partPath(m_sha256)).size(), m_size);
    if (m_have < m_size)
        m_have -= m_have % kPictureChunkBytes;
    if (m_have > 0)
        qCDebug(lcPictures, "resuming %s at %lld", qPrintable(hashToHex(m_sha256)), qlonglong(m_have));
    startWriter(m_have);
    m_nextAsk = m_have;
    m_sources = m_candidates();
    m_sinceProgress.start();
    reportProgress(true);
    if (m_have == m_size)
        m_writer->finish();
    else
        askMore();
}

void PictureDownload::addSource(std::int32_t player)
{
    if (m_done || m_sources.contains(player))
        return;
    m_sources.append(player);
    if (m_current == 0)
        askMore();
}

void PictureDownload::loseSource(std::int32_t player, const char *why)
{
    qCDebug(lcPictures, "source %d for %s %s", int(player), qPrintable(hashToHex(m_sha256)), why);
    m_sources.removeAll(player);
    if (player != m_current)
        return;
    m_current = 0;
    m_asked.clear();
}

void PictureDownload::dropSource(std::int32_t player)
{
    if (m_done)
        return;
    const bool wasCurrent = player == m_current;
    loseSource(player, "does not hold it");
    if (wasCurrent)
        askMore();
}

void PictureDownload::checkSource()
{
    if (m_done || m_current == 0)
        return;
    // A send to a player who left fails at once; the answer is harmless.
    if (!m_send(m_current, MSG_PICTURE_WHO_HOLDS, formatPayload(PictureWhoHolds{m_sha256}))) {
        loseSource(m_current, "left");
        askMore();
    }
}

void PictureDownload::nextSource(const char *why)
{
    qCInfo(lcPictures, "source %d for %s %s; trying the next", int(m_current), qPrintable(hashToHex(m_sha256)), why);
    // The silent source goes to the back: when it is the only one it is
    // asked again, from where the part file ends.
    if (m_current != 0) {
        m_sources.removeAll(m_current);
        m_sources.append(m_current);
    }
    m_current = 0;
    m_asked.clear();
}

void PictureDownload::onTimeout()
{
    if (m_done)
        return;
    if (m_current != 0)
        nextSource("stopped answering");
    else if (m_sources.isEmpty())
        m_sources = m_candidates();
    askMore();
}

void PictureDownload::askMore()
{
    if (m_have == m_size)
        return; // everything is here; the check is on its way
    // The writer holds at most a window of chunks not yet written, so a slow
    // disk slows the download instead of filling memory.
    if (m_have - m_stored >= qint64(m_settings.window) * kPictureChunkBytes)
        return;
    while (!m_done) {
        if (m_current == 0) {
            if (m_sources.isEmpty()) {
                // Nobody known holds it: ask around and look again later.
                m_send(0, MSG_PICTURE_WHO_HOLDS, formatPayload(PictureWhoHolds{m_sha256}));
                m_silence.start();
                return;
            }
            m_current = m_sources.first();
            m_nextAsk = m_have;
            m_silence.start();
        }
        bool lost = false;
        while (m_asked.size() < m_settings.window && m_nextAsk < m_size) {
            const qint64 offset = m_nextAsk;
            const qint64 length = chunkLength(offset);
            if (m_ahead.count(offset) == 0) {
                if (!m_send(m_current, MSG_PICTURE_REQUEST, formatPayload(PictureRequest{m_sha256, offset, length}))) {
                    lost = true;
                    break;
                }
                m_asked.insert(offset);
            }
            m_nextAsk += length;
        }
        if (!lost)
            return;
        loseSource(m_current, "cannot be reached");
    }
}

void PictureDownload::takeChunk(std::int32_t from, qint64 offset, const QByteArray &data)
{
    Q_UNUSED(from);
    if (m_done || offset < m_have || m_ahead.count(offset) != 0)
        return; // already here (a late answer from an earlier source)
    m_asked.remove(offset);
    m_ahead.emplace(offset, data);
    while (!m_ahead.empty() && m_ahead.begin()->first == m_have) {
        m_writer->append(m_ahead.begin()->second);
        m_have += m_ahead.begin()->second.size();
        m_ahead.erase(m_ahead.begin());
    }
    if (m_have == m_size) {
        m_silence.stop();
        m_writer->finish();
        return;
    }
    m_silence.start();
    askMore();
}

void PictureDownload::verify(const QByteArray &digest)
{
    retireWriter();
    const QString path = m_cache.adoptPart(m_sha256, digest);
    if (!path.isEmpty()) {
        m_done = true;
        m_stored = m_size;
        reportProgress(true);
        Q_EMIT finished(path);
        return;
    }
    ++m_verifyFailures;
    qCWarning(lcPictures, "picture %s did not match its hash (attempt %d); fetching it again",
              qPrintable(hashToHex(m_sha256)), m_verifyFailures);
    if (m_verifyFailures >= m_settings.verifyAttempts) {
        fail(QStringLiteral("The picture's bytes did not match its hash %1 times").arg(m_verifyFailures));
        return;
    }
    restart();
}

void PictureDownload::restart()
{
    m_have = 0;
    m_ahead.clear();
    startWriter(0);
    nextSource("sent bytes that did not match");
    reportProgress(true);
    askMore();
}

void PictureDownload::reportProgress(bool force)
{
    if (!force && m_sinceProgress.elapsed() < m_settings.progressInterval.count())
        return;
    m_sinceProgress.restart();
    Q_EMIT progress(m_stored, m_size);
}

} // namespace vellmar::map
