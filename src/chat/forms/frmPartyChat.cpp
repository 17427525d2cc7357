#include "frmPartyChat.h"

#include "app/state/SharedState.h"
#include "session/protocol/Messages.h"

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

frmPartyChat::frmPartyChat(app::SharedState &state, QWidget *parent) : ChatWindow(state, partyDesign(), parent)
{
    setObjectName(QStringLiteral("frmPartyChat"));
    setWindowTitle(QStringLiteral("Party Chat"));
}

bool frmPartyChat::sendText(const QString &text) { return m_state.sendToAll(session::MSG_PARTY_CHAT, text); }

} // namespace vellmar::chat
