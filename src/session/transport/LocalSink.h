#pragma once

#include "Frames.h"
#include "SessionPassword.h"
#include "TransportTypes.h"

#include <QByteArray>
#include <QList>

#include <cstdint>

// Where the host or member logic hands what this participant's own
// application must see: messages for it and transport notices.
namespace vellmar::session {

class LocalSink
{
public:
    virtual ~LocalSink() = default;
    virtual void deliverLocal(PlayerId from, PlayerId to, const QByteArray &payload) = 0;
    virtual void noticeLocal(std::int32_t type, PlayerId about) = 0;
};

// What a member that becomes host carries over from its time as a member.
struct TakeoverState
{
    PlayerId self = 0;
    PlayerId oldHost = 0;
    // Where the old host was reached; a host without a player of its own is
    // in no roster.
    QString oldHostAddress;
    std::uint16_t oldHostPort = 0;
    std::uint32_t epoch = 0;   // the old host's; the new host counts one up
    std::uint64_t lastSeq = 0; // last event this participant saw
    std::uint64_t nextCsn = 1;
    std::uint64_t token = 0;
    // The highest player id handed out so far, as the last Welcome said; a
    // new host continues above it and above every id in its roster.
    std::uint32_t highestId = 0;
    QString sessionName;
    int maxPlayers = 0;
    std::uint32_t flags = 0;
    // The session password's key, when this member proved it.
    PasswordKey password;
    // Recent messages it received or sent; seq 0 = sent but never confirmed.
    QList<DeliverFrame> known;
};

} // namespace vellmar::session
