#include "FrameCodec.h"

#include <QtEndian>

namespace vellmar::session {

bool isKnownFrameKind(std::uint8_t kind)
{
    switch (static_cast<FrameKind>(kind)) {
    case FrameKind::Hello:
    case FrameKind::Resume:
    case FrameKind::Query:
    case FrameKind::Proof:
    case FrameKind::Welcome:
    case FrameKind::Reject:
    case FrameKind::Info:
    case FrameKind::Challenge:
    case FrameKind::Send:
    case FrameKind::Deliver:
    case FrameKind::Ack:
    case FrameKind::Joined:
    case FrameKind::Left:
    case FrameKind::Replay:
    case FrameKind::ReplayEnd:
    case FrameKind::ReplayRequest:
    case FrameKind::BulkSend:
    case FrameKind::BulkDeliver:
    case FrameKind::Ping:
    case FrameKind::Bye:
        return true;
    }
    return false;
}

const char *frameKindName(FrameKind kind)
{
    switch (kind) {
    case FrameKind::Hello:
        return "Hello";
    case FrameKind::Resume:
        return "Resume";
    case FrameKind::Query:
        return "Query";
    case FrameKind::Proof:
        return "Proof";
    case FrameKind::Welcome:
        return "Welcome";
    case FrameKind::Reject:
        return "Reject";
    case FrameKind::Info:
        return "Info";
    case FrameKind::Challenge:
        return "Challenge";
    case FrameKind::Send:
        return "Send";
    case FrameKind::Deliver:
        return "Deliver";
    case FrameKind::Ack:
        return "Ack";
    case FrameKind::Joined:
        return "Joined";
    case FrameKind::Left:
        return "Left";
    case FrameKind::Replay:
        return "Replay";
    case FrameKind::ReplayEnd:
        return "ReplayEnd";
    case FrameKind::ReplayRequest:
        return "ReplayRequest";
    case FrameKind::BulkSend:
        return "BulkSend";
    case FrameKind::BulkDeliver:
        return "BulkDeliver";
    case FrameKind::Ping:
        return "Ping";
    case FrameKind::Bye:
        return "Bye";
    }
    return "unknown";
}

DecodedFrame decodeFrame(QByteArrayView input, std::uint32_t maxFrameBytes)
{
    DecodedFrame result;
    if (input.size() < kFrameHeaderBytes)
        return result;
    const auto length = qFromBigEndian<std::uint32_t>(input.data());
    if (length == 0 || length > maxFrameBytes) {
        result.status = DecodedFrame::Status::Bad;
        result.problem = length == 0 ? "frame length 0" : "frame length above the cap";
        return result;
    }
    if (input.size() < kFrameHeaderBytes + 1)
        return result;
    const auto kind = static_cast<std::uint8_t>(input[kFrameHeaderBytes]);
    if (!isKnownFrameKind(kind)) {
        result.status = DecodedFrame::Status::Bad;
        result.problem = "unknown frame kind";
        return result;
    }
    const qsizetype total = kFrameHeaderBytes + static_cast<qsizetype>(length);
    if (input.size() < total)
        return result;
    result.status = DecodedFrame::Status::Complete;
    result.kind = static_cast<FrameKind>(kind);
    result.body = input.sliced(kFrameHeaderBytes + 1, static_cast<qsizetype>(length) - 1);
    result.consumed = total;
    return result;
}

QByteArray encodeFrame(FrameKind kind, QByteArrayView body)
{
    QByteArray out;
    out.reserve(kFrameHeaderBytes + 1 + body.size());
    char header[kFrameHeaderBytes];
    qToBigEndian(static_cast<std::uint32_t>(body.size() + 1), header);
    out.append(header, kFrameHeaderBytes);
    out.append(static_cast<char>(kind));
    out.append(body.data(), body.size());
    return out;
}

} // namespace vellmar::session
