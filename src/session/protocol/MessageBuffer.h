#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The message object that travels through the session: values are appended in
// order and read back in the same order. Encoding (see docs/protocol.md):
// a 32-bit value is 4 bytes big-endian two's complement; a string is a 32-bit
// big-endian byte count followed by that many bytes of UTF-8. The bytes are
// written and read by the wire codec (WireBytes.h).
namespace vellmar::session {

class MessageBuffer
{
public:
    MessageBuffer() = default;
    explicit MessageBuffer(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    void WriteLong(std::int32_t value);
    void WriteString(const QString &text);

    // Empty when the remaining bytes do not hold a complete value; the read
    // position then stays where it was.
    std::optional<std::int32_t> ReadLong();
    std::optional<QString> ReadString();

    const QByteArray &bytes() const { return m_bytes; }
    bool atEnd() const { return m_readPos >= m_bytes.size(); }

private:
    QByteArray m_bytes;
    qsizetype m_readPos = 0;
};

} // namespace vellmar::session
