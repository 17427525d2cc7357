#pragma once

#include "session/protocol/TableMessages.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>

namespace vellmar::table {
class CIcon;
class Table;
} // namespace vellmar::table
namespace vellmar::session {
class Dispatcher;
}

namespace vellmar::tokens {

// Icons stay each copy's own, except those the master marks "Shown to
// Players": every player's copy draws them read-only, with their name and
// health word, and follows the master's copy as they move and change.
class ShownIcons
{
public:
    ShownIcons(table::Table &table, std::function<void()> repaint);

    // The master's menu command: shows or hides the icon, then syncs.
    void toggle(table::CIcon &icon);
    // The master's copy: sends what changed in the shown icons since the
    // last call (new, moved, renamed, hurt, hidden or removed). Cheap when
    // nothing changed; the main window calls it after every change it draws.
    void sync();
    // The shown icons to one player (one who joined late).
    void sendTo(std::int32_t playerId);

    // Types 1010 and 1011, counted only from the master.
    void receive(std::int32_t type, std::int32_t from, const QString &payload);
    void route(session::Dispatcher &dispatcher);

private:
    table::Table &m_table;
    std::function<void()> m_repaint;
    // What the players were last told, by icon id.
    QHash<std::int32_t, session::ShowIconPayload> m_sent;
};

} // namespace vellmar::tokens
