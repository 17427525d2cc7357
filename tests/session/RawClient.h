#pragma once

#include "session/transport/FrameCodec.h"
#include "session/transport/Frames.h"

#include <QTcpSocket>
#include <QtTest/QtTest>

#include <optional>

// A hand-driven connection to a host, for speaking the protocol wrongly or
// at the edges. Waits keep the event loop turning, since the host under test
// lives in the same thread.
namespace vellmar::session::testing {

class RawClient
{
public:
    bool connectTo(std::uint16_t port)
    {
        m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        return QTest::qWaitFor([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 3000);
    }
    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }

    std::optional<std::pair<FrameKind, QByteArray>> next(int timeoutMs = 3000)
    {
        std::optional<std::pair<FrameKind, QByteArray>> frame;
        (void)QTest::qWaitFor(
            [&] {
                m_in.append(m_socket.readAll());
                const auto f = decodeFrame(m_in, 1u << 24);
                if (f.status != DecodedFrame::Status::Complete)
                    return m_socket.state() != QAbstractSocket::ConnectedState;
                frame = std::make_pair(f.kind, f.body.toByteArray());
                m_in.remove(0, f.consumed);
                return true;
            },
            timeoutMs);
        return frame;
    }
    // The next refusal, skipping pings and the like.
    std::optional<RejectFrame> rejection()
    {
        for (auto frame = next(); frame; frame = next()) {
            if (frame->first == FrameKind::Reject)
                return parseReject(frame->second);
        }
        return std::nullopt;
    }
    bool waitClosed(int timeoutMs)
    {
        return QTest::qWaitFor(
            [&] {
                m_socket.readAll();
                return m_socket.state() == QAbstractSocket::UnconnectedState;
            },
            timeoutMs);
    }
    void sendHello(const QString &guid, const QString &name, std::uint16_t version = kProtocolVersion)
    {
        send(encode(HelloFrame{guid, version, name, 0}));
    }
    std::optional<WelcomeFrame> hello(const QString &guid, const QString &name)
    {
        sendHello(guid, name);
        const auto frame = next();
        if (!frame || frame->first != FrameKind::Welcome)
            return std::nullopt;
        return parseWelcome(frame->second);
    }
    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_in;
};

} // namespace vellmar::session::testing
