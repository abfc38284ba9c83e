// Reading session files: encoding detection, the split of the top-level array into elements and
// their decoding. Large files are read, split and decoded at the same time: the split runs as
// the bytes arrive and hands slices of elements to the thread pool.
#include "MorvendaApp/session/SessionFile.h"

#include "MorvendaModel/Decoder.h"

#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentRun>

#include <bit>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace SessionFile {

namespace {

constexpr qint64 kReadChunk = qint64(16) << 20;
constexpr size_t kElementsPerSlice = 2048;

using Range = std::pair<qsizetype, qsizetype>; // start, length

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

QString tooLarge()
{
    return QStringLiteral("the file is larger than %1 GiB").arg(kMaxFileSize >> 30);
}

// Qt's UTF-16 decoder copies code units as they are; an unpaired surrogate would silently turn
// into a replacement character on the way to UTF-8.
bool hasLoneSurrogate(const QString &text)
{
    const qsizetype size = text.size();
    const QChar *data = text.constData();
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i].isHighSurrogate()) {
            if (i + 1 >= size || !data[i + 1].isLowSurrogate())
                return true;
            ++i;
        } else if (data[i].isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

struct Mark
{
    std::initializer_list<unsigned char> bytes;
    std::optional<QStringConverter::Encoding> encoding; // none: UTF-8
    const char *name;
};

// UTF-32 before UTF-16: its little-endian mark begins like UTF-16's.
const Mark kMarks[] = {
    {{0xEF, 0xBB, 0xBF}, std::nullopt, "UTF-8"},
    {{0xFF, 0xFE, 0x00, 0x00}, QStringConverter::Utf32LE, "UTF-32"},
    {{0x00, 0x00, 0xFE, 0xFF}, QStringConverter::Utf32BE, "UTF-32"},
    {{0xFF, 0xFE}, QStringConverter::Utf16LE, "UTF-16"},
    {{0xFE, 0xFF}, QStringConverter::Utf16BE, "UTF-16"},
};

const Mark *markOf(QByteArrayView bytes)
{
    for (const Mark &mark : kMarks) {
        if (bytes.size() >= qsizetype(mark.bytes.size())
            && std::memcmp(bytes.data(), mark.bytes.begin(), mark.bytes.size()) == 0)
            return &mark;
    }
    return nullptr;
}

// UTF-16 or UTF-32 text after its mark, as UTF-8.
tl::expected<QByteArray, QString> convertToUtf8(QByteArrayView bytes, const Mark &mark)
{
    QStringDecoder decoder(*mark.encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes.sliced(qsizetype(mark.bytes.size())));
    if (decoder.hasError() || hasLoneSurrogate(text))
        return tl::make_unexpected(QStringLiteral("the file is not valid %1 text").arg(QLatin1String(mark.name)));
    return text.toUtf8();
}

struct Slice
{
    QList<Payload> payloads;
    std::optional<QString> error;
};

Slice decodeSlice(const char *data, size_t firstIndex, const std::vector<Range> &ranges)
{
    Slice slice;
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

// Splits a JSON array into its elements with a light scan (strings skipped whole, brackets
// counted) as its bytes become available, and decodes each element on its own, so the parse
// buffers stay the size of one payload. Whatever the scan lets through is validated by the
// decoder, which rejects anything that is not exactly one payload. The bytes must stay where they
// are until finish() returns.
class ArrayParser
{
public:
    ArrayParser(const char *data, qsizetype start) : m_data(data), m_pos(start) {}
    ~ArrayParser() { waitForAll(); }
    ArrayParser(const ArrayParser &) = delete;
    ArrayParser &operator=(const ArrayParser &) = delete;

    // Scans the bytes before `available`; `final` when no more will come.
    std::optional<QString> scan(qsizetype available, bool final);
    // Called from the owning thread with the length of the prefix whose elements are all decoded,
    // so the caller can give those bytes back early.
    void setDecodedPrefixHandler(std::function<void(qsizetype)> handler) { m_onDecodedPrefix = std::move(handler); }
    // Reports the prefix decoded so far without waiting.
    void reportDecodedPrefix() { collect(false); }
    tl::expected<QList<Payload>, QString> finish();

private:
    enum class State { BeforeArray, InArray, AfterArray };

    void skipSpace(qsizetype available)
    {
        while (m_pos < available && isJsonSpace(m_data[m_pos]))
            ++m_pos;
    }
    // The end of the element starting at `from` (its closing ',' or ']'), or -1 if the bytes
    // run out first; -2 if a string runs out (only an error when final).
    qsizetype elementEnd(qsizetype from, qsizetype available) const;
    void dispatch();
    void waitForAll()
    {
        for (QFuture<Slice> &future : m_futures)
            future.waitForFinished();
    }

    void collect(bool wait);

    const char *m_data;
    qsizetype m_pos;
    std::function<void(qsizetype)> m_onDecodedPrefix;
    std::vector<qsizetype> m_sliceEnds; // end offset of each dispatched slice's last element
    size_t m_collected = 0;             // slices known to be decoded, in order
    State m_state = State::BeforeArray;
    std::vector<Range> m_pending;
    size_t m_dispatched = 0;
    std::vector<QFuture<Slice>> m_futures;
};

qsizetype ArrayParser::elementEnd(qsizetype from, qsizetype available) const
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

std::optional<QString> ArrayParser::scan(qsizetype available, bool final)
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

void ArrayParser::dispatch()
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

void ArrayParser::collect(bool wait)
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

tl::expected<QList<Payload>, QString> ArrayParser::finish()
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

tl::expected<QList<Payload>, QString> parseUtf8(const char *data, qsizetype start, qsizetype size)
{
    ArrayParser parser(data, start);
    if (std::optional<QString> error = parser.scan(size, true))
        return tl::make_unexpected(*error);
    return parser.finish();
}

tl::expected<QList<Payload>, QString> parseView(QByteArrayView bytes)
{
    const Mark *mark = markOf(bytes);
    if (!mark || !mark->encoding)
        return parseUtf8(bytes.data(), mark ? qsizetype(mark->bytes.size()) : 0, bytes.size());
    const tl::expected<QByteArray, QString> utf8 = convertToUtf8(bytes, *mark);
    if (!utf8)
        return tl::make_unexpected(utf8.error());
    return parseUtf8(utf8->constData(), 0, utf8->size());
}

// Anonymous memory for a file's bytes whose fully decoded prefix can be handed back page by page.
class ReadBuffer
{
public:
    explicit ReadBuffer(size_t size) : m_size(std::max<size_t>(size, 1))
    {
        void *memory = mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_data = memory == MAP_FAILED ? nullptr : static_cast<char *>(memory);
    }
    ~ReadBuffer()
    {
        if (m_data)
            munmap(m_data, m_size);
    }
    ReadBuffer(const ReadBuffer &) = delete;
    ReadBuffer &operator=(const ReadBuffer &) = delete;

    char *data() const { return m_data; }

    // The whole pages before `end` are never read again.
    void release(qsizetype end)
    {
        static const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t until = size_t(end) / page * page;
        if (until > m_released) {
            madvise(m_data + m_released, until - m_released, MADV_DONTNEED);
            m_released = until;
        }
    }

private:
    size_t m_size;
    char *m_data = nullptr;
    size_t m_released = 0;
};

} // namespace

tl::expected<QList<Payload>, QString> parse(QByteArray bytes)
{
    return parseView(bytes);
}

tl::expected<QList<Payload>, QString> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tl::make_unexpected(file.errorString());
    // A device or a pipe could stream without end (/dev/zero); a session is always a file.
    if (!QFileInfo(path).isFile())
        return tl::make_unexpected(QStringLiteral("it is not a regular file"));
    const qint64 size = file.size();
    if (size > kMaxFileSize)
        return tl::make_unexpected(tooLarge());

    if (size == 0) {
        // Some files report no size (those of /proc): read them whole, the limit checked as it fills.
        QByteArray bytes;
        while (true) {
            const QByteArray chunk = file.read(kReadChunk);
            if (chunk.isEmpty()) {
                if (file.error() != QFileDevice::NoError)
                    return tl::make_unexpected(file.errorString());
                break;
            }
            if (bytes.size() + chunk.size() > kMaxFileSize)
                return tl::make_unexpected(tooLarge());
            bytes.append(chunk);
        }
        return parse(std::move(bytes));
    }

    // A regular file: the bytes it had when opened, read into one buffer that never moves, so
    // the elements are split and decoded while the rest is still being read, and the pages of
    // decoded elements go back to the system before the last records are built.
    ReadBuffer buffer{size_t(size)};
    if (!buffer.data())
        return tl::make_unexpected(QStringLiteral("not enough memory to read the file"));
    qint64 filled = 0;
    const auto readChunk = [&]() -> std::optional<QString> {
        const qint64 got = file.read(buffer.data() + filled, std::min(kReadChunk, size - filled));
        if (got < 0)
            return file.errorString();
        if (got == 0)
            return QStringLiteral("the file became shorter while it was read");
        filled += got;
        return std::nullopt;
    };
    if (std::optional<QString> error = readChunk())
        return tl::make_unexpected(*error);
    const Mark *mark = markOf(QByteArrayView(buffer.data(), filled));
    if (mark && mark->encoding) {
        while (filled < size) {
            if (std::optional<QString> error = readChunk())
                return tl::make_unexpected(*error);
        }
        return parseView(QByteArrayView(buffer.data(), size));
    }
    // This thread reads the next slice of the file while a pool thread splits the bytes already
    // read, and the slices of elements it finds are decoded on further pool threads.
    ArrayParser parser(buffer.data(), mark ? qsizetype(mark->bytes.size()) : 0);
    parser.setDecodedPrefixHandler([&buffer](qsizetype end) { buffer.release(end); });
    std::optional<QString> scanError;
    QFuture<void> scanning;
    const auto scanned = [&] {
        scanning.waitForFinished();
        return scanError;
    };
    while (true) {
        const qsizetype available = qsizetype(filled);
        const bool final = filled == size;
        if (std::optional<QString> error = scanned())
            return tl::make_unexpected(*error);
        scanning = QtConcurrent::run([&parser, &scanError, available, final] { scanError = parser.scan(available, final); });
        if (final)
            break;
        if (std::optional<QString> error = readChunk()) {
            scanning.waitForFinished();
            return tl::make_unexpected(*error);
        }
        parser.reportDecodedPrefix();
    }
    if (std::optional<QString> error = scanned())
        return tl::make_unexpected(*error);
    return parser.finish();
}

} // namespace SessionFile
