#include "IndexFile.h"

#include <QFile>

namespace vellmar::map {

std::optional<QByteArray> readIndexFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Read one byte beyond the limit to tell a file of exactly the limit from a larger one.
    QByteArray bytes = file.read(largestIndexBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > largestIndexBytes)
        return std::nullopt;
    return bytes;
}

} // namespace vellmar::map
