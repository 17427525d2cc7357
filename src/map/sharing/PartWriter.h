#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QThread;

namespace vellmar::map {

// Writes a download's bytes to its part file and hashes them as they come,
// in order, on another thread. The UI thread only hands chunks over, and
// when the last one is written the digest is ready: no read of the whole
// file at the end, which for a picture of tens of megabytes took one turn of
// the event loop long enough to hold up chat lines. The thread is given, not
// started here: starting one took milliseconds on a busy machine, just when
// the transfer began.
class PartWriter final : public QObject
{
    Q_OBJECT
public:
    // A running thread for writers; it ends once nobody holds it.
    using Thread = std::shared_ptr<QThread>;
    static Thread startThread();

    // The part file keeps its first `kept` bytes (hashed before anything
    // appended) and loses the rest.
    PartWriter(Thread thread, const QString &path, qint64 kept, QObject *parent = nullptr);
    // Lets the write in hand finish and drops what is still queued, so the
    // file holds the picture's first bytes and nothing else, and is closed
    // when this returns.
    ~PartWriter() override;
    PartWriter(const PartWriter &) = delete;
    PartWriter &operator=(const PartWriter &) = delete;

    // The next bytes of the file.
    void append(const QByteArray &bytes);
    // After the last append: `finished` brings the digest of the whole file.
    void finish();

Q_SIGNALS:
    // Bytes in the file so far.
    void written(qint64 total);
    void finished(const QByteArray &sha256);
    void failed(const QString &reason);

private:
    class Worker;
    Thread m_thread;
    Worker *m_worker;
};

} // namespace vellmar::map
