#include "PictureCache.h"

#include "PictureLog.h"

#include "core/Sha256.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace vellmar::map {

Q_LOGGING_CATEGORY(lcPictures, "vellmar.pictures", QtWarningMsg)

namespace {

const QString kPartSuffix = QStringLiteral(".part");

// Marks a file as used now, for the least-recently-used order.
void touch(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::Append))
        file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
}

// The hash a cache file name stands for, for pictures and parts alike.
QString hashPartOf(const QString &fileName)
{
    const QString base = fileName.endsWith(kPartSuffix) ? fileName.chopped(kPartSuffix.size()) : fileName;
    if (base.size() != 64)
        return {};
    for (QChar c : base) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return {};
    }
    return base;
}

} // namespace

QByteArray sha256OfFile(const QString &path) { return core::fileSha256(path).value_or(QByteArray()); }

PictureCache::PictureCache(QString folder, qint64 limitBytes) : m_folder(std::move(folder)), m_limit(limitBytes)
{
    QDir().mkpath(m_folder);
}

void PictureCache::setLimitBytes(qint64 limit)
{
    m_limit = limit;
    trim();
}

QString PictureCache::finalPath(const QByteArray &sha256) const
{
    return QDir(m_folder).filePath(QString::fromLatin1(sha256.toHex()));
}

QString PictureCache::partPath(const QByteArray &sha256) const { return finalPath(sha256) + kPartSuffix; }

QString PictureCache::pathFor(const QByteArray &sha256)
{
    if (sha256.size() != 32)
        return {};
    const QString path = finalPath(sha256);
    if (!QFileInfo::exists(path))
        return {};
    touch(path);
    return path;
}

QString PictureCache::store(const QByteArray &sha256, const QByteArray &bytes)
{
    if (sha256.size() != 32 || core::Sha256::hash(bytes) != sha256)
        return {};
    const QString path = finalPath(sha256);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcPictures, "could not write %s: %s", qUtf8Printable(path), qUtf8Printable(file.errorString()));
        return {};
    }
    trim();
    return path;
}

QString PictureCache::adoptPart(const QByteArray &sha256) { return adoptPart(sha256, sha256OfFile(partPath(sha256))); }

QString PictureCache::adoptPart(const QByteArray &sha256, const QByteArray &partDigest)
{
    const QString part = partPath(sha256);
    if (sha256.size() != 32 || partDigest != sha256) {
        QFile::remove(part);
        return {};
    }
    const QString path = finalPath(sha256);
    QFile::remove(path);
    if (!QFile::rename(part, path)) {
        qCWarning(lcPictures, "could not rename %s", qUtf8Printable(part));
        return {};
    }
    touch(path);
    trim();
    return path;
}

qint64 PictureCache::usedBytes() const
{
    qint64 total = 0;
    for (const QFileInfo &info : QDir(m_folder).entryInfoList(QDir::Files)) {
        if (!hashPartOf(info.fileName()).isEmpty())
            total += info.size();
    }
    return total;
}

void PictureCache::trim()
{
    struct Entry
    {
        QString path;
        qint64 size;
        QDateTime used;
    };
    std::vector<Entry> removable;
    qint64 total = 0;
    const QString inUse = QString::fromLatin1(m_inUse.toHex());
    for (const QFileInfo &info : QDir(m_folder).entryInfoList(QDir::Files)) {
        const QString hash = hashPartOf(info.fileName());
        if (hash.isEmpty())
            continue; // not ours
        total += info.size();
        if (hash != inUse)
            removable.push_back({info.filePath(), info.size(), info.lastModified()});
    }
    std::sort(removable.begin(), removable.end(), [](const Entry &a, const Entry &b) { return a.used < b.used; });
    for (const Entry &entry : removable) {
        if (total <= m_limit)
            break;
        if (QFile::remove(entry.path))
            total -= entry.size;
    }
}

} // namespace vellmar::map
