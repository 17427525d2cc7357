// The stream decoder over arbitrary bytes: it must never read out of bounds,
// must make progress on every complete frame, and must decode a stream the
// same way however it is split.
#include "session/transport/FrameCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace vellmar::session;

namespace {

constexpr std::uint32_t kCap = 4096;

struct Outcome
{
    QByteArray frames; // every decoded frame, re-encoded, back to back
    bool bad = false;
};

// Feeds the input in two pieces, as two reads of a socket might.
Outcome decodeStream(QByteArrayView input, qsizetype split)
{
    Outcome out;
    QByteArray buffer;
    for (QByteArrayView piece : {input.first(split), input.sliced(split)}) {
        buffer.append(piece.data(), piece.size());
        for (;;) {
            const auto f = decodeFrame(buffer, kCap);
            if (f.status == DecodedFrame::Status::Bad) {
                out.bad = true;
                return out;
            }
            if (f.status == DecodedFrame::Status::NeedMore)
                break;
            if (f.consumed <= kFrameHeaderBytes || f.consumed > buffer.size()
                || f.body.size() != f.consumed - kFrameHeaderBytes - 1)
                std::abort();
            const QByteArray again = encodeFrame(f.kind, f.body);
            if (again != QByteArrayView(buffer).first(f.consumed))
                std::abort(); // decoding lost or changed something
            out.frames += again;
            buffer.remove(0, f.consumed);
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const Outcome whole = decodeStream(input, 0);
    const Outcome split = decodeStream(input, size == 0 ? 0 : static_cast<qsizetype>(data[0] % (size + 1)));
    if (whole.bad != split.bad || whole.frames != split.frames)
        std::abort();
    return 0;
}
