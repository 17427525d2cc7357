#include "SessionLog.h"

namespace vellmar::session {

Q_LOGGING_CATEGORY(lcSession, "vellmar.session", QtWarningMsg)

} // namespace vellmar::session
