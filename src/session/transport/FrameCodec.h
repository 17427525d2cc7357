#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

// Stream framing: a 4-byte big-endian length (of everything after it), one
// kind byte, then the body. The decoder is a pure function over the bytes
// received so far, kept apart from any socket so it can be tested byte by
// byte and fuzzed.
namespace vellmar::session {

enum class FrameKind : std::uint8_t {
    Hello = 0x01,
    Resume = 0x02,
    Query = 0x03,
    Proof = 0x04,
    Welcome = 0x10,
    Reject = 0x11,
    Info = 0x12,
    Challenge = 0x13,
    Send = 0x20,
    Deliver = 0x21,
    Ack = 0x22,
    Joined = 0x23,
    Left = 0x24,
    Replay = 0x25,
    ReplayEnd = 0x26,
    ReplayRequest = 0x27,
    BulkSend = 0x28,
    BulkDeliver = 0x29,
    Ping = 0x30,
    Bye = 0x31,
};

bool isKnownFrameKind(std::uint8_t kind);
// For logs: "Send", "Deliver", ...
const char *frameKindName(FrameKind kind);

constexpr qsizetype kFrameHeaderBytes = 4;

struct DecodedFrame
{
    enum class Status { Complete, NeedMore, Bad };
    Status status = Status::NeedMore;
    FrameKind kind = FrameKind::Ping;
    QByteArrayView body;           // points into the input; valid while it lives
    qsizetype consumed = 0;        // bytes of input that made up this frame
    const char *problem = nullptr; // Bad only: what was wrong, for logs
};

// Bad as soon as the length field is 0 or above maxFrameBytes, or the kind is
// unknown, so an oversized claim is refused before its body is waited for.
DecodedFrame decodeFrame(QByteArrayView input, std::uint32_t maxFrameBytes);

QByteArray encodeFrame(FrameKind kind, QByteArrayView body);

} // namespace vellmar::session
