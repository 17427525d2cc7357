#include "PictureHash.h"

#include "core/Sha256.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

namespace vellmar::saving {

namespace {

struct Known
{
    qint64 size = 0;
    QDateTime modified;
    QByteArray sha256;
};

QMutex knownLock;
QHash<QString, Known> known;

} // namespace

QByteArray fileSha256(const QString &path) { return core::fileSha256(path).value_or(QByteArray()); }

QByteArray pictureSha256(const QString &path)
{
    const QFileInfo info(path);
    const QString key = info.absoluteFilePath();
    {
        const QMutexLocker lock(&knownLock);
        const auto found = known.constFind(key);
        if (found != known.cend() && found->size == info.size() && found->modified == info.lastModified())
            return found->sha256;
    }
    QByteArray sha256 = fileSha256(path);
    if (!sha256.isEmpty()) {
        const QMutexLocker lock(&knownLock);
        known.insert(key, Known{info.size(), info.lastModified(), sha256});
    }
    return sha256;
}

} // namespace vellmar::saving
