#include "frmPartyChat.h"

#include "session/protocol/Messages.h"
#include "table/Outbox.h"

namespace vellmar::chat {

namespace {

ChatWindow::Design partyDesign()
{
    return {
        5205, 3165,  {0, 0, 5175, 2655}, {0, 2760, 5175, 375}, {240, 600, 135, 255}, "btnEnter", QString(), 915,
        1020, -1000,
    };
}

} // namespace

frmPartyChat::frmPartyChat(const table::Identity &identity, table::Outbox &outbox, QWidget *parent)
    : ChatWindow(identity, outbox, partyDesign(), parent)
{
    setObjectName(QStringLiteral("frmPartyChat"));
    setWindowTitle(QStringLiteral("Party Chat"));
}

bool frmPartyChat::sendText(const QString &text) { return m_outbox.sendToAll(session::MSG_PARTY_CHAT, text); }

} // namespace vellmar::chat
