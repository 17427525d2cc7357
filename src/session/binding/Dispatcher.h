#pragma once

#include "session/transport/TransportTypes.h"

#include <QString>

#include <cstdint>

namespace vellmar::session {

class SessionTransport;

// Where received messages go. The main window implements it; every
// subsystem's receiving step hangs off it.
class DispatchTarget
{
public:
    virtual ~DispatchTarget() = default;
    virtual void Display(const QString &line) = 0; // the main chat pane
    virtual bool isMaster() const = 0;
    virtual QString rollTag() const = 0; // read afresh for every dice line
    virtual void RefreshPlayerList() = 0;
    virtual void playSound(const QString &relativePath) = 0;
    virtual void receivePartyLine(const QString &line) = 0;
    virtual void receivePrivateLine(PlayerId from, const QString &senderName, const QString &text) = 0;
    virtual void receiveMarkerMessage(std::int32_t type, PlayerId from, const QString &senderName,
                                      const QString &payload) = 0;
};

// The only receiver in the program: takes the messages waiting when it is
// called, tells application messages from transport notices, and hands each
// to its receiver.
class Dispatcher
{
public:
    static const QString joinSound;
    static const QString leaveSound;

    // The most characters of a received chat, party, private or dice text
    // that reach a text box; the rest is cut off and an ellipsis shows it.
    // Our input boxes send at most 32,767 characters.
    static constexpr qsizetype longestShownText = 40000;

    // Handles as many messages as were waiting at the start; later arrivals
    // wait for the next receive event.
    static void drain(SessionTransport &transport, PlayerId ownPlayerID, DispatchTarget &target);

    // Text from the network shown as one line: line breaks and other control
    // characters become spaces, so nobody can forge a second line such as a
    // system notice.
    static QString oneLine(QString text);

private:
    static void handleNotice(std::int32_t notice, DispatchTarget &target);
};

} // namespace vellmar::session
