#include "HostCore.h"

#include "SessionAddress.h"
#include "SessionLog.h"

#include <QPointer>

namespace vellmar::session {

// The connection has passed every other check; before it is let in it must
// show it knows the password. Its first frame waits with the nonce asked.
void HostCore::challenge(PeerLink *link, const Handshake &first)
{
    ChallengeFrame c{m_password.salt, m_password.rounds, newNonce()};
    m_challenged[link] = {first, c.nonce};
    link->setFrameHandler([this, link](FrameKind kind, QByteArrayView body) { onProof(link, kind, body); });
    link->startHandshakeDeadline(); // the answer is due as promptly as the first frame was
    link->send(encode(c));
}

void HostCore::onProof(PeerLink *link, FrameKind kind, QByteArrayView body)
{
    auto it = m_challenged.find(link);
    if (it == m_challenged.end())
        return; // answered already; anything more waits with it
    if (kind == FrameKind::Ping && parseEmpty(body))
        return;
    const auto [first, nonce] = it->second;
    m_challenged.erase(it);
    const auto proof = kind == FrameKind::Proof ? parseProof(body) : std::nullopt;
    if (!proof)
        return reject(link, RejectReason::Malformed, QStringLiteral("Expected the answer to the password challenge"));

    // The answer, right or wrong, waits while this address is being slowed
    // down; the link stays open (and pinged) meanwhile.
    link->setEstablished();
    const QString address = plainAddress(link->peerAddress());
    const bool right = proofMatches(m_password.key, nonce, proof->mac);
    std::chrono::milliseconds wait{0};
    if (right) {
        wait = m_failures.wait(address);
    } else {
        wait = m_failures.fail(address);
        qCWarning(lcSession).noquote() << "wrong session password from" << address << "("
                                       << m_failures.failures(address) << "in a row); answering in" << wait.count()
                                       << "ms";
    }
    QPointer<PeerLink> alive(link);
    QTimer::singleShot(wait, this, [this, alive, right, first = first, address] {
        if (!alive || !m_pending.contains(alive.data()))
            return; // it went away while it waited
        if (!right)
            return reject(alive, RejectReason::WrongPassword, QStringLiteral("Wrong session password"));
        m_failures.succeed(address);
        if (const auto *hello = std::get_if<HelloFrame>(&first))
            acceptHello(alive, *hello, true);
        else if (const auto *resume = std::get_if<ResumeFrame>(&first))
            acceptResume(alive, *resume, true);
    });
}

} // namespace vellmar::session
