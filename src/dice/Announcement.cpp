#include "Announcement.h"

namespace vellmar::dice {

QString rollLogLine(const QString &rollText) { return u"Roll: " + rollText; }

QString rollChatLine(const QString &userName, const QString &rollText) { return userName + u" rolls " + rollText; }

QString taggedRollChatLine(const QString &rollTag, const QString &userName, const QString &rollText)
{
    return u'<' + rollTag + u'>' + rollChatLine(userName, rollText);
}

QString rollNotSentLine() { return QStringLiteral("*ERROR* - the roll could not be sent to the other players"); }

} // namespace vellmar::dice
