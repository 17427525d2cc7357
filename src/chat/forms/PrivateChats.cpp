#include "PrivateChats.h"

#include "Form2.h"
#include "chat/ChatLines.h"
#include "table/Identity.h"
#include "ui/MainWindowApi.h"

namespace vellmar::chat {

PrivateChats::PrivateChats(const table::Identity &identity, table::Outbox &outbox, ui::MainWindowApi &mainWindow,
                           QWidget *owner)
    : m_identity(identity)
    , m_outbox(outbox)
    , m_mainWindow(mainWindow)
    , m_owner(owner)
{}

Form2 *PrivateChats::find(std::int32_t playerId) const { return m_windows.value(playerId); }

void PrivateChats::openFromPlayerList(std::int32_t playerId, const QString &entryText)
{
    if (m_identity.userName.isEmpty() || entryText == u"User")
        return;
    if (Form2 *window = find(playerId)) {
        m_mainWindow.RestoreWindow(*window);
        return;
    }
    open(playerId, entryText)->show();
}

void PrivateChats::receive(std::int32_t from, const QString &senderName, const QString &text)
{
    Form2 *window = find(from);
    if (window)
        m_mainWindow.RestoreWindow(*window);
    else
        (window = open(from, senderName))->show();
    window->Display(saidLine(senderName, text));
}

void PrivateChats::setCommands(LineCommands commands)
{
    m_commands = std::move(commands);
    for (Form2 *window : std::as_const(m_windows)) {
        if (window)
            window->setCommands(m_commands);
    }
}

Form2 *PrivateChats::open(std::int32_t playerId, const QString &partnerName)
{
    auto *window = new Form2(m_identity, m_outbox, playerId, partnerName, m_owner);
    window->setCommands(m_commands);
    m_windows.insert(playerId, window);
    return window;
}

} // namespace vellmar::chat
