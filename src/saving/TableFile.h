#pragma once

#include "saving/TableContent.h"
#include "saving/TableDocument.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <variant>

// Table files: a ZIP archive holding "table.json" and, unless the table only
// links it, the map's picture as "picture". See docs/table-file.md.
namespace vellmar::saving {

inline const QString tableFileSuffix = QStringLiteral("vtable");

// Writes the table atomically: into "<path>.part" beside it, flushed to disk,
// then renamed over path, so path always holds a whole table or stays as it
// was. Hashes the picture (remembered per file) and stores its bytes as they
// are. Safe to call on any thread. False with a reason on failure.
bool writeTableFile(const TableSnapshot &snapshot, const QString &path, QString *error = nullptr);

// A verified file holding these bytes on this computer, or empty.
using PictureLookup = std::function<QString(const QByteArray &sha256)>;

struct OpenedTable
{
    TableContent content;
    // A verified file with the map's picture; empty when the map has none.
    QString pictureFile;
};

// Reads and checks a whole table file. A picture the file holds is verified
// against its hash and kept in pictureFolder under the hash's name; a picture
// it only links is looked up by hash, then in pictureFolder. Names inside the
// archive are never used as paths.
std::variant<OpenedTable, TableProblem> readTableFile(const QString &path, const PictureLookup &lookup,
                                                      const QString &pictureFolder);

} // namespace vellmar::saving
