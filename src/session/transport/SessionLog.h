#pragma once

#include <QLoggingCategory>

// The transport's log: why links close, what was refused or skipped, and
// how reconnecting goes. Warnings are on by default; the rest shows with
// QT_LOGGING_RULES="vellmar.session=true".
namespace vellmar::session {

Q_DECLARE_LOGGING_CATEGORY(lcSession)

} // namespace vellmar::session
