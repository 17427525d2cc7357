#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

// The one codec for the wire's integers and counted UTF-8, used for frame
// bodies and application payloads alike: a big-endian field writer and a
// bounds-checked reader. The reader never throws and never reads past the
// end: the first short or bad field sets a failure flag that the caller
// checks once at the end.
namespace vellmar::session::wire {

class Writer
{
public:
    Writer() = default;
    // Appends to bytes already written.
    explicit Writer(QByteArray start) : m_out(std::move(start)) {}

    Writer &u8(std::uint8_t v);
    Writer &u16(std::uint16_t v);
    Writer &u32(std::uint32_t v);
    Writer &u64(std::uint64_t v);
    Writer &bytes(QByteArrayView v); // u32 length + raw bytes
    Writer &text(const QString &v);  // u32 length + UTF-8
    QByteArray take() { return std::move(m_out); }
    QByteArray &buffer() { return m_out; }

private:
    QByteArray m_out;
};

class Reader
{
public:
    explicit Reader(QByteArrayView in) : m_in(in) {}

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::uint64_t u64();
    QByteArray bytes(std::uint32_t maxBytes);
    // Fails on invalid UTF-8 as well as on a short or over-long field.
    QString text(std::uint32_t maxBytes);

    // True when every field was read and nothing is left over.
    bool finishedCleanly() const { return m_ok && m_pos == m_in.size(); }
    qsizetype position() const { return m_pos; }
    qsizetype remaining() const { return m_in.size() - m_pos; }
    bool ok() const { return m_ok; }
    void fail() { m_ok = false; }

private:
    bool take(qsizetype n, const char **at);

    QByteArrayView m_in;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

} // namespace vellmar::session::wire
