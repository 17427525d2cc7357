#pragma once

// The few frames of the session protocol that the raw-socket benchmark
// programs speak, written and read without Qt: the relay floor and the
// member harness must not pay for (or be slowed by) what they measure.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vellmar::bench {

inline constexpr std::uint32_t kMagic = 0x564C4D52;
inline constexpr std::uint16_t kVersion = 2;
inline constexpr std::string_view kGuid = "{12332123-5544-6546-4332-112344334334}";
inline constexpr std::uint32_t kFrameCap = 64 * 1024;

enum Kind : std::uint8_t {
    Hello = 0x01,
    Welcome = 0x10,
    Reject = 0x11,
    Send = 0x20,
    Deliver = 0x21,
    Ack = 0x22,
    Joined = 0x23,
    Left = 0x24,
    Ping = 0x30,
    Bye = 0x31,
};

// Appends big-endian fields to a byte string; a frame's length is filled in
// when it is closed.
class Writer
{
public:
    explicit Writer(std::string &out) : m_out(out) {}
    Writer &u8(std::uint8_t v)
    {
        m_out.push_back(static_cast<char>(v));
        return *this;
    }
    Writer &u16(std::uint16_t v) { return put(v, 2); }
    Writer &u32(std::uint32_t v) { return put(v, 4); }
    Writer &u64(std::uint64_t v) { return put(v, 8); }
    Writer &bytes(std::string_view v)
    {
        u32(static_cast<std::uint32_t>(v.size()));
        m_out.append(v);
        return *this;
    }
    Writer &begin(Kind kind)
    {
        m_frameStart = m_out.size();
        return u32(0).u8(kind);
    }
    void end()
    {
        const auto length = static_cast<std::uint32_t>(m_out.size() - m_frameStart - 4);
        for (int i = 0; i < 4; ++i)
            m_out[m_frameStart + static_cast<std::size_t>(i)] = static_cast<char>(length >> (24 - 8 * i));
    }

private:
    Writer &put(std::uint64_t v, int width)
    {
        for (int i = width - 1; i >= 0; --i)
            m_out.push_back(static_cast<char>(v >> (8 * i)));
        return *this;
    }
    std::string &m_out;
    std::size_t m_frameStart = 0;
};

// Reads big-endian fields from a frame body; any read past the end clears ok.
class Reader
{
public:
    Reader(const char *data, std::size_t size) : m_p(reinterpret_cast<const unsigned char *>(data)), m_left(size) {}
    std::uint8_t u8() { return static_cast<std::uint8_t>(get(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(get(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(get(4)); }
    std::uint64_t u64() { return get(8); }
    std::string_view bytes()
    {
        const std::uint32_t n = u32();
        if (!m_ok || n > m_left) {
            m_ok = false;
            return {};
        }
        const std::string_view v(reinterpret_cast<const char *>(m_p), n);
        m_p += n;
        m_left -= n;
        return v;
    }
    bool ok() const { return m_ok; }
    bool done() const { return m_ok && m_left == 0; }

private:
    std::uint64_t get(std::size_t width)
    {
        if (width > m_left) {
            m_ok = false;
            m_left = 0;
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i)
            v = (v << 8) | m_p[i];
        m_p += width;
        m_left -= width;
        return v;
    }
    const unsigned char *m_p;
    std::size_t m_left;
    bool m_ok = true;
};

struct Frame
{
    Kind kind = Ping;
    const char *body = nullptr;
    std::size_t size = 0;
};

// The next frame in `n` bytes: bytes consumed, 0 when more are needed, -1
// when the length is 0 or above the cap.
inline long nextFrame(const char *p, std::size_t n, Frame &frame)
{
    if (n < 5)
        return 0;
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    const std::uint32_t length =
        (std::uint32_t(u[0]) << 24) | (std::uint32_t(u[1]) << 16) | (std::uint32_t(u[2]) << 8) | std::uint32_t(u[3]);
    if (length == 0 || length > kFrameCap)
        return -1;
    if (n < 4 + std::size_t(length))
        return 0;
    frame.kind = static_cast<Kind>(u[4]);
    frame.body = p + 5;
    frame.size = length - 1;
    return 4 + long(length);
}

// A chat message as the application encodes it: type 0, then one string of
// `text` bytes. The same size whatever is measured.
inline std::string chatPayload(std::size_t text)
{
    std::string payload;
    Writer(payload).u32(0).bytes(std::string(text, 'x'));
    return payload;
}

} // namespace vellmar::bench
