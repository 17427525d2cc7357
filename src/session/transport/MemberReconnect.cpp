#include "MemberSide.h"

#include "SessionLog.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace vellmar::session {

bool MemberSide::linkBroke()
{
    const int breaks = m_pacing.linkBroke();
    if (m_pacing.givesUp()) {
        lose(
            QStringLiteral("The connection to the host broke %1 times in a row right after it was set up").arg(breaks));
        return false;
    }
    const auto delay = m_pacing.delayAfterBreak();
    qCInfo(lcSession).noquote()
        << QStringLiteral("link to the host broke (%1 in a row); reconnecting in %2 ms").arg(breaks).arg(delay.count());
    beginReconnect(delay);
    return true;
}

void MemberSide::beginReconnect(std::chrono::milliseconds delay)
{
    m_state = State::Reconnecting;
    m_pacing.startSearch();
    m_oldHost = m_hostId;
    m_skipOldHost = false;
    m_movedOn = false;
    m_redirect.reset();
    m_unreachable.clear();
    m_reconnectClock.start();
    m_oldHostClock.start();
    m_retryTimer.start(delay);
}

void MemberSide::retryLater() { m_retryTimer.start(m_pacing.nextRetry()); }

void MemberSide::attempt()
{
    if (m_state != State::Reconnecting)
        return;
    if (!chooseTarget())
        return;
    if (const auto left = m_faults ? m_faults->outageLeft() : std::chrono::milliseconds(0); left.count() > 0) {
        // Cut off: no packet gets through, so the attempt ends like a
        // connection that is never answered (or when the link is back).
        m_attemptTimer.start(std::min(left, m_settings.connectTimeout));
        return;
    }
    qCDebug(lcSession).noquote() << QStringLiteral("trying player %1 at %2:%3 (retry %4)")
                                        .arg(m_target)
                                        .arg(m_targetAddress)
                                        .arg(m_targetPort)
                                        .arg(m_pacing.tries());
    m_attemptSocket = new QTcpSocket(this);
    connect(m_attemptSocket, &QTcpSocket::connected, this, &MemberSide::attemptConnected);
    connect(m_attemptSocket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        attemptFailed(error == QAbstractSocket::ConnectionRefusedError ? Failure::Refused : Failure::Unreachable);
    });
    m_attemptTimer.start(m_settings.connectTimeout);
    m_attemptSocket->connectToHost(m_targetAddress, m_targetPort);
}

void MemberSide::attemptConnected()
{
    m_attemptTimer.stop();
    QTcpSocket *socket = std::exchange(m_attemptSocket, nullptr);
    socket->disconnect(this);
    m_link = makeLink(socket);
    m_link->startHandshakeDeadline();
    ResumeFrame resume;
    resume.guidApplication = m_guid;
    resume.playerId = static_cast<std::uint32_t>(m_ownId);
    resume.token = m_token;
    resume.epoch = m_epoch;
    resume.lastSeq = m_lastSeq;
    resume.name = m_name;
    resume.listenPort = m_server ? m_server->serverPort() : 0;
    m_link->send(encode(resume));
}

void MemberSide::attemptFailed(Failure why)
{
    m_attemptTimer.stop();
    if (m_attemptSocket)
        m_attemptSocket->disconnect(this);
    dropNow(m_attemptSocket);
    dropNow(m_link);
    if (m_state != State::Reconnecting)
        return;
    if (m_target == m_oldHost && !m_skipOldHost) {
        // No answer at all may be our own network: the host keeps our place
        // for the resume grace, so it is tried that long. A refusal (nobody
        // listens) or an accepted connection that stays silent (a stopped
        // or broken host) means it cannot serve anyone.
        if (why == Failure::Unreachable && m_oldHostClock.elapsed() < m_settings.resumeGrace.count())
            return retryLater();
        return giveUpOldHost();
    }
    // A would-be successor that accepted but did not answer is busy taking
    // over: ask again. One that cannot be reached is passed over.
    if (why == Failure::Silent)
        return retryLater();
    m_unreachable.insert(m_target);
    m_retryTimer.start(0);
}

void MemberSide::resendUnacked()
{
    for (const auto &frame : m_unacked)
        m_link->send(encode(frame));
}

} // namespace vellmar::session
