#include "LocalPictureSupply.h"

#include "map/sharing/ShownMapExchange.h"

#include <QDirIterator>
#include <QFileInfo>

namespace vellmar::map {

LocalPictureSupply::LocalPictureSupply(QDir mapFolder, QObject *parent)
    : PictureSupply(parent)
    , m_mapFolder(std::move(mapFolder))
{}

void LocalPictureSupply::request(const table::ShownMap &map)
{
    const QString path = find(map.pictureSha256, map.pictureSize);
    if (!path.isEmpty())
        Q_EMIT ready(map.pictureSha256, path);
    else
        Q_EMIT failed(map.pictureSha256,
                      QStringLiteral("this copy's map folder does not hold the picture, and this version fetches "
                                     "pictures from nowhere else"));
}

QString LocalPictureSupply::localPath(const QByteArray &sha256) const { return find(sha256, -1); }

void LocalPictureSupply::offer(const QByteArray &sha256, const QString &filePath)
{
    m_offered.insert(sha256, filePath);
}

QString LocalPictureSupply::find(const QByteArray &sha256, qint64 size) const
{
    const QString offered = m_offered.value(sha256);
    if (!offered.isEmpty() && fileSha256(offered) == sha256)
        return offered;
    QDirIterator files(m_mapFolder.path(), QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QFileInfo file(files.next());
        if (size >= 0 && file.size() != size)
            continue;
        Known &known = m_known[file.absoluteFilePath()];
        if (known.sha256.isEmpty() || known.size != file.size() || known.modified != file.lastModified()) {
            known = {file.size(), file.lastModified(), fileSha256(file.absoluteFilePath()).value_or(QByteArray())};
        }
        if (known.sha256 == sha256)
            return file.absoluteFilePath();
    }
    return {};
}

} // namespace vellmar::map
