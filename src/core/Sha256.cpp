#include "Sha256.h"

#include <QFile>

#ifdef VELLMAR_OPENSSL_SHA256
#include <openssl/evp.h>
#else
#include <QCryptographicHash>
#endif

namespace vellmar::core {

#ifdef VELLMAR_OPENSSL_SHA256

struct Sha256::State
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : m_state(std::make_unique<State>())
{
    if (!m_state->context || EVP_DigestInit_ex(m_state->context, EVP_sha256(), nullptr) != 1)
        qFatal("OpenSSL cannot compute SHA-256");
}

void Sha256::addData(QByteArrayView bytes)
{
    EVP_DigestUpdate(m_state->context, bytes.data(), static_cast<size_t>(bytes.size()));
}

QByteArray Sha256::result()
{
    QByteArray digest(32, Qt::Uninitialized);
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_state->context, reinterpret_cast<unsigned char *>(digest.data()), &length);
    return digest;
}

#else

struct Sha256::State
{
    QCryptographicHash hash{QCryptographicHash::Sha256};
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {}

void Sha256::addData(QByteArrayView bytes) { m_state->hash.addData(bytes); }

QByteArray Sha256::result() { return m_state->hash.result(); }

#endif

Sha256::~Sha256() = default;

QByteArray Sha256::hash(QByteArrayView bytes)
{
    Sha256 sha;
    sha.addData(bytes);
    return sha.result();
}

std::optional<QByteArray> fileSha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    Sha256 sha;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(buffer.data(), buffer.size());
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return sha.result();
        sha.addData(QByteArrayView(buffer.constData(), got));
    }
}

} // namespace vellmar::core
