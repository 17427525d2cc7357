#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vellmar::map {

// An index larger than this is refused rather than read: no real index comes
// near it, and a huge file would stall the dialog.
inline constexpr qint64 largestIndexBytes = 64 * 1024 * 1024;

// The whole index file; empty when it cannot be opened, read or is too large.
std::optional<QByteArray> readIndexFile(const QString &path);

} // namespace vellmar::map
