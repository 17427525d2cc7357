#include "ChatLines.h"

namespace vellmar::chat {

QString saidLine(const QString &name, const QString &text) { return name + u" : " + text; }

QString userJoinedLine() { return QStringLiteral("<SYS> A user has joined"); }

QString userLeftLine() { return QStringLiteral("<SYS> A user has left"); }

QString hostMigratedLine() { return QStringLiteral("<SYS> Hosting migrated to you"); }

QString sessionLostLine() { return QStringLiteral("<SYS> The connection to the session was lost"); }

QString lineNotSentLine() { return QStringLiteral("<SYS> The line above could not be sent"); }

QString partnerUnreachableLine() { return QStringLiteral("*ERROR* - possible that user has disconnected"); }

} // namespace vellmar::chat
