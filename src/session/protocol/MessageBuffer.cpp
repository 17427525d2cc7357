#include "MessageBuffer.h"

#include "WireBytes.h"

#include <limits>

namespace vellmar::session {

// Signed values travel as their two's complement bit pattern; the counts of
// strings are never negative on the way out.

void MessageBuffer::WriteLong(std::int32_t value)
{
    m_bytes = wire::Writer(std::move(m_bytes)).u32(static_cast<std::uint32_t>(value)).take();
}

void MessageBuffer::WriteString(const QString &text) { m_bytes = wire::Writer(std::move(m_bytes)).text(text).take(); }

std::optional<std::int32_t> MessageBuffer::ReadLong()
{
    wire::Reader reader(QByteArrayView(m_bytes).sliced(m_readPos));
    const auto value = static_cast<std::int32_t>(reader.u32());
    if (!reader.ok())
        return std::nullopt;
    m_readPos += reader.position();
    return value;
}

std::optional<QString> MessageBuffer::ReadString()
{
    // A count with the sign bit set is a negative length: never valid.
    wire::Reader reader(QByteArrayView(m_bytes).sliced(m_readPos));
    const QByteArray utf8 = reader.bytes(std::numeric_limits<std::int32_t>::max());
    if (!reader.ok())
        return std::nullopt;
    m_readPos += reader.position();
    return QString::fromUtf8(utf8);
}

} // namespace vellmar::session
