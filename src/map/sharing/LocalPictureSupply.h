#pragma once

#include "map/sharing/PictureSupply.h"

#include <QDateTime>
#include <QDir>
#include <QHash>

namespace vellmar::map {

// A picture supply that fetches nothing: it finds a shown picture among the
// files of this copy's map folder by the SHA-256 of their bytes, and fails
// for a picture the folder does not hold. It stands in until pictures travel
// through the session.
class LocalPictureSupply final : public PictureSupply
{
    Q_OBJECT
public:
    explicit LocalPictureSupply(QDir mapFolder, QObject *parent = nullptr);

    void request(const table::ShownMap &map) override;
    QString localPath(const QByteArray &sha256) const override;
    void offer(const QByteArray &sha256, const QString &filePath) override;

private:
    // Files of this size (any size when negative) whose bytes have this hash.
    QString find(const QByteArray &sha256, qint64 size) const;

    struct Known
    {
        qint64 size = 0;
        QDateTime modified;
        QByteArray sha256;
    };

    QDir m_mapFolder;
    QHash<QByteArray, QString> m_offered;
    // Hashes of the folder's files, kept while a file's size and time stay.
    mutable QHash<QString, Known> m_known;
};

} // namespace vellmar::map
