// Fuzzes the decoders of both envelopes and of session-file arrays. Whatever decodes must encode
// to bytes that decode again and re-encode to the same bytes (the writer's form is a fixed point).
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/Encoder.h"

#include <cstdint>
#include <cstdlib>

namespace {

template<typename T, typename Decode>
void checkFixedPoint(const T &value, Decode decode)
{
    const QByteArray once = Encoder::encode(value);
    const auto again = decode(once);
    if (!again)
        std::abort();
    if (Encoder::encode(*again) != once)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    Decoder decoder;
    if (const auto payload = decoder.decodePayload(bytes))
        checkFixedPoint(*payload, [](const QByteArray &b) { return Decoder().decodePayload(b); });
    else if (payload.error().toString().isEmpty())
        std::abort();
    if (const auto appPayload = decoder.decodeAppPayload(bytes))
        checkFixedPoint(*appPayload, [](const QByteArray &b) { return Decoder().decodeAppPayload(b); });
    if (const auto array = decoder.decodePayloadArray(bytes))
        checkFixedPoint(*array, [](const QByteArray &b) { return Decoder().decodePayloadArray(b); });
    return 0;
}
