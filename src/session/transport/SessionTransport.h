#pragma once

#include "TransportTypes.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

// What the application asks of a session transport. The operations keep the
// names the application's code uses for them; the calls come in this order:
//
//   GetDPEnumConnections -> InitializeConnection -> (join: GetDPEnumSessions)
//   -> Open -> CreateEvent -> CreatePlayer -> SendEx / Receive ... -> destroy
//
// Everything runs on the thread that created the object (the user-interface
// thread). Set-up calls block until they are done or failed, with bounded
// time-outs; sending never blocks.
namespace vellmar::session {

class SessionTransport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Leaving is implied: destroying the object takes this participant out
    // of the session cleanly, and every other participant gets notice 5.
    ~SessionTransport() override = default;

    // The transports this object offers; the application picks one whose
    // display name contains "TCP" and passes its address back.
    virtual QList<ConnectionEntry> GetDPEnumConnections() const = 0;
    virtual bool InitializeConnection(const QString &address) = 0;

    // A blank description for the caller to fill in.
    SessionDescription CreateSessionData() const { return {}; }

    // The sessions of desc's application that can be joined. The application
    // passes no address, so the transport asks the user for one; a blank
    // answer searches the local network. Only sessions of the same
    // application and protocol version are listed.
    virtual QList<SessionDescription> GetDPEnumSessions(const SessionDescription &desc) = 0;

    // Create: this copy hosts a new session described by desc.
    // Join: desc must come from GetDPEnumSessions.
    virtual bool Open(const SessionDescription &desc, OpenMode mode) = 0;

    // Turns on receiveEvent; the returned handle is the event's id, never 0.
    // Set-up calls that wait (CreatePlayer, GetDPEnumSessions) keep events
    // flowing, so receiveEvent may fire before CreatePlayer has returned.
    virtual std::int32_t CreateEvent() = 0;

    // Registers this participant under its name; gives its player id. The
    // others get notice 3 once the name is known to them.
    virtual std::optional<PlayerId> CreatePlayer(const QString &name) = 0;

    MessageBuffer CreateMessage() const { return {}; }

    // Guaranteed, in the host's one order. to = 0 sends to everyone else
    // (never back to the sender). False when `from` is not this participant,
    // or `to` is not (or no longer) in the session, so a private line to
    // someone who left can say so. With kSendBulk in flags the message goes
    // in the bulk lane instead (see TransportTypes.h): not ordered with the
    // others, and false also when it was dropped (no link to the host just
    // now, or the link's bulk queue is full).
    virtual bool SendEx(PlayerId from, PlayerId to, int flags, const MessageBuffer &message) = 0;

    // Messages waiting for this participant (ownId is accepted for the
    // application's sake; a transport object serves one player).
    virtual int GetMessageCount(PlayerId ownId) const = 0;
    // The oldest waiting message. Sender 0 marks a notice whose first value
    // is the notice type (3 joined, 5 left, 257 host role moved here),
    // followed by the player id it concerns.
    virtual std::optional<ReceivedMessage> Receive() = 0;

    // Known for every player this participant has heard of, also after it left.
    virtual std::optional<QString> GetPlayerFriendlyName(PlayerId id) const = 0;
    // Whether the host made this player the session's game master when it
    // let it in. A role is never moved to another id, so the answer for an
    // id never changes; at most one player present holds it.
    virtual bool isMasterPlayer(PlayerId id) const = 0;
    // The players in the session now, in the order they joined.
    virtual QList<PlayerEntry> GetDPEnumPlayers(const QString &guidApplication = {}, int flags = 0) const = 0;
    virtual QString GetGuidApplication() const = 0;

    // Human-readable reason for the last failed operation.
    virtual QString lastError() const = 0;

Q_SIGNALS:
    // Fires on this object's thread whenever messages start waiting; one
    // event may stand for several messages.
    void receiveEvent(std::int32_t eventId);
};

} // namespace vellmar::session
