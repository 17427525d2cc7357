#pragma once

#include <QString>

// Every line the chat panes show that is not typed by the user as it stands:
// what someone said and the system lines. The panes and the receive path take
// their lines from here, so a format changes in one place.
namespace vellmar::chat {

// What someone said, in the main pane, the party window and private chats.
QString saidLine(const QString &name, const QString &text);

// The transport's notices, shown in the main chat pane.
QString userJoinedLine();
QString userLeftLine();
QString hostMigratedLine();
QString sessionLostLine();

// Follows an own line in the main pane or the party window that the session
// refused to send.
QString lineNotSentLine();
// Precedes an own line in a private chat that could not reach its partner.
QString partnerUnreachableLine();

} // namespace vellmar::chat
