#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

namespace vellmar::map {

// Finds a picture among the files of a copy's own map folder. Only files of
// exactly the picture's size are hashed, so a big folder costs a directory
// listing; a file's hash is remembered while its size and time stay.
class FolderPictures
{
public:
    explicit FolderPictures(QString folder) : m_folder(std::move(folder)) {}

    // A file in the folder (or below it) holding exactly these bytes, or empty.
    QString find(const QByteArray &sha256, qint64 size);
    // How many files were hashed so far (a test reads it).
    int filesHashed() const { return m_hashed; }

private:
    struct Known
    {
        qint64 size = 0;
        QDateTime modified;
        QByteArray sha256;
    };

    QString m_folder;
    QHash<QString, Known> m_known;
    int m_hashed = 0;
};

} // namespace vellmar::map
