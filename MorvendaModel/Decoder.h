// The one JSON reader configuration of the wire and of session files: dates as milliseconds since
// 1970, non-finite numbers as the strings "+", "-", "NAN", strict UUIDs, no key conversion.
// A Decoder belongs to the thread that uses it (it keeps its parse buffers between calls); make one
// per thread or per use. Decoders share no state, so any number may run on different threads.
//
// Documents the reader treats specially:
// - An integer literal of 2^64 or more (or below -2^63) anywhere, even under a key no record reads,
//   makes simdjson refuse the whole document. The decoder then reads it as a floating-point number
//   instead: the payload survives, a date or floating-point field gets the double, and a
//   whole-number field fails with DataCorrupted as for any value out of range.
// - A number beyond the double range (1e400) or nesting deeper than 1024 levels anywhere makes the
//   document DataCorrupted.
// - A key given twice in one object keeps its last value.
// - A frame body with more values than maxValuesPerFrame allows is refused unread (DataCorrupted):
//   the parsed form and the records take tens of bytes per value, so a dense document would
//   otherwise take many times its own size.
// - Running out of memory fails the one document (DataCorrupted) and nothing else.
#pragma once

#include "MorvendaModel/AppPayload.h"
#include "MorvendaModel/DecodeError.h"
#include "MorvendaModel/Payload.h"

#include <QByteArrayView>
#include <QList>

#include <tl/expected.hpp>

#include <memory>

class Decoder
{
public:
    static Decoder make();

    // Values (objects, arrays, keys and elements) a frame body may hold: one per 32 bytes, and at
    // least 2^20 whatever its size. The decode's peak then stays near 4 times the body for
    // large frames (1 for the body, 1 for the parser's copy, up to 2 for strings in the parsed
    // form and in the records) plus at most about 70 bytes per value; see bench/model_decode_memory.
    static qsizetype maxValuesPerFrame(qsizetype bodySize);

    // Test seam: called with every frame body before it is decoded, on the decoding thread; it may
    // throw std::bad_alloc to stand in for memory running out. Process-wide; null to remove.
    using DecodeHook = void (*)(QByteArrayView json);
    static void setDecodeHookForTesting(DecodeHook hook);

    Decoder();
    ~Decoder();
    Decoder(Decoder &&) noexcept;
    Decoder &operator=(Decoder &&) noexcept;
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // One JSON document holding one Payload (a frame's body).
    tl::expected<Payload, DecodeError> decodePayload(QByteArrayView json);
    // The same; a body with room for the parser's padding after its bytes (receivePadding of
    // MorvendaFramer, as the frame reader leaves) is parsed where it is instead of copied first.
    tl::expected<Payload, DecodeError> decodePayload(const QByteArray &json);
    tl::expected<Payload, DecodeError> decodePayload(const char *json) { return decodePayload(QByteArrayView(json)); }
    // One JSON document holding an array of Payloads (a session file). One failing element fails
    // the whole array; the error's coding path starts with the element's index ("[3].request.id").
    tl::expected<QList<Payload>, DecodeError> decodePayloadArray(QByteArrayView json);
    // One JSON document holding one AppPayload.
    tl::expected<AppPayload, DecodeError> decodeAppPayload(QByteArrayView json);

private:
    tl::expected<Payload, DecodeError> decodeFrame(QByteArrayView json, bool padded);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
