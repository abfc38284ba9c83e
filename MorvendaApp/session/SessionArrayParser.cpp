#include "MorvendaApp/session/SessionArrayParser.h"

#include "MorvendaApp/session/SessionFile.h"
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

bool isSet(const std::atomic_bool *flag)
{
    return flag && flag->load(std::memory_order_relaxed);
}

SessionArrayParser::Slice decodeSlice(const char *data, size_t firstIndex, const std::vector<std::pair<qsizetype, qsizetype>> &ranges,
                                      const std::atomic_bool *cancelled)
{
    SessionArrayParser::Slice slice;
    Decoder decoder = Decoder::make();
    slice.payloads.reserve(qsizetype(ranges.size()));
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (isSet(cancelled)) {
            slice.error = cancelledReason();
            break;
        }
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

// The position of the quote that closes a string whose text starts at `pos`, or, when the bytes
// run out first, the position to go on from once more have arrived (past `available` when they
// end inside an escape). Bodies are JSON themselves, full of escaped quotes: sixteen bytes are
// tested at a time for a quote or a backslash, and each escape is stepped over.
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
    while (pos < available) {
        if (data[pos] == '"')
            return pos;
        pos += data[pos] == '\\' ? 2 : 1;
    }
    return pos;
}

bool isStructural(char c)
{
    return c == '"' || c == '{' || c == '}' || c == '[' || c == ']' || c == ',';
}

// The first quote, bracket, brace or comma at or after `pos`, or `available`. Numbers and
// literals between them are skipped sixteen bytes at a time.
qsizetype nextStructural(const char *data, qsizetype pos, qsizetype available)
{
#ifdef __SSE2__
    const __m128i marks[] = {_mm_set1_epi8('"'), _mm_set1_epi8('{'), _mm_set1_epi8('}'),
                             _mm_set1_epi8('['), _mm_set1_epi8(']'), _mm_set1_epi8(',')};
    while (pos + 16 <= available) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + pos));
        __m128i hits = _mm_setzero_si128();
        for (const __m128i &mark : marks)
            hits = _mm_or_si128(hits, _mm_cmpeq_epi8(chunk, mark));
        const unsigned mask = unsigned(_mm_movemask_epi8(hits));
        if (mask != 0)
            return pos + std::countr_zero(mask);
        pos += 16;
    }
#endif
    for (; pos < available; ++pos) {
        if (isStructural(data[pos]))
            return pos;
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

// The end of the element that starts at m_pos (its closing ',' or ']', or a stray '}'), -1 if the
// bytes run out first, -2 if they run out inside a string. Goes on from where the previous call
// stopped: scanning again from the element's start after every read made one long element cost
// time quadratic in its length.
qsizetype SessionArrayParser::elementEnd(qsizetype available)
{
    qsizetype pos = m_scanPos;
    if (m_inString) {
        pos = stringEnd(m_data, pos, available);
        if (pos >= available) {
            m_scanPos = pos;
            return -2;
        }
        m_inString = false;
        ++pos;
    }
    while ((pos = nextStructural(m_data, pos, available)) < available) {
        const char c = m_data[pos];
        if (c == '"') {
            pos = stringEnd(m_data, pos + 1, available);
            if (pos >= available) {
                m_inString = true;
                m_scanPos = pos;
                return -2;
            }
        } else if (c == '{' || c == '[') {
            ++m_depth;
        } else if (c == '}' || c == ']') {
            if (m_depth == 0)
                return pos;
            --m_depth;
        } else if (m_depth == 0) { // a comma
            return pos;
        }
        ++pos;
    }
    m_scanPos = pos;
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
        if (!m_inElement) {
            skipSpace(available);
            m_scanPos = m_pos;
            m_depth = 0;
            m_inString = false;
            m_inElement = m_pos < available;
        }
        const qsizetype end = m_inElement ? elementEnd(available) : -1;
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
            m_inElement = false;
            break;
        }
        m_pending.emplace_back(m_pos, last - m_pos);
        if (m_pending.size() == kElementsPerSlice)
            dispatch();
        if (m_data[end] == ']')
            m_state = State::AfterArray;
        m_pos = end + 1;
        m_inElement = false;
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
    m_futures.push_back(QtConcurrent::run([data = m_data, first, ranges = std::move(ranges), cancelled = m_cancelled] {
        return decodeSlice(data, first, ranges, cancelled);
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
    if (isSet(m_cancelled))
        return tl::make_unexpected(cancelledReason());
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
