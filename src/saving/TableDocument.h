#pragma once

#include "saving/TableContent.h"

#include <QByteArray>
#include <QString>

#include <variant>

// The JSON document inside a table file: encoding and strict reading. See
// docs/table-file.md for the format.
namespace vellmar::saving {

// The newest format this program reads. A table with fog is written as 2,
// which older programs refuse rather than show its map unfogged; one without
// is written as 1, which they still open.
inline constexpr int tableFormatVersion = 2;
inline constexpr int tableFormatWithoutFog = 1;

// Why a table file could not be opened; the message says which and what to do.
struct TableProblem
{
    enum class Kind {
        Unreadable,     // the file cannot be read at all
        Truncated,      // a ZIP that is cut off or damaged
        NotATable,      // not a ZIP, or a ZIP without a valid table document
        NewerVersion,   // written by a newer program
        PictureMissing, // links a picture that neither the file nor this computer holds
    };
    Kind kind = Kind::NotATable;
    QString message;
};

// The decoded document: the table, and whether the file says it holds the
// picture's bytes.
struct DecodedDocument
{
    TableContent content;
    bool pictureIncluded = false;
};

QByteArray encodeDocument(const TableContent &content, bool pictureIncluded);

// Checks every member: types, ranges, duplicate ids, texts that could not
// travel in a session. Unknown members are ignored, so the format can grow.
std::variant<DecodedDocument, TableProblem> decodeDocument(const QByteArray &json);

// The messages for each kind, shared by the document and the file reader.
TableProblem notATable(const QString &detail);
TableProblem truncatedFile(const QString &detail);

} // namespace vellmar::saving
