#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace vellmar::map {

// Whole-file SHA-256; empty when the file cannot be read.
QByteArray sha256OfFile(const QString &path);

// Verified pictures kept in one folder, each named by the lowercase hex
// SHA-256 of its bytes. A file only gets that name after its bytes were
// checked, so a name in this folder is a promise. The folder stays within a
// total size; the least recently used pictures go first, never the one in
// use. Usage times are the files' modification times, touched on use.
class PictureCache
{
public:
    static constexpr qint64 kDefaultLimitBytes = qint64(1) << 30;

    explicit PictureCache(QString folder, qint64 limitBytes = kDefaultLimitBytes);

    const QString &folder() const { return m_folder; }
    qint64 limitBytes() const { return m_limit; }
    // Takes effect at once: pictures beyond the new limit are removed.
    void setLimitBytes(qint64 limit);

    // The verified file for these bytes, or empty; marks it used now.
    QString pathFor(const QByteArray &sha256);
    // Stores bytes under their hash after checking them; empty when they do
    // not match or cannot be written.
    QString store(const QByteArray &sha256, const QByteArray &bytes);
    // Where a download of these bytes collects what arrived so far.
    QString partPath(const QByteArray &sha256) const;
    // Checks a finished download and gives it its final name; on a mismatch
    // the part is removed and the result is empty.
    QString adoptPart(const QByteArray &sha256);
    // The same, given the digest of the part as its writer computed it
    // while writing, so the file is not read again.
    QString adoptPart(const QByteArray &sha256, const QByteArray &partDigest);

    // The picture in use; it is never removed to make room.
    void setInUse(const QByteArray &sha256) { m_inUse = sha256; }
    // Removes least recently used pictures until the folder fits its limit.
    void trim();
    // Bytes of every picture and part in the folder.
    qint64 usedBytes() const;

private:
    QString finalPath(const QByteArray &sha256) const;

    QString m_folder;
    qint64 m_limit;
    QByteArray m_inUse;
};

} // namespace vellmar::map
