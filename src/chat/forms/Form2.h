#pragma once

#include "ChatWindow.h"

#include <cstdint>

namespace vellmar::chat {

// A private conversation with one correspondent, addressed by player id.
class Form2 final : public ChatWindow
{
    Q_OBJECT
public:
    Form2(const table::Identity &identity, table::Outbox &outbox, std::int32_t toId, const QString &partnerName,
          QWidget *parent = nullptr);

    const std::int32_t ToID;
    // The key the window is found by: the correspondent's id in decimal.
    QString Tag() const { return QString::number(ToID); }

    QPushButton *Command1() const { return m_defaultButton; }

protected:
    bool sendText(const QString &text) override;
    void showSendFailure(const QString &ownLine) override;
};

} // namespace vellmar::chat
