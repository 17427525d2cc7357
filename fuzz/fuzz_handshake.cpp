// Every frame-body parser over arbitrary bytes, the handshake first among
// them (it is what an unauthenticated stranger gets to send). Whatever parses
// must encode back to the same bytes.
#include "session/transport/FrameCodec.h"
#include "session/transport/Frames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace vellmar::session;

namespace {

QByteArrayView bodyOf(const QByteArray &frame) { return QByteArrayView(frame).sliced(kFrameHeaderBytes + 1); }

template <typename Parse>
void roundTrip(QByteArrayView body, Parse parse)
{
    const auto parsed = parse(body);
    if (!parsed)
        return;
    const QByteArray again = encode(*parsed);
    const auto reparsed = parse(bodyOf(again));
    if (!reparsed || !(*reparsed == *parsed))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const auto kind = static_cast<FrameKind>(data[0]);
    const QByteArrayView body(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));

    const Handshake handshake = parseHandshake(kind, body);
    if (const auto *hello = std::get_if<HelloFrame>(&handshake); hello && hello->version == kProtocolVersion) {
        if (bodyOf(encode(*hello)) != body)
            std::abort(); // a well-formed hello has exactly one encoding
    }
    roundTrip(body, parseResume);
    roundTrip(body, parseQuery);
    roundTrip(body, parseWelcome);
    roundTrip(body, parseReject);
    roundTrip(body, parseInfo);
    roundTrip(body, parseSend);
    roundTrip(body, parseDeliver);
    roundTrip(body, parseAck);
    roundTrip(body, parseJoined);
    roundTrip(body, parseLeft);
    roundTrip(body, parseReplayRequest);
    roundTrip(body, parseBulkSend);
    roundTrip(body, parseBulkDeliver);
    parseEmpty(body);
    return 0;
}
