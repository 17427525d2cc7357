#include "ShownIcons.h"

#include "session/binding/Dispatcher.h"
#include "table/Table.h"

#include <QLoggingCategory>

#include <memory>

namespace vellmar::tokens {

namespace {

Q_LOGGING_CATEGORY(lcShownIcons, "vellmar.icons.shown", QtWarningMsg)

session::ShowIconPayload payloadOf(const table::CIcon &icon)
{
    return {icon.id, icon.mapX, icon.mapY, icon.size, icon.HealthStatus(), icon.name};
}

} // namespace

ShownIcons::ShownIcons(table::Table &table, std::function<void()> repaint)
    : m_table(table)
    , m_repaint(std::move(repaint))
{}

void ShownIcons::toggle(table::CIcon &icon)
{
    icon.shownToPlayers = !icon.shownToPlayers;
    sync();
}

void ShownIcons::sync()
{
    if (!m_table.isMaster || !m_table.inSession)
        return;
    QHash<std::int32_t, session::ShowIconPayload> now;
    m_table.icons.forEach([&](const table::CIcon &icon) {
        if (icon.shownToPlayers)
            now.insert(icon.id, payloadOf(icon));
    });
    for (auto it = m_sent.begin(); it != m_sent.end();) {
        if (now.contains(it.key())) {
            ++it;
            continue;
        }
        m_table.sendToAll(session::MSG_HIDE_ICON, session::formatPayload(session::HideIconPayload{it.key()}));
        it = m_sent.erase(it);
    }
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const auto sent = m_sent.constFind(it.key());
        if (sent != m_sent.cend() && *sent == *it)
            continue;
        m_table.sendToAll(session::MSG_SHOW_ICON, session::formatPayload(*it));
        m_sent.insert(it.key(), *it);
    }
}

void ShownIcons::sendTo(std::int32_t playerId)
{
    sync();
    if (!m_table.isMaster)
        return;
    for (const auto &payload : std::as_const(m_sent))
        m_table.sendTo(playerId, session::MSG_SHOW_ICON, session::formatPayload(payload));
}

void ShownIcons::route(session::Dispatcher &dispatcher)
{
    for (const auto type : {session::MSG_SHOW_ICON, session::MSG_HIDE_ICON}) {
        dispatcher.route(
            type, session::Dispatcher::Payload::fields,
            [this, type](std::int32_t from, const QString &, const QString &payload) { receive(type, from, payload); });
    }
}

void ShownIcons::receive(std::int32_t type, std::int32_t from, const QString &payload)
{
    if (!m_table.fromMaster(from)) {
        qCWarning(lcShownIcons, "shown icon message from player %d refused: only the master shows icons", from);
        return;
    }
    if (type == session::MSG_HIDE_ICON) {
        const auto parsed = session::parseHideIcon(payload);
        if (const auto *hide = std::get_if<session::HideIconPayload>(&parsed)) {
            if (m_table.shownIcons.remove(table::recordKey(hide->id)))
                m_repaint();
        } else {
            qCWarning(lcShownIcons, "hidden icon skipped: %s", qUtf8Printable(std::get<QString>(parsed)));
        }
        return;
    }
    const auto parsed = session::parseShowIcon(payload);
    const auto *show = std::get_if<session::ShowIconPayload>(&parsed);
    if (!show) {
        qCWarning(lcShownIcons, "shown icon skipped: %s", qUtf8Printable(std::get<QString>(parsed)));
        return;
    }
    auto icon = m_table.shownIcons.find(show->id);
    if (!icon) {
        icon = std::make_shared<table::ShownIcon>();
        icon->id = show->id;
        m_table.shownIcons.add(icon);
    }
    icon->name = show->name;
    icon->healthWord = show->healthWord;
    icon->size = show->size;
    icon->mapX = show->mapX;
    icon->mapY = show->mapY;
    m_repaint();
}

} // namespace vellmar::tokens
