#pragma once

#include <QByteArray>
#include <QString>

namespace vellmar::saving {

// The SHA-256 of a file's bytes, or empty when it cannot be read. Remembers
// the answer per file (by path, size and modification time), so autosaving
// the same 20 MB picture every two minutes hashes it once. Thread-safe.
QByteArray pictureSha256(const QString &path);

// The SHA-256 of the bytes at path, read afresh; empty when unreadable.
QByteArray fileSha256(const QString &path);

} // namespace vellmar::saving
