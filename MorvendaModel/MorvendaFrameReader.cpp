#include "MorvendaFrameReader.h"

#include <algorithm>

namespace {

// A header may announce a large body that never arrives: grow the buffer with the data, not
// with the announcement.
constexpr qsizetype initialReserve = 64 * 1024;

} // namespace

MorvendaFrameReader::MorvendaFrameReader(std::uint64_t maxLength)
    : m_maxLength(maxLength)
{
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
                result.length = m_length;
                result.consumed = pos;
                return result;
            }
            m_body = QByteArray();
            m_body.reserve(static_cast<qsizetype>(std::min<std::uint64_t>(m_length, initialReserve)));
            continue;
        }
        const qsizetype take = static_cast<qsizetype>(std::min<std::uint64_t>(m_remaining, std::uint64_t(size - pos)));
        if (!m_skipping) {
            m_body.append(data + pos, take);
        }
        pos += take;
        m_remaining -= static_cast<std::uint64_t>(take);
        if (m_remaining == 0) {
            m_inBody = false;
            result.consumed = pos;
            result.length = m_length;
            if (m_skipping) {
                m_skipping = false;
                result.event = Event::Skipped;
            } else {
                result.event = Event::Frame;
                result.body = std::exchange(m_body, QByteArray());
            }
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
