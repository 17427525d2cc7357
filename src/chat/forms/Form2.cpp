#include "Form2.h"

#include "chat/ChatLines.h"
#include "session/protocol/Messages.h"
#include "table/Outbox.h"

#include <QLineEdit>

namespace vellmar::chat {

namespace {

ChatWindow::Design privateDesign()
{
    return {
        5685,
        2985,
        {0, 0, 5655, 2535},
        {0, 2640, 5655, 315},
        {240, 240, 75, 255},
        "Command1",
        QStringLiteral("Command1"),
        855,
        960,
        -100,
    };
}

} // namespace

Form2::Form2(const table::Identity &identity, table::Outbox &outbox, std::int32_t toId, const QString &partnerName,
             QWidget *parent)
    : ChatWindow(identity, outbox, privateDesign(), parent)
    , ToID(toId)
{
    setObjectName(QStringLiteral("Form2"));
    setProperty("Tag", Tag());
    setWindowTitle(u"Private " + identity.userName + u":" + partnerName);
    txtInput->setMaxLength(255);
    // Every new conversation opens at the same place on the screen.
    move(ui::twipsToPixels(2025), ui::twipsToPixels(1620));
}

bool Form2::sendText(const QString &text) { return m_outbox.sendTo(ToID, session::MSG_PRIVATE_CHAT, text); }

void Form2::showSendFailure(const QString &ownLine)
{
    Display(partnerUnreachableLine());
    Display(ownLine);
}

} // namespace vellmar::chat
