#include "MorvendaApp/session/SessionArrayParser.h"

#include "MorvendaModel/Decoder.h"

#include <QtConcurrent/QtConcurrentRun>

#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace SessionFile {

namespace {

constexpr size_t kElementsPerSlice = 2048;

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

SessionArrayParser::Slice decodeSlice(const char *data, size_t firstIndex, const std::vector<std::pair<qsizetype, qsizetype>> &ranges)
{
    SessionArrayParser::Slice slice;
    Decoder decoder = Decoder::make();
    slice.payloads.reserve(qsizetype(ranges.size()));
    for (size_t i = 0; i < ranges.size(); ++i) {
        tl::expected<Payload, DecodeError> payload =
            decoder.decodePayload(QByteArrayView(data + ranges[i].first, ranges[i].second));
        if (!payload) {
            slice.error = QStringLiteral("element %1: %2").arg(firstIndex + i).arg(payload.error().toString());
            break;
        }
        if (payload->kind() == Payload::Kind::Request || payload->kind() == Payload::Kind::Response)
            slice.payloads.append(std::move(*payload));
    }
    return slice;
}

// The position of the quote that closes a string whose text starts at `pos`, or `available`.
// Bodies are JSON themselves, full of escaped quotes: sixteen bytes are tested at a time for a
// quote or a backslash, and each escape is stepped over.
qsizetype stringEnd(const char *data, qsizetype pos, qsizetype available)
{
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    while (pos + 16 <= available) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + pos));
        const unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash))));
        if (mask == 0) {
            pos += 16;
            continue;
        }
        pos += std::countr_zero(mask);
        if (data[pos] == '"')
            return pos;
        pos += 2; // the backslash and the character it escapes
    }
#endif
    for (; pos < available; ++pos) {
        if (data[pos] == '"')
            return pos;
        if (data[pos] == '\\')
            ++pos;
    }
    return available;
}

} // namespace

void SessionArrayParser::skipSpace(qsizetype available)
{
    while (m_pos < available && isJsonSpace(m_data[m_pos]))
        ++m_pos;
}

void SessionArrayParser::waitForAll()
{
    for (QFuture<Slice> &future : m_futures)
        future.waitForFinished();
}

// The end of the element starting at `from` (its closing ',' or ']', or a stray '}'), -1 if the
// bytes run out first, -2 if they run out inside a string.
qsizetype SessionArrayParser::elementEnd(qsizetype from, qsizetype available) const
{
    int depth = 0;
    qsizetype pos = from;
    while (pos < available) {
        const char c = m_data[pos];
        if (c == '"') {
            pos = stringEnd(m_data, pos + 1, available);
            if (pos >= available)
                return -2;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (depth == 0)
                return pos;
            --depth;
        } else if (c == ',' && depth == 0) {
            return pos;
        }
        ++pos;
    }
    return -1;
}

std::optional<QString> SessionArrayParser::scan(qsizetype available, bool final)
{
    if (m_state == State::BeforeArray) {
        skipSpace(available);
        if (m_pos >= available && !final)
            return std::nullopt;
        if (m_pos >= available || m_data[m_pos] != '[')
            return QStringLiteral("the file does not hold a JSON array of payloads");
        ++m_pos;
        m_state = State::InArray;
        // An empty array closes at once.
        skipSpace(available);
        if (m_pos < available && m_data[m_pos] == ']') {
            ++m_pos;
            m_state = State::AfterArray;
        }
    }
    while (m_state == State::InArray) {
        skipSpace(available);
        const qsizetype end = elementEnd(m_pos, available);
        if (end < 0) {
            if (!final)
                return std::nullopt;
            const size_t index = m_dispatched + m_pending.size();
            return end == -2 ? QStringLiteral("element %1: a string is not closed").arg(index)
                             : QStringLiteral("the array is not closed");
        }
        if (m_data[end] == '}')
            return QStringLiteral("element %1: a \"}\" closes nothing").arg(m_dispatched + m_pending.size());
        qsizetype last = end;
        while (last > m_pos && isJsonSpace(m_data[last - 1]))
            --last;
        // "[" and "]" with only blanks between them that arrived in separate reads.
        if (m_data[end] == ']' && last == m_pos && m_dispatched + m_pending.size() == 0) {
            m_state = State::AfterArray;
            m_pos = end + 1;
            break;
        }
        m_pending.emplace_back(m_pos, last - m_pos);
        if (m_pending.size() == kElementsPerSlice)
            dispatch();
        if (m_data[end] == ']')
            m_state = State::AfterArray;
        m_pos = end + 1;
    }
    skipSpace(available);
    if (m_pos < available)
        return QStringLiteral("unexpected text after the array");
    return std::nullopt;
}

void SessionArrayParser::dispatch()
{
    if (m_pending.empty())
        return;
    std::vector<Range> ranges;
    ranges.swap(m_pending);
    const size_t first = m_dispatched;
    m_dispatched += ranges.size();
    m_sliceEnds.push_back(ranges.back().first + ranges.back().second);
    m_futures.push_back(QtConcurrent::run([data = m_data, first, ranges = std::move(ranges)] {
        return decodeSlice(data, first, ranges);
    }));
}

void SessionArrayParser::collect(bool wait)
{
    const size_t before = m_collected;
    while (m_collected < m_futures.size() && (wait || m_futures[m_collected].isFinished())) {
        m_futures[m_collected].waitForFinished();
        ++m_collected;
        if (wait && m_onDecodedPrefix)
            m_onDecodedPrefix(m_sliceEnds[m_collected - 1]);
    }
    if (!wait && m_collected > before && m_onDecodedPrefix)
        m_onDecodedPrefix(m_sliceEnds[m_collected - 1]);
}

tl::expected<QList<Payload>, QString> SessionArrayParser::finish()
{
    dispatch();
    collect(true);
    qsizetype total = 0;
    for (QFuture<Slice> &future : m_futures) {
        const Slice &slice = future.result();
        if (slice.error)
            return tl::make_unexpected(*slice.error);
        total += slice.payloads.size();
    }
    QList<Payload> result;
    result.reserve(total);
    for (QFuture<Slice> &future : m_futures)
        result.append(future.takeResult().payloads);
    m_futures.clear();
    return result;
}

} // namespace SessionFile
