#pragma once

#include "session/transport/TransportTypes.h"

#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace vellmar::session {

class SessionTransport;

// The only receiver in the program: takes the messages waiting when it is
// drained, tells application messages from transport notices, and hands each
// straight to the subsystem that registered for its type. The main window
// only wires the subsystems in; it relays nothing.
class Dispatcher
{
public:
    // The sender as the host stamped it, its registered name and the payload
    // string, both already on one line.
    using Handler = std::function<void(PlayerId from, const QString &senderName, const QString &payload)>;
    // The sender and the bytes of a message whose payload is bytes, not
    // text; the view lives until the handler returns.
    using BytesHandler = std::function<void(PlayerId from, QByteArrayView payload)>;
    // The player the notice is about.
    using NoticeHandler = std::function<void(PlayerId about)>;

    // Texts that end up in a text box are cut to longestShownText; fields of
    // a compound payload are never cut, so their message stays readable.
    enum class Payload { shownText, fields };

    // The most characters of a received chat, party, private or dice text
    // that reach a text box; the rest is cut off and an ellipsis shows it.
    // Our input boxes send at most 32,767 characters.
    static constexpr qsizetype longestShownText = 40000;

    // Each type has one owner. A type nobody registered is dropped unread.
    void route(std::int32_t type, Payload payload, Handler handler);
    // A type whose payload is bytes (see encodeBytesMessage): handed over
    // as it arrived, never made text, so large data costs no conversions.
    void routeBytes(std::int32_t type, BytesHandler handler);
    // A notice may have several handlers; they run in the order registered.
    void onNotice(std::int32_t notice, NoticeHandler handler);
    void onNotice(std::int32_t notice, std::function<void()> handler);

    // Handles as many messages as were waiting at the start; later arrivals
    // wait for the next receive event.
    void drain(SessionTransport &transport, PlayerId ownPlayerID) const;

    // Text from the network shown as one line: line breaks and other control
    // characters become spaces, so nobody can forge a second line such as a
    // system notice.
    static QString oneLine(QString text);

private:
    struct Route
    {
        Payload payload;
        Handler handler;
        BytesHandler bytesHandler; // set instead of handler for a bytes type
    };

    QHash<std::int32_t, Route> m_routes;
    QHash<std::int32_t, std::vector<NoticeHandler>> m_notices;
};

} // namespace vellmar::session
