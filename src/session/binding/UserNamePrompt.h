#pragma once

#include <QString>

namespace vellmar::core {
class Questions;
}

namespace vellmar::session {

// Asks for the user name until a usable one is given: trimmed of spaces, not
// empty, without ";" (it would break the marker payloads). Cancel counts as
// an empty answer, so the question simply comes again. `suggested` is the
// text the question starts with.
QString askUserName(core::Questions &questions, const QString &suggested = {});

} // namespace vellmar::session
