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
