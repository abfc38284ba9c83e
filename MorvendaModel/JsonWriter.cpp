#include "JsonWriter.h"

#include <charconv>
#include <cmath>

namespace {

constexpr char kHex[] = "0123456789abcdef";

// Converts UTF-16 from `p` up to `end` to escaped UTF-8 at `out`, which has room for 6 bytes per
// unit, and returns the end of what was written. `p` is advanced past what was consumed: a high
// surrogate just before `end` is left for the next chunk unless `end` is the end of the text.
char *writeEscaped(const char16_t *&p, const char16_t *end, bool atTextEnd, char *out)
{
    while (p < end) {
        const char16_t c = *p;
        if (c < 0x80) {
            if (c >= 0x20 && c != u'"' && c != u'\\') {
                *out++ = char(c);
            } else {
                *out++ = '\\';
                switch (c) {
                case u'"': *out++ = '"'; break;
                case u'\\': *out++ = '\\'; break;
                case u'\n': *out++ = 'n'; break;
                case u'\r': *out++ = 'r'; break;
                case u'\t': *out++ = 't'; break;
                case u'\b': *out++ = 'b'; break;
                case u'\f': *out++ = 'f'; break;
                default:
                    *out++ = 'u';
                    *out++ = '0';
                    *out++ = '0';
                    *out++ = kHex[c >> 4];
                    *out++ = kHex[c & 0xF];
                }
            }
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

} // namespace

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
    // Chunks bound the worst-case reservation (6 bytes per unit) for huge bodies.
    constexpr qsizetype kChunk = 16 * 1024;
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        const qsizetype units = std::min<qsizetype>(kChunk, end - p);
        const qsizetype oldSize = m_buffer.size();
        const qsizetype needed = oldSize + units * 6;
        if (needed > m_buffer.capacity())
            m_buffer.reserve(std::max(needed, m_buffer.capacity() * 2));
        m_buffer.resize(needed);
        const char16_t *const chunkEnd = p + units;
        const char *written = writeEscaped(p, chunkEnd, chunkEnd == end, m_buffer.data() + oldSize);
        m_buffer.resize(written - m_buffer.constData());
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
