#include "WireBytes.h"

#include <QStringDecoder>
#include <QtEndian>

namespace vellmar::session::wire {

Writer &Writer::u8(std::uint8_t v)
{
    m_out.append(static_cast<char>(v));
    return *this;
}

Writer &Writer::u16(std::uint16_t v)
{
    char raw[2];
    qToBigEndian(v, raw);
    m_out.append(raw, 2);
    return *this;
}

Writer &Writer::u32(std::uint32_t v)
{
    char raw[4];
    qToBigEndian(v, raw);
    m_out.append(raw, 4);
    return *this;
}

Writer &Writer::u64(std::uint64_t v)
{
    char raw[8];
    qToBigEndian(v, raw);
    m_out.append(raw, 8);
    return *this;
}

Writer &Writer::bytes(QByteArrayView v)
{
    u32(static_cast<std::uint32_t>(v.size()));
    m_out.append(v.data(), v.size());
    return *this;
}

Writer &Writer::text(const QString &v) { return bytes(v.toUtf8()); }

bool Reader::take(qsizetype n, const char **at)
{
    if (!m_ok || n < 0 || m_in.size() - m_pos < n) {
        m_ok = false;
        return false;
    }
    *at = m_in.data() + m_pos;
    m_pos += n;
    return true;
}

std::uint8_t Reader::u8()
{
    const char *at = nullptr;
    return take(1, &at) ? static_cast<std::uint8_t>(*at) : 0;
}

std::uint16_t Reader::u16()
{
    const char *at = nullptr;
    return take(2, &at) ? qFromBigEndian<std::uint16_t>(at) : 0;
}

std::uint32_t Reader::u32()
{
    const char *at = nullptr;
    return take(4, &at) ? qFromBigEndian<std::uint32_t>(at) : 0;
}

std::uint64_t Reader::u64()
{
    const char *at = nullptr;
    return take(8, &at) ? qFromBigEndian<std::uint64_t>(at) : 0;
}

QByteArray Reader::bytes(std::uint32_t maxBytes)
{
    const std::uint32_t length = u32();
    if (!m_ok || length > maxBytes) {
        m_ok = false;
        return {};
    }
    const char *at = nullptr;
    if (!take(static_cast<qsizetype>(length), &at))
        return {};
    return QByteArray(at, static_cast<qsizetype>(length));
}

QString Reader::text(std::uint32_t maxBytes)
{
    const QByteArray raw = bytes(maxBytes);
    if (!m_ok)
        return {};
    // A leading byte-order mark is kept as text, so every string has one encoding.
    QStringDecoder decode(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString result = decode(raw);
    if (decode.hasError()) {
        m_ok = false;
        return {};
    }
    return result;
}

} // namespace vellmar::session::wire
