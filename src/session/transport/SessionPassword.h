#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <chrono>
#include <cstdint>

// A session password, proved without ever sending it: the host sends a random
// nonce, the joining side answers with HMAC-SHA-256 over it, keyed with a key
// derived from the password. Every member that proved the password keeps the
// key (never the password), so whichever of them takes over as host can ask
// later joiners the same question.
namespace vellmar::session {

struct PasswordKey
{
    QByteArray salt;
    std::uint32_t rounds = 0;
    QByteArray key; // empty: the session has no password

    bool required() const { return !key.isEmpty(); }
    bool operator==(const PasswordKey &) const = default;
};

constexpr std::uint32_t kDefaultKeyRounds = 50000;

// The key for a new session, with a fresh random salt; no key for a blank password.
PasswordKey newPasswordKey(const QString &password, std::uint32_t rounds = kDefaultKeyRounds);
// The key a host's challenge asks for.
PasswordKey derivePasswordKey(const QString &password, const QByteArray &salt, std::uint32_t rounds);

QByteArray newNonce();
QByteArray passwordProof(const QByteArray &key, const QByteArray &nonce);
// Compares in constant time, so the answer's timing tells nothing.
bool proofMatches(const QByteArray &key, const QByteArray &nonce, const QByteArray &proof);

// Slows down guessing: every wrong password from an address makes the host
// wait longer before it answers anything from that address again (the base
// delay, doubling with each failure, up to the maximum). Failures are
// forgotten after a quiet spell.
class FailurePacing
{
public:
    using Clock = std::chrono::steady_clock;
    FailurePacing(std::chrono::milliseconds base, std::chrono::milliseconds max) : m_base(base), m_max(max) {}

    // Records a failure; the answer to it waits this long from now.
    std::chrono::milliseconds fail(const QString &address, Clock::time_point now = Clock::now());
    // How long an answer to this address must still wait.
    std::chrono::milliseconds wait(const QString &address, Clock::time_point now = Clock::now()) const;
    void succeed(const QString &address) { m_entries.remove(address); }
    int failures(const QString &address) const { return m_entries.value(address).failures; }

private:
    struct Entry
    {
        int failures = 0;
        Clock::time_point notBefore;
        Clock::time_point last;
    };
    void forgetOld(Clock::time_point now);

    std::chrono::milliseconds m_base;
    std::chrono::milliseconds m_max;
    QHash<QString, Entry> m_entries;
};

} // namespace vellmar::session
