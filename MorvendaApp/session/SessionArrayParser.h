// Splits the JSON array of a session file into its elements as the bytes arrive and decodes the
// elements in slices on the thread pool. Internal to the session-file reader.
#pragma once

#include "MorvendaModel/Payload.h"

#include <QFuture>
#include <QList>
#include <QString>

#include <tl/expected.hpp>

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

namespace SessionFile {

// Scans with a light pass (strings skipped whole, brackets counted) and decodes each element on
// its own, so the parse buffers stay the size of one payload. Whatever the scan lets through is
// validated by the decoder, which rejects anything that is not exactly one payload. The scan
// keeps its place inside an unfinished element between calls, so every byte is scanned once
// however many reads an element spans. The bytes must stay where they are until finish()
// returns or the parser is destroyed; `cancelled`, when given, must outlive the parser too.
class SessionArrayParser
{
public:
    SessionArrayParser(const char *data, qsizetype start, const std::atomic_bool *cancelled = nullptr)
        : m_data(data), m_pos(start), m_cancelled(cancelled)
    {
    }
    ~SessionArrayParser() { waitForAll(); }
    SessionArrayParser(const SessionArrayParser &) = delete;
    SessionArrayParser &operator=(const SessionArrayParser &) = delete;

    // Scans the bytes before `available`; `final` when no more will come. Returns an error text.
    std::optional<QString> scan(qsizetype available, bool final);
    // Called from the owning thread with the length of the prefix whose elements are all decoded,
    // so the caller can give those bytes back early.
    void setDecodedPrefixHandler(std::function<void(qsizetype)> handler) { m_onDecodedPrefix = std::move(handler); }
    // Reports the prefix decoded so far without waiting. Not while scan() runs on another thread:
    // a scan adds to the slices this reads.
    void reportDecodedPrefix() { collect(false); }
    // Waits for every slice; the requests and responses in file order, or the first failure.
    // Once `cancelled` is set, the slices stop early and this fails with cancelledReason().
    tl::expected<QList<Payload>, QString> finish();

    struct Slice
    {
        QList<Payload> payloads;
        std::optional<QString> error;
    };

private:
    enum class State { BeforeArray, InArray, AfterArray };
    using Range = std::pair<qsizetype, qsizetype>; // start, length

    void skipSpace(qsizetype available);
    qsizetype elementEnd(qsizetype available);
    void dispatch();
    void collect(bool wait);
    void waitForAll();

    const char *m_data;
    qsizetype m_pos;
    const std::atomic_bool *m_cancelled;
    State m_state = State::BeforeArray;
    // The unfinished element's scan: it begins at m_pos and has been scanned up to m_scanPos.
    bool m_inElement = false;
    qsizetype m_scanPos = 0;
    int m_depth = 0;
    bool m_inString = false;
    std::vector<Range> m_pending;
    size_t m_dispatched = 0;
    std::vector<QFuture<Slice>> m_futures;
    std::function<void(qsizetype)> m_onDecodedPrefix;
    std::vector<qsizetype> m_sliceEnds; // end offset of each dispatched slice's last element
    size_t m_collected = 0;             // slices known to be decoded, in order
};

} // namespace SessionFile
