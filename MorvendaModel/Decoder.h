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

    Decoder();
    ~Decoder();
    Decoder(Decoder &&) noexcept;
    Decoder &operator=(Decoder &&) noexcept;
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // One JSON document holding one Payload (a frame's body).
    tl::expected<Payload, DecodeError> decodePayload(QByteArrayView json);
    // One JSON document holding an array of Payloads (a session file). One failing element fails
    // the whole array; the error's coding path starts with the element's index ("[3].request.id").
    tl::expected<QList<Payload>, DecodeError> decodePayloadArray(QByteArrayView json);
    // One JSON document holding one AppPayload.
    tl::expected<AppPayload, DecodeError> decodeAppPayload(QByteArrayView json);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
