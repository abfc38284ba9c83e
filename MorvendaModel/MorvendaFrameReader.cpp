#include "MorvendaFrameReader.h"

#include <algorithm>
#include <new>

namespace {

// A header may announce a large body that never arrives: grow the buffer with the data, not
// with the announcement. Bodies up to this size get their whole buffer at once.
constexpr std::uint64_t initialReserve = 64 * 1024;

} // namespace

MorvendaFrameReader::MorvendaFrameReader(std::uint64_t maxLength, std::shared_ptr<FrameBudget> budget)
    : m_maxLength(maxLength)
    , m_budget(std::move(budget))
{
}

MorvendaFrameReader::~MorvendaFrameReader()
{
    releaseCharge();
}

void MorvendaFrameReader::reset()
{
    releaseCharge();
    m_body = QByteArray();
    m_headerFill = 0;
    m_inBody = false;
    m_skipping = false;
    m_length = 0;
    m_remaining = 0;
}

void MorvendaFrameReader::releaseCharge()
{
    if (m_budget && m_charged > 0) {
        m_budget->release(m_charged);
    }
    m_charged = 0;
}

bool MorvendaFrameReader::makeRoom(std::uint64_t needed, Step &result)
{
    const auto capacity = static_cast<std::uint64_t>(m_body.capacity());
    if (needed + static_cast<std::uint64_t>(MorvendaFramer::receivePadding) <= capacity) {
        return true;
    }
    // Doubling keeps the copies linear in the body's size; never beyond what the header announced
    // and the padding the decoder reads past the end.
    constexpr auto padding = static_cast<std::uint64_t>(MorvendaFramer::receivePadding);
    const std::uint64_t target = std::min(m_length + padding, std::max({needed + padding, 2 * capacity, initialReserve}));
    const std::uint64_t charge = target > FrameBudget::unchargedBytesPerFrame
        ? target - FrameBudget::unchargedBytesPerFrame
        : 0;
    if (m_budget && charge > m_charged) {
        if (!m_budget->tryReserve(charge - m_charged)) {
            result.reason = SkipReason::OverBudget;
            result.limit = FrameBudget::unchargedBytesPerFrame + m_charged + m_budget->available();
            return false;
        }
        m_charged = charge;
    }
    try {
        m_body.reserve(static_cast<qsizetype>(target));
    } catch (const std::bad_alloc &) {
        result.reason = SkipReason::OutOfMemory;
        result.limit = capacity;
        return false;
    }
    return true;
}

bool MorvendaFrameReader::prepareBody(qsizetype more, Step &result)
{
    if (makeRoom(static_cast<std::uint64_t>(m_body.size() + more), result)) {
        return true;
    }
    // Given up as it streams: what it held goes back at once, the rest is counted off.
    m_skipping = true;
    m_body = QByteArray();
    releaseCharge();
    result.event = Event::Oversize;
    result.length = m_length;
    return false;
}

bool MorvendaFrameReader::bodyArrived(qsizetype bytes, Step &result)
{
    m_remaining -= static_cast<std::uint64_t>(bytes);
    if (m_remaining > 0) {
        return false;
    }
    m_inBody = false;
    result.length = m_length;
    if (m_skipping) {
        m_skipping = false;
        result.event = Event::Skipped;
    } else {
        result.event = Event::Frame;
        // Defined bytes for the parser to read past the end (the first is the terminator).
        std::fill_n(m_body.data() + m_body.size(), MorvendaFramer::receivePadding, '\0');
        result.body = std::exchange(m_body, QByteArray());
        // The body is the receiver's now; it is no longer partly received.
        releaseCharge();
    }
    return true;
}

MorvendaFrameReader::Step MorvendaFrameReader::receiveBody(qsizetype max, const std::function<qint64(char *, qsizetype)> &read)
{
    Step result;
    const qsizetype want = static_cast<qsizetype>(std::min<std::uint64_t>(bodyBytesToCome(), std::uint64_t(max)));
    if (want <= 0 || !prepareBody(want, result)) {
        return result;
    }
    const qsizetype before = m_body.size();
    m_body.resize(before + want);  // within the room just made: no allocation, nothing written
    const qint64 got = read(m_body.data() + before, want);
    m_body.resize(before + std::max<qsizetype>(0, static_cast<qsizetype>(got)));
    result.consumed = static_cast<qsizetype>(got);
    if (got > 0) {
        bodyArrived(static_cast<qsizetype>(got), result);
    }
    return result;
}

MorvendaFrameReader::Step MorvendaFrameReader::step(const char *data, qsizetype size)
{
    Step result;
    qsizetype pos = 0;
    while (pos < size || (m_inBody && m_remaining == 0)) {
        if (!m_inBody) {
            const qsizetype take = std::min(MorvendaFramer::headerSize - m_headerFill, size - pos);
            std::copy_n(reinterpret_cast<const unsigned char *>(data + pos), take, m_header + m_headerFill);
            m_headerFill += take;
            pos += take;
            if (m_headerFill < MorvendaFramer::headerSize) {
                break;
            }
            m_headerFill = 0;
            m_length = std::uint64_t(m_header[0]) | std::uint64_t(m_header[1]) << 8
                | std::uint64_t(m_header[2]) << 16 | std::uint64_t(m_header[3]) << 24;
            m_remaining = m_length;
            m_inBody = true;
            m_skipping = m_length > m_maxLength;
            if (m_skipping) {
                result.event = Event::Oversize;
                result.reason = SkipReason::TooLong;
                result.limit = m_maxLength;
                result.length = m_length;
                result.consumed = pos;
                return result;
            }
            continue;
        }
        const qsizetype take = static_cast<qsizetype>(std::min<std::uint64_t>(m_remaining, std::uint64_t(size - pos)));
        if (!m_skipping) {
            if (!prepareBody(take, result)) {
                result.consumed = pos;
                return result;
            }
            m_body.append(data + pos, take);
        }
        pos += take;
        if (bodyArrived(take, result)) {
            result.consumed = pos;
            return result;
        }
    }
    result.consumed = pos;
    return result;
}

qsizetype MorvendaFrameReader::bufferedBytes() const
{
    return m_inBody ? m_body.size() : m_headerFill;
}

bool MorvendaFrameReader::atFrameBoundary() const
{
    return !m_inBody && m_headerFill == 0;
}
