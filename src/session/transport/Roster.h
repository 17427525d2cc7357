#pragma once

#include "Frames.h"
#include "TransportTypes.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// The players this participant has heard of, in join order. Players who left
// stay known by name (messages from them may still be read) but are no longer
// listed or addressable.
namespace vellmar::session {

struct PlayerRecord
{
    RosterEntry entry;
    bool present = true;
};

class Roster
{
public:
    // False when the id is already known (present or gone): a player is
    // announced once.
    bool add(const RosterEntry &entry);
    // True only for the first call per present player: a player leaves once.
    bool markGone(PlayerId id);
    void reset(const QList<RosterEntry> &entries);

    bool isPresent(PlayerId id) const;
    // A message from `from` may go to `to`: everyone else (kAllPlayers), or
    // another player who is present.
    bool canAddress(PlayerId from, PlayerId to) const { return to == kAllPlayers || (to != from && isPresent(to)); }
    bool isKnown(PlayerId id) const { return find(id) != nullptr; }
    const RosterEntry *find(PlayerId id) const;
    std::optional<QString> nameOf(PlayerId id) const;
    QList<RosterEntry> presentEntries() const;
    int presentCount() const;
    std::uint32_t highestId() const;

private:
    QList<PlayerRecord> m_players;
};

// Resume tokens: a secret per player that only the player and its host know.
// The roster carries a hash of it, so whichever member takes over as host can
// check a resume without anyone having shared the secret.
std::uint64_t newResumeToken();
std::uint64_t resumeTokenHash(std::uint64_t token);

} // namespace vellmar::session
