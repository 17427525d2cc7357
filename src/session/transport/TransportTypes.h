#pragma once

#include "session/protocol/MessageBuffer.h"

#include <QString>

#include <cstdint>

// Plain values that cross the transport's public interface.
namespace vellmar::session {

// Handed out by the host: never 0 (0 means "all" as an addressee and "the
// transport itself" as a sender), never reused within a session.
using PlayerId = std::int32_t;

constexpr PlayerId kAllPlayers = 0;
constexpr PlayerId kSystemSender = 0;

// SendEx flags. Every send is guaranteed and ordered unless kSendBulk is
// set: bulk data (picture chunks) travels in a lane of its own that yields to
// every other message, is dropped rather than queued without bound when a
// link falls behind, and is never replayed after a break; its receiver asks
// again for what did not arrive.
constexpr int kSendGuaranteed = 1;
constexpr int kSendBulk = 0x100;

// Session flag bit: the session survives its host.
constexpr std::uint32_t kSessionFlagMigrateHost = 4;
// Session flag bit, set by a host that holds no player: the master role is
// given by the host to the first joiner who asks for it while nobody holds
// it. Without it the hosting copy's own player is the master.
constexpr std::uint32_t kSessionFlagMasterOnRequest = 0x10000;
// Info flag bits, as things stand when the host answers:
constexpr std::uint32_t kSessionFlagPassword = 0x20000;   // joining needs the session password
constexpr std::uint32_t kSessionFlagMasterFree = 0x40000; // a joiner may ask for the master role

struct ConnectionEntry
{
    QString displayName;
    QString address; // what InitializeConnection expects back
};

struct SessionDescription
{
    QString guidApplication;
    QString sessionName;
    int maxPlayers = 0;
    std::uint32_t flags = 0;
    // Filled in by the session search; empty on a description made by the caller.
    QString hostAddress;
    std::uint16_t hostPort = 0;
    int currentPlayers = 0;
    // Join only: ask the host for the master role (granted only while nobody
    // holds it, in a session whose flags have kSessionFlagMasterFree).
    bool asksForMaster = false;

    QString GetGuidApplication() const { return guidApplication; }
};

enum class OpenMode { Join = 1, Create = 2 };

struct PlayerEntry
{
    PlayerId id = 0;
    QString shortName;
};

struct ReceivedMessage
{
    PlayerId from = 0;
    PlayerId to = 0;
    MessageBuffer message;
};

} // namespace vellmar::session
