#pragma once

#include <QString>

namespace vellmar::samplegen {

// Writes the sample maps with their index into <folder>/map and the two
// sounds into <folder>/Sounds. Returns an error text, empty on success.
QString writeSampleContent(const QString &folder);

} // namespace vellmar::samplegen
