#include "Roster.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>

namespace vellmar::session {

bool Roster::add(const RosterEntry &entry)
{
    if (isKnown(static_cast<PlayerId>(entry.id)))
        return false;
    m_players.append({entry, true});
    return true;
}

bool Roster::markGone(PlayerId id)
{
    for (auto &p : m_players) {
        if (static_cast<PlayerId>(p.entry.id) == id) {
            const bool wasPresent = p.present;
            p.present = false;
            return wasPresent;
        }
    }
    return false;
}

void Roster::reset(const QList<RosterEntry> &entries)
{
    m_players.clear();
    for (const auto &e : entries)
        add(e);
}

bool Roster::isPresent(PlayerId id) const
{
    return std::any_of(m_players.cbegin(), m_players.cend(),
                       [id](const PlayerRecord &p) { return p.present && static_cast<PlayerId>(p.entry.id) == id; });
}

const RosterEntry *Roster::find(PlayerId id) const
{
    for (const auto &p : m_players) {
        if (static_cast<PlayerId>(p.entry.id) == id)
            return &p.entry;
    }
    return nullptr;
}

std::optional<QString> Roster::nameOf(PlayerId id) const
{
    if (const auto *e = find(id))
        return e->name;
    return std::nullopt;
}

QList<RosterEntry> Roster::presentEntries() const
{
    QList<RosterEntry> out;
    for (const auto &p : m_players) {
        if (p.present)
            out.append(p.entry);
    }
    return out;
}

int Roster::presentCount() const
{
    return static_cast<int>(
        std::count_if(m_players.cbegin(), m_players.cend(), [](const PlayerRecord &p) { return p.present; }));
}

std::uint32_t Roster::highestId() const
{
    std::uint32_t highest = 0;
    for (const auto &p : m_players)
        highest = std::max(highest, p.entry.id);
    return highest;
}

std::uint64_t newResumeToken()
{
    std::uint64_t token = 0;
    while (token == 0)
        token = QRandomGenerator::system()->generate64();
    return token;
}

std::uint64_t resumeTokenHash(std::uint64_t token)
{
    char raw[8];
    qToBigEndian(token, raw);
    const QByteArray digest = QCryptographicHash::hash(QByteArrayView(raw, 8), QCryptographicHash::Sha256);
    return qFromBigEndian<std::uint64_t>(digest.constData());
}

} // namespace vellmar::session
