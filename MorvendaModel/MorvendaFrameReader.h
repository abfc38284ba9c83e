// Reads frames of the wire protocol from a byte stream. A pure state machine (no sockets), so it can
// be driven by a socket, a byte array in tests or a fuzzer. One reader per connection, main thread.
#pragma once

#include "MorvendaModel/FrameBudget.h"
#include "MorvendaModel/MorvendaFramer.h"

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <memory>

// Incremental frame reader. Feed it bytes in pieces of any size; each call to `step` consumes
// input until one event happens (a whole frame, a frame given up) or the input runs out. A frame
// over the cap, one the shared budget has no room for, or one memory cannot be found for is
// skipped: its remaining bytes are counted off as they arrive, after which the stream is in sync
// again.
class MorvendaFrameReader
{
public:
    enum class Event {
        NeedMore,  // all input consumed, no frame completed
        Frame,     // `body` holds one whole message
        Oversize,  // the frame of `length` bytes is given up (see `reason`); its body is skipped
        Skipped,   // the last byte of a skipped body went by
    };

    enum class SkipReason {
        TooLong,      // the header announced more than the cap
        OverBudget,   // the shared budget had no room for the bytes arriving
        OutOfMemory,  // the body's buffer could not be allocated
    };

    struct Step {
        Event event = Event::NeedMore;
        qsizetype consumed = 0;    // bytes of the given input used by this step
        QByteArray body;           // Frame only
        std::uint64_t length = 0;  // Frame, Oversize and Skipped: the announced body length
        // Oversize only: why, and the most this frame could have held.
        SkipReason reason = SkipReason::TooLong;
        std::uint64_t limit = 0;
    };

    // Without a budget only the cap limits a frame.
    explicit MorvendaFrameReader(std::uint64_t maxLength = MorvendaFramer::maxFrameLength,
                                 std::shared_ptr<FrameBudget> budget = {});
    ~MorvendaFrameReader();
    MorvendaFrameReader(const MorvendaFrameReader &) = delete;
    MorvendaFrameReader &operator=(const MorvendaFrameReader &) = delete;

    Step step(const char *data, qsizetype size);
    // Bytes of the body being received that are still to come; 0 between bodies and while one is
    // skipped.
    std::uint64_t bodyBytesToCome() const { return m_inBody && !m_skipping ? m_remaining : 0; }
    // Receives up to `max` further bytes of that body straight into it from `read(into, max)`,
    // which returns how many it wrote (0 or less: none). `consumed` is what `read` returned; the
    // event is Frame when the body is whole, Oversize (nothing read) when it is given up.
    Step receiveBody(qsizetype max, const std::function<qint64(char *into, qsizetype max)> &read);
    // Drops whatever is partly read and gives its budget back; the next byte starts a header.
    void reset();

    // Bytes of an unfinished header or body held right now (for diagnostics and tests).
    qsizetype bufferedBytes() const;
    // True while between frames: nothing partial is held or being skipped.
    bool atFrameBoundary() const;

private:
    // Grows the body's buffer to hold `needed` bytes, charging the budget; false when the frame
    // must be given up (`result` then says why).
    bool makeRoom(std::uint64_t needed, Step &result);
    // Room for `more` body bytes, or the frame given up (false, `result` says so).
    bool prepareBody(qsizetype more, Step &result);
    // Counts `bytes` of the body as arrived; true when that ended it (`result` says how).
    bool bodyArrived(qsizetype bytes, Step &result);
    void releaseCharge();

    std::uint64_t m_maxLength;
    std::shared_ptr<FrameBudget> m_budget;
    std::uint64_t m_charged = 0;
    unsigned char m_header[MorvendaFramer::headerSize] = {};
    qsizetype m_headerFill = 0;
    bool m_inBody = false;
    bool m_skipping = false;
    std::uint64_t m_length = 0;
    std::uint64_t m_remaining = 0;
    QByteArray m_body;
};
