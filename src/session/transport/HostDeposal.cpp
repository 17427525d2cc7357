#include "HostCore.h"

#include "SessionLog.h"

#include <QTcpSocket>

#include <algorithm>

namespace vellmar::session {

// A player of ours that speaks for a later epoch may have taken over as host
// while we were not answering (stopped, or cut off). Its word alone is not
// enough, or any member could end the session for everyone: a host that was
// really replaced hears none of its members any more, since they all gave it
// up before they moved on. So the claim is weighed only after a few ping
// intervals, long enough for every live member to have said something.
void HostCore::checkDeposed(PeerLink *link, const ResumeFrame &resume)
{
    const auto id = static_cast<PlayerId>(resume.playerId);
    const RosterEntry *known = m_roster.find(id);
    if (!known || !m_roster.isPresent(id) || known->tokenHash != resumeTokenHash(resume.token))
        return reject(link, RejectReason::UnknownPlayer, QStringLiteral("Resume refused"));
    reject(link, RejectReason::NotHost, QStringLiteral("No longer the host"));
    if (m_deposed || m_deposalCheck.isActive())
        return;
    m_deposalCheck.start(deposalWindow());
}

std::chrono::milliseconds HostCore::deposalWindow() const { return 2 * m_settings.pingInterval; }

void HostCore::settleDeposal()
{
    if (m_deposed)
        return;
    const auto window = deposalWindow().count();
    const bool hearsMembers = std::any_of(m_members.cbegin(), m_members.cend(), [window](const auto &kv) {
        const PeerLink *link = kv.second.link;
        return link && link->isOpen() && link->msSinceHeard() < window;
    });
    if (hearsMembers)
        return; // the session is here: the claim was false
    m_deposed = true;
    Q_EMIT deposed();
}

void HostCore::tellOldHost(const TakeoverState &state)
{
    // Where the members reached it; a host without a player of its own is
    // in no roster, and one with a player listens where it was reached.
    if (state.oldHostPort == 0 || state.oldHostAddress.isEmpty())
        return;
    ResumeFrame resume;
    resume.guidApplication = m_session.guidApplication;
    resume.playerId = static_cast<std::uint32_t>(m_localId);
    resume.token = state.token;
    resume.epoch = m_epoch;
    resume.lastSeq = m_seq;
    resume.name = m_roster.nameOf(m_localId).value_or(QStringLiteral("?"));
    resume.listenPort = port();
    const QByteArray frame = encode(resume);
    // Said once and left in its input: a stopped host reads it when it is
    // continued. A dead one refuses, which is just as well.
    auto *socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, socket, [socket, frame] {
        socket->write(frame);
        socket->disconnectFromHost();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
    QTimer::singleShot(m_settings.connectTimeout + m_settings.handshakeTimeout, socket, &QObject::deleteLater);
    socket->connectToHost(state.oldHostAddress, state.oldHostPort);
}

} // namespace vellmar::session
