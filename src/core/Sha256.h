#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

namespace vellmar::core {

// SHA-256 fed in pieces. Pictures of tens of megabytes are hashed by every
// copy that receives them, so where the build found OpenSSL's libcrypto it
// does the work (it uses the processor's SHA instructions: about five times
// Qt's speed here); otherwise Qt's implementation does.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void addData(QByteArrayView bytes);
    // The 32 bytes of the digest; the object is spent afterwards.
    QByteArray result();

    static QByteArray hash(QByteArrayView bytes);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The digest of a whole file, or nothing when it cannot be read.
std::optional<QByteArray> fileSha256(const QString &path);

} // namespace vellmar::core
