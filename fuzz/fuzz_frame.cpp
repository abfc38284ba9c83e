// Random bytes through the frame reader, in random piece sizes, and every delivered frame through
// the payload decoder: neither may crash, leak or lose sync accounting.
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/MorvendaFrameReader.h"

#include <cstddef>
#include <cstdint>

namespace {

// Small enough that the fuzzer reaches oversize frames, large enough for real payloads.
constexpr std::uint64_t fuzzCap = 64 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    static Decoder decoder = Decoder::make();
    const std::size_t piece = std::size_t(data[0] % 61) + 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const qsizetype length = qsizetype(size - 1);

    MorvendaFrameReader reader(fuzzCap);
    qsizetype delivered = 0;
    for (qsizetype start = 0; start < length; start += qsizetype(piece)) {
        const qsizetype chunk = std::min<qsizetype>(qsizetype(piece), length - start);
        qsizetype pos = 0;
        while (pos < chunk) {
            auto step = reader.step(bytes + start + pos, chunk - pos);
            if (step.consumed <= 0 && step.event == MorvendaFrameReader::Event::NeedMore) {
                __builtin_trap();  // no progress on non-empty input
            }
            pos += step.consumed;
            if (step.event == MorvendaFrameReader::Event::Frame) {
                if (std::uint64_t(step.body.size()) != step.length || step.length > fuzzCap) {
                    __builtin_trap();
                }
                delivered += step.body.size() + MorvendaFramer::headerSize;
                (void)decoder.decodePayload(step.body);
            }
        }
    }
    if (delivered > length) {
        __builtin_trap();
    }
    // The whole input as one frame body too: the decoder sees every shape the fuzzer makes.
    (void)decoder.decodePayload(QByteArrayView(bytes, length));
    return 0;
}
