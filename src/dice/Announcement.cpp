#include "Announcement.h"

namespace vellmar::dice {

QString rollLogLine(const QString &rollText) { return u"Roll: " + rollText; }

QString rollChatLine(const QString &userName, const QString &rollText) { return userName + u" rolls " + rollText; }

QString rollChatLine(const QString &userName, RollSeenBy seenBy, const QString &rollText)
{
    switch (seenBy) {
    case RollSeenBy::everyone:
        break;
    case RollSeenBy::master:
        return rollChatLine(userName, u"(master only) " + rollText);
    case RollSeenBy::self:
        return rollChatLine(userName, u"(self only) " + rollText);
    }
    return rollChatLine(userName, rollText);
}

QString taggedRollChatLine(const QString &rollTag, const QString &chatLine) { return u'<' + rollTag + u'>' + chatLine; }

QString rollNotSentLine() { return QStringLiteral("*ERROR* - the roll could not be sent to the other players"); }

} // namespace vellmar::dice
