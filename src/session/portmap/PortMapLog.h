#pragma once

#include <QLoggingCategory>

// The router port mapping's log: what was asked of which router and what it
// answered. Debug lines show with QT_LOGGING_RULES="vellmar.portmap=true".
namespace vellmar::session {

Q_DECLARE_LOGGING_CATEGORY(lcPortMap)

} // namespace vellmar::session
