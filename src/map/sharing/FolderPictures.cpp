#include "FolderPictures.h"

#include "PictureCache.h"

#include <QDirIterator>
#include <QFileInfo>

namespace vellmar::map {

QString FolderPictures::find(const QByteArray &sha256, qint64 size)
{
    if (m_folder.isEmpty() || sha256.size() != 32 || size <= 0)
        return {};
    QDirIterator it(m_folder, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.size() != size)
            continue;
        const QString path = info.absoluteFilePath();
        Known &known = m_known[path];
        if (known.sha256.isEmpty() || known.size != size || known.modified != info.lastModified()) {
            known = {size, info.lastModified(), sha256OfFile(path)};
            ++m_hashed;
        }
        if (known.sha256 == sha256)
            return path;
    }
    return {};
}

} // namespace vellmar::map
