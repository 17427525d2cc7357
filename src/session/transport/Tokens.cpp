#include "Tokens.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtEndian>

namespace vellmar::session {

std::uint64_t newResumeToken()
{
    std::uint64_t token = 0;
    while (token == 0)
        token = QRandomGenerator::system()->generate64();
    return token;
}

std::uint64_t resumeTokenHash(std::uint64_t token)
{
    char raw[8];
    qToBigEndian(token, raw);
    const QByteArray digest = QCryptographicHash::hash(QByteArrayView(raw, 8), QCryptographicHash::Sha256);
    return qFromBigEndian<std::uint64_t>(digest.constData());
}

} // namespace vellmar::session
