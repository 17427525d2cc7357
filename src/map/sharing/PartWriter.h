#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QThread;

namespace vellmar::map {

// Writes a download's bytes to its part file and hashes them as they come,
// in order, on a thread of its own. The UI thread only hands chunks over,
// and when the last one is written the digest is ready: no read of the
// whole file at the end, which for a picture of tens of megabytes took one
// turn of the event loop long enough to hold up chat lines.
class PartWriter final : public QObject
{
    Q_OBJECT
public:
    // The part file keeps its first `kept` bytes (hashed before anything
    // appended) and loses the rest.
    PartWriter(const QString &path, qint64 kept, QObject *parent = nullptr);
    // Lets the chunk being written finish and drops the rest, so the file
    // always holds the picture's first bytes and nothing else.
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
    QThread *m_thread;
    Worker *m_worker;
};

} // namespace vellmar::map
