#pragma once

#include "ChatWindow.h"

namespace vellmar::chat {

// The one party chat window: a second conversation among all participants.
// It is loaded hidden at start-up, so lines arriving before the user opens it
// are there when it first shows.
class frmPartyChat final : public ChatWindow
{
    Q_OBJECT
public:
    frmPartyChat(const table::Identity &identity, table::Outbox &outbox, QWidget *parent = nullptr);

    QPushButton *btnEnter() const { return m_defaultButton; }

protected:
    bool sendText(const QString &text) override;
};

} // namespace vellmar::chat
