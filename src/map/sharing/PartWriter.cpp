#include "PartWriter.h"

#include "core/Sha256.h"

#include <QFile>
#include <QThread>

#include <atomic>

namespace vellmar::map {

// Lives on the writing thread; everything it does arrives there as a queued
// call, so it runs in the order it was asked for.
class PartWriter::Worker final : public QObject
{
    Q_OBJECT
public:
    explicit Worker(const QString &path) : m_file(path) { m_file.setParent(this); } // moves with the worker

    // Set from the UI thread: whatever is still queued is skipped.
    std::atomic<bool> cancelled{false};

    void start(qint64 kept)
    {
        // Made on this thread, in case the library is still being set up.
        m_sha = std::make_unique<core::Sha256>();
        if (!m_file.open(QIODevice::ReadWrite) || !m_file.resize(kept)) {
            stop();
            return;
        }
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        while (m_written < kept && !cancelled) {
            const qint64 got = m_file.read(buffer.data(), std::min<qint64>(buffer.size(), kept - m_written));
            if (got <= 0) {
                stop();
                return;
            }
            m_sha->addData(QByteArrayView(buffer.constData(), got));
            m_written += got;
        }
    }

    void append(const QByteArray &bytes)
    {
        if (m_broken || cancelled)
            return;
        if (m_file.write(bytes) != bytes.size()) {
            stop();
            return;
        }
        m_sha->addData(bytes);
        m_written += bytes.size();
        Q_EMIT written(m_written);
    }

    void finish()
    {
        if (m_broken || cancelled)
            return;
        // Written out before the digest is trusted: the file is renamed to
        // what the digest promises.
        if (!m_file.flush()) {
            stop();
            return;
        }
        m_file.close();
        Q_EMIT finished(m_sha->result());
    }

    void close() { m_file.close(); }

Q_SIGNALS:
    void written(qint64 total);
    void finished(const QByteArray &sha256);
    void failed(const QString &reason);

private:
    void stop()
    {
        m_broken = true;
        Q_EMIT failed(m_file.errorString());
        m_file.close();
    }

    QFile m_file;
    std::unique_ptr<core::Sha256> m_sha;
    qint64 m_written = 0;
    bool m_broken = false;
};

PartWriter::Thread PartWriter::startThread()
{
    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("picture writer"));
    thread->start();
    // The first hash of a process sets up its library, which takes
    // milliseconds of processor time: done now rather than when a transfer
    // begins and every copy is busy.
    auto *warmUp = new QObject;
    warmUp->moveToThread(thread);
    QMetaObject::invokeMethod(
        warmUp,
        [warmUp] {
            core::Sha256().result();
            delete warmUp;
        },
        Qt::QueuedConnection);
    // Workers retired with deleteLater are deleted as the thread ends.
    return Thread(thread, [](QThread *done) {
        done->quit();
        done->wait();
        delete done;
    });
}

PartWriter::PartWriter(Thread thread, const QString &path, qint64 kept, QObject *parent)
    : QObject(parent)
    , m_thread(std::move(thread))
    , m_worker(new Worker(path))
{
    m_worker->moveToThread(m_thread.get());
    connect(m_worker, &Worker::written, this, &PartWriter::written);
    connect(m_worker, &Worker::finished, this, &PartWriter::finished);
    connect(m_worker, &Worker::failed, this, &PartWriter::failed);
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, kept] { worker->start(kept); }, Qt::QueuedConnection);
}

PartWriter::~PartWriter()
{
    m_worker->cancelled = true;
    // Runs behind the calls queued before it, which return at once now.
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->close(); }, Qt::BlockingQueuedConnection);
    m_worker->disconnect(this);
    m_worker->deleteLater(); // on its own thread
}

void PartWriter::append(const QByteArray &bytes)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, bytes] { worker->append(bytes); }, Qt::QueuedConnection);
}

void PartWriter::finish()
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->finish(); }, Qt::QueuedConnection);
}

} // namespace vellmar::map

#include "PartWriter.moc"
