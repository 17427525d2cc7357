#include "SessionPassword.h"

#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>

#include <algorithm>

namespace vellmar::session {

namespace {

QByteArray randomBytes(int count)
{
    QByteArray out(count, '\0');
    QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(out.data()),
                                         reinterpret_cast<quint32 *>(out.data() + count));
    return out;
}

// A record with this many addresses is cut back to the recent ones, so a
// flood of guesses from many addresses cannot grow it without end.
constexpr int kMaxAddresses = 4096;
constexpr auto kForgetAfter = std::chrono::minutes(15);

} // namespace

PasswordKey derivePasswordKey(const QString &password, const QByteArray &salt, std::uint32_t rounds)
{
    if (password.isEmpty())
        return {};
    PasswordKey k;
    k.salt = salt;
    k.rounds = rounds;
    k.key = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                               static_cast<int>(rounds), 32);
    return k;
}

PasswordKey newPasswordKey(const QString &password, std::uint32_t rounds)
{
    return derivePasswordKey(password, randomBytes(16), rounds);
}

QByteArray newNonce() { return randomBytes(32); }

QByteArray passwordProof(const QByteArray &key, const QByteArray &nonce)
{
    return QMessageAuthenticationCode::hash(nonce, key, QCryptographicHash::Sha256);
}

bool proofMatches(const QByteArray &key, const QByteArray &nonce, const QByteArray &proof)
{
    const QByteArray expected = passwordProof(key, nonce);
    if (proof.size() != expected.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        diff |= static_cast<unsigned char>(expected.at(i) ^ proof.at(i));
    return diff == 0;
}

std::chrono::milliseconds FailurePacing::fail(const QString &address, Clock::time_point now)
{
    forgetOld(now);
    Entry &e = m_entries[address];
    ++e.failures;
    auto delay = m_base;
    for (int i = 1; i < e.failures && delay < m_max; ++i)
        delay *= 2;
    delay = std::min(delay, m_max);
    // Guesses sent side by side queue up behind each other.
    e.notBefore = std::max(now, e.notBefore) + delay;
    e.last = now;
    return std::chrono::duration_cast<std::chrono::milliseconds>(e.notBefore - now);
}

std::chrono::milliseconds FailurePacing::wait(const QString &address, Clock::time_point now) const
{
    const auto it = m_entries.constFind(address);
    if (it == m_entries.cend() || it->notBefore <= now)
        return std::chrono::milliseconds(0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(it->notBefore - now);
}

void FailurePacing::forgetOld(Clock::time_point now)
{
    for (auto it = m_entries.begin(); it != m_entries.end();)
        it = now - it->last > kForgetAfter && it->notBefore <= now ? m_entries.erase(it) : std::next(it);
    if (m_entries.size() < kMaxAddresses)
        return;
    // Still full: the addresses that failed longest ago go first.
    QList<Clock::time_point> times;
    for (const auto &e : std::as_const(m_entries))
        times.append(e.last);
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    const auto median = times.at(times.size() / 2);
    for (auto it = m_entries.begin(); it != m_entries.end();)
        it = it->last < median ? m_entries.erase(it) : std::next(it);
}

} // namespace vellmar::session
