#include "JsonWriter.h"

#include <QtEndian>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Whether an ASCII character must be escaped in a JSON string: controls, quote and backslash.
constexpr bool needsEscape(unsigned c)
{
    return c < 0x20 || c == '"' || c == '\\';
}

// The letter of the two-byte escape of each ASCII character that has one, else 0.
constexpr auto kShortEscapes = [] {
    std::array<char, 128> letters{};
    letters['"'] = '"';
    letters['\\'] = '\\';
    letters['\n'] = 'n';
    letters['\r'] = 'r';
    letters['\t'] = 't';
    letters['\b'] = 'b';
    letters['\f'] = 'f';
    return letters;
}();

// Writes the escape sequence of an ASCII character for which needsEscape() holds (at most 6 bytes).
inline char *writeEscape(unsigned c, char *out)
{
    out[0] = '\\';
    if (const char letter = kShortEscapes[c]) {
        out[1] = letter;
        return out + 2;
    }
    out[1] = 'u';
    out[2] = '0';
    out[3] = '0';
    out[4] = kHex[c >> 4];
    out[5] = kHex[c & 0xF];
    return out + 6;
}

// Converts UTF-16 from `p` up to `end` to escaped UTF-8 at `out`, which has room for 6 bytes per
// unit, and returns the end of what was written. `p` is advanced past what was consumed: a high
// surrogate just before `end` is left for the next chunk unless `end` is the end of the text.
char *writeEscaped(const char16_t *&p, const char16_t *end, bool atTextEnd, char *out)
{
    while (p < end) {
        const char16_t c = *p;
        if (c < 0x80) {
            if (!needsEscape(c))
                *out++ = char(c);
            else
                out = writeEscape(c, out);
            ++p;
            continue;
        }
        char32_t code = c;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (p + 1 == end && !atTextEnd)
                break;
            if (p + 1 < end && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
                code = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(p[1]) - 0xDC00);
                ++p;
            } else {
                code = 0xFFFD; // lone high surrogate: JSON text must stay valid UTF-8
            }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            code = 0xFFFD; // lone low surrogate
        }
        ++p;
        if (code < 0x800) {
            *out++ = char(0xC0 | (code >> 6));
            *out++ = char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *out++ = char(0xE0 | (code >> 12));
            *out++ = char(0x80 | ((code >> 6) & 0x3F));
            *out++ = char(0x80 | (code & 0x3F));
        } else {
            *out++ = char(0xF0 | (code >> 18));
            *out++ = char(0x80 | ((code >> 12) & 0x3F));
            *out++ = char(0x80 | ((code >> 6) & 0x3F));
            *out++ = char(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// Marks (bit 7 of the byte) the bytes of `word` that need escaping: below 0x20, a quote or a
// backslash. Bytes of 0x80 and more never count. Exact as a yes/no answer (a borrow may add a
// spurious mark above a real one).
quint64 escapeMarks(quint64 word)
{
    constexpr quint64 ones = ~quint64(0) / 255;
    const quint64 quote = word ^ (ones * '"');
    const quint64 backslash = word ^ (ones * '\\');
    const quint64 below20 = (word - ones * 0x20) & ~word;
    const quint64 zeroQuote = (quote - ones) & ~quote;
    const quint64 zeroBackslash = (backslash - ones) & ~backslash;
    return (below20 | zeroQuote | zeroBackslash) & (ones * 0x80);
}

// Bytes written one at a time after a word that needs escaping.
constexpr qsizetype kBytewiseStretch = 64;

// Copies UTF-8 from `p` to `end` to `out`, escaping as above; `out` has room for 6 bytes per byte.
// Bytes of 0x80 and more are parts of multi-byte characters and pass through unchanged. Words of
// eight bytes that need no escaping are copied whole.
char *writeEscapedUtf8(const char *p, const char *end, char *out)
{
    const auto bytewise = [&out](const char *from, const char *to) {
        for (; from < to; ++from) {
            const auto c = static_cast<unsigned char>(*from);
            if (!needsEscape(c))
                *out++ = char(c);
            else
                out = writeEscape(c, out);
        }
    };
    while (end - p >= 8) {
        if (!escapeMarks(qFromLittleEndian<quint64>(p))) {
            std::memcpy(out, p, 8);
            out += 8;
            p += 8;
            continue;
        }
        // JSON text has a quote every few bytes; there testing words costs more than it saves, so
        // go byte by byte for a stretch before trying words again.
        const char *const stretchEnd = p + std::min<qsizetype>(kBytewiseStretch, end - p);
        bytewise(p, stretchEnd);
        p = stretchEnd;
    }
    bytewise(p, end);
    return out;
}

// Chunks bound the worst-case reservation (6 bytes per unit) for huge strings.
constexpr qsizetype kChunk = 16 * 1024;

} // namespace

char *JsonWriter::grow(qsizetype bytes)
{
    const qsizetype oldSize = m_buffer.size();
    const qsizetype needed = oldSize + bytes;
    if (needed > m_buffer.capacity())
        m_buffer.reserve(std::max(needed, m_buffer.capacity() * 2));
    m_buffer.resize(needed);
    return m_buffer.data() + oldSize;
}

void JsonWriter::beforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasValue.empty()) {
        if (m_hasValue.back())
            m_buffer.append(',');
        m_hasValue.back() = true;
    }
}

void JsonWriter::beginObject()
{
    beforeValue();
    m_buffer.append('{');
    m_hasValue.push_back(false);
}

void JsonWriter::endObject()
{
    Q_ASSERT(!m_hasValue.empty() && !m_afterKey);
    m_hasValue.pop_back();
    m_buffer.append('}');
}

void JsonWriter::beginArray()
{
    beforeValue();
    m_buffer.append('[');
    m_hasValue.push_back(false);
}

void JsonWriter::endArray()
{
    Q_ASSERT(!m_hasValue.empty() && !m_afterKey);
    m_hasValue.pop_back();
    m_buffer.append(']');
}

void JsonWriter::key(QLatin1StringView name)
{
    Q_ASSERT(!m_afterKey);
    beforeValue();
    m_buffer.append('"');
    m_buffer.append(name.data(), name.size());
    m_buffer.append("\":", 2);
    m_afterKey = true;
}

void JsonWriter::string(QStringView text)
{
    beforeValue();
    m_buffer.append('"');
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        const qsizetype units = std::min<qsizetype>(kChunk, end - p);
        const char16_t *const chunkEnd = p + units;
        const char *written = writeEscaped(p, chunkEnd, chunkEnd == end, grow(units * 6));
        m_buffer.resize(written - m_buffer.constData());
    }
    m_buffer.append('"');
}

void JsonWriter::utf8String(QByteArrayView utf8)
{
    beforeValue();
    m_buffer.append('"');
    const char *p = utf8.data();
    const char *const end = p + utf8.size();
    while (p < end) {
        const qsizetype bytes = std::min<qsizetype>(kChunk, end - p);
        const char *written = writeEscapedUtf8(p, p + bytes, grow(bytes * 6));
        m_buffer.resize(written - m_buffer.constData());
        p += bytes;
    }
    m_buffer.append('"');
}

void JsonWriter::boolean(bool value)
{
    beforeValue();
    if (value)
        m_buffer.append("true", 4);
    else
        m_buffer.append("false", 5);
}

void JsonWriter::integer(qint64 value)
{
    beforeValue();
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    m_buffer.append(text, result.ptr - text);
}

void JsonWriter::number(double value)
{
    if (std::isnan(value)) {
        string(u"NAN");
        return;
    }
    if (std::isinf(value)) {
        string(value > 0 ? u"+" : u"-");
        return;
    }
    beforeValue();
    if (value == 0 && std::signbit(value)) {
        m_buffer.append("-0.0", 4);
        return;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    m_buffer.append(text, result.ptr - text);
}

void JsonWriter::date(double secondsSince1970)
{
    number(secondsSince1970 * 1000.0);
}

void JsonWriter::rawValue(QByteArrayView json)
{
    beforeValue();
    m_buffer.append(json);
}

void JsonWriter::clearBuffer()
{
    m_buffer.resize(0);
}

QByteArray JsonWriter::takeBuffer()
{
    return std::exchange(m_buffer, QByteArray());
}
