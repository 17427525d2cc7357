#include "MessageBuffer.h"

#include <QtEndian>

namespace vellmar::session {

void MessageBuffer::WriteLong(std::int32_t value)
{
    char raw[4];
    qToBigEndian<std::int32_t>(value, raw);
    m_bytes.append(raw, 4);
}

void MessageBuffer::WriteString(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    WriteLong(static_cast<std::int32_t>(utf8.size()));
    m_bytes.append(utf8);
}

std::optional<std::int32_t> MessageBuffer::ReadLong()
{
    if (m_bytes.size() - m_readPos < 4)
        return std::nullopt;
    const auto value = qFromBigEndian<std::int32_t>(m_bytes.constData() + m_readPos);
    m_readPos += 4;
    return value;
}

std::optional<QString> MessageBuffer::ReadString()
{
    const qsizetype start = m_readPos;
    const auto length = ReadLong();
    if (!length || *length < 0 || m_bytes.size() - m_readPos < *length) {
        m_readPos = start;
        return std::nullopt;
    }
    QString text = QString::fromUtf8(m_bytes.constData() + m_readPos, *length);
    m_readPos += *length;
    return text;
}

} // namespace vellmar::session
