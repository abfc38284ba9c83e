// Reads frames of the wire protocol from a byte stream. A pure state machine (no sockets), so it can
// be driven by a socket, a byte array in tests or a fuzzer. One reader per connection, main thread.
#pragma once

#include "MorvendaModel/MorvendaFramer.h"

#include <QByteArray>

#include <cstdint>

// Incremental frame reader. Feed it bytes in pieces of any size; each call to `step` consumes
// input until one event happens (a whole frame, the header of a frame over the cap) or the input
// runs out. Bodies over the cap are never buffered: their bytes are counted off as they arrive,
// after which the stream is in sync again.
class MorvendaFrameReader
{
public:
    enum class Event {
        NeedMore,  // all input consumed, no frame completed
        Frame,     // `body` holds one whole message
        Oversize,  // a header announced `length` > cap; the body is being skipped
        Skipped,   // the last byte of an oversize body was skipped
    };

    struct Step {
        Event event = Event::NeedMore;
        qsizetype consumed = 0;    // bytes of the given input used by this step
        QByteArray body;           // Frame only
        std::uint64_t length = 0;  // Frame, Oversize and Skipped: the announced body length
    };

    explicit MorvendaFrameReader(std::uint64_t maxLength = MorvendaFramer::maxFrameLength);

    Step step(const char *data, qsizetype size);

    // Bytes of an unfinished header or body held right now (for diagnostics and tests).
    qsizetype bufferedBytes() const;
    // True while between frames: nothing partial is held or being skipped.
    bool atFrameBoundary() const;

private:
    std::uint64_t m_maxLength;
    unsigned char m_header[MorvendaFramer::headerSize] = {};
    qsizetype m_headerFill = 0;
    bool m_inBody = false;
    bool m_skipping = false;
    std::uint64_t m_length = 0;
    std::uint64_t m_remaining = 0;
    QByteArray m_body;
};
