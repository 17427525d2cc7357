#include "PartWriter.h"

#include "core/Sha256.h"

#include <QFile>
#include <QThread>

namespace vellmar::map {

// Lives on the writer's thread; everything it does arrives there as a
// queued call, so it runs in the order it was asked for.
class PartWriter::Worker final : public QObject
{
    Q_OBJECT
public:
    explicit Worker(const QString &path) : m_file(path) { m_file.setParent(this); } // moves with the worker

    void start(qint64 kept)
    {
        if (!m_file.open(QIODevice::ReadWrite) || !m_file.resize(kept)) {
            stop();
            return;
        }
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        while (m_written < kept) {
            const qint64 got = m_file.read(buffer.data(), std::min<qint64>(buffer.size(), kept - m_written));
            if (got <= 0) {
                stop();
                return;
            }
            m_sha.addData(QByteArrayView(buffer.constData(), got));
            m_written += got;
        }
    }

    void append(const QByteArray &bytes)
    {
        if (m_broken)
            return;
        if (m_file.write(bytes) != bytes.size()) {
            stop();
            return;
        }
        m_sha.addData(bytes);
        m_written += bytes.size();
        Q_EMIT written(m_written);
    }

    void finish()
    {
        if (m_broken)
            return;
        // Written out before the digest is trusted: the file is renamed to
        // what the digest promises.
        if (!m_file.flush()) {
            stop();
            return;
        }
        m_file.close();
        Q_EMIT finished(m_sha.result());
    }

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
    core::Sha256 m_sha;
    qint64 m_written = 0;
    bool m_broken = false;
};

PartWriter::PartWriter(const QString &path, qint64 kept, QObject *parent)
    : QObject(parent)
    , m_thread(new QThread)
    , m_worker(new Worker(path))
{
    m_worker->moveToThread(m_thread);
    connect(m_worker, &Worker::written, this, &PartWriter::written);
    connect(m_worker, &Worker::finished, this, &PartWriter::finished);
    connect(m_worker, &Worker::failed, this, &PartWriter::failed);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, kept] { worker->start(kept); }, Qt::QueuedConnection);
}

PartWriter::~PartWriter()
{
    // The thread ends after the calls in hand; any still queued are dropped.
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
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
