#pragma once

#include <QString>

#include <chrono>
#include <cstdint>

class QTcpSocket;

// Opening a connection the user asked for (a host name or address and a
// port), blocking for a bounded time, with a sentence that says what to
// check when it fails.
namespace vellmar::session {

// True when connected within the time-out; otherwise the socket is aborted
// and error says why.
bool connectForUser(QTcpSocket &socket, const QString &host, std::uint16_t port, std::chrono::milliseconds timeout,
                    QString *error);

} // namespace vellmar::session
