#pragma once

#include "chat/LineCommands.h"

#include <QMap>
#include <QPointer>
#include <QString>

#include <cstdint>

class QWidget;

namespace vellmar::table {
struct Identity;
class Outbox;
} // namespace vellmar::table

namespace vellmar::ui {
class MainWindowApi;
}

namespace vellmar::chat {

class Form2;

// Finds the private chat window of a correspondent, or opens one. Windows
// live until the program ends; closing one only hides it.
class PrivateChats
{
public:
    PrivateChats(const table::Identity &identity, table::Outbox &outbox, ui::MainWindowApi &mainWindow, QWidget *owner);

    // "Private Chat" on a player-list entry.
    void openFromPlayerList(std::int32_t playerId, const QString &entryText);
    // A private line arrived: its window comes up with the line in it.
    void receive(std::int32_t from, const QString &senderName, const QString &text);

    // The commands every private chat box accepts, the open ones included.
    void setCommands(LineCommands commands);

    Form2 *find(std::int32_t playerId) const;
    int count() const { return static_cast<int>(m_windows.size()); }

private:
    Form2 *open(std::int32_t playerId, const QString &partnerName);

    const table::Identity &m_identity;
    table::Outbox &m_outbox;
    ui::MainWindowApi &m_mainWindow;
    QWidget *m_owner;
    QMap<std::int32_t, QPointer<Form2>> m_windows;
    LineCommands m_commands;
};

} // namespace vellmar::chat
