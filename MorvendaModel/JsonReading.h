// Internal to the model: reading wire records out of a parsed simdjson DOM under the one reader
// configuration. A failed read throws ReadFailure, which never leaves the Decoder (it catches it
// and hands back a DecodeError), so no exception crosses a caller's event loop.
#pragma once

#include "MorvendaModel/DecodeError.h"
#include "MorvendaModel/Url.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <simdjson.h>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

class AppPayload;
class Payload;

namespace JsonReading {

using Element = simdjson::dom::element;

// One step of a coding path: a key or an array index.
struct PathSegment
{
    std::string_view key;
    size_t index = 0;
    bool isIndex = false;
};

// A failed read. The path is collected while the failure unwinds, innermost segment first, so a
// successful read spends nothing on path bookkeeping.
struct ReadFailure
{
    DecodeError error;
    std::vector<PathSegment> innermostFirst;

    // The error with its coding path, e.g. "request.headers[0].name".
    DecodeError withCodingPath() const;
};

// Runs `read`; a failure passing through gets `segment` added to its path.
template<typename Read>
auto within(PathSegment segment, Read read) -> decltype(read())
{
    try {
        return read();
    } catch (ReadFailure &failure) {
        failure.innermostFirst.push_back(segment);
        throw;
    }
}

inline PathSegment keySegment(std::string_view key)
{
    return {key, 0, false};
}

inline PathSegment indexSegment(size_t index)
{
    return {{}, index, true};
}

// The primitive readers of the one reader configuration. Stateless.
class Reader
{
public:
    [[noreturn]] void fail(DecodeError::Kind kind, const QString &description) const;
    [[noreturn]] void failMorvenda(MorvendaDecodeError error, const QString &description) const;
    [[noreturn]] void typeMismatch(const char *expected, Element found) const;

    // The value where an object is required: null is value-not-found, other types mismatch.
    simdjson::dom::object object(Element value) const;
    QString string(Element value) const;
    // A string as its UTF-8 bytes (valid: the parser checked them), copied once out of the DOM.
    QByteArray utf8String(Element value) const;
    // The same without the copy: valid as long as the parsed document.
    std::string_view utf8View(Element value) const;
    bool boolean(Element value) const;
    // A whole number in 64 signed bits; 3.0 is accepted, 3.5 and out-of-range values are data
    // corrupted, non-numbers a type mismatch.
    qint64 integer(Element value) const;
    // A number, or exactly one of "+", "-", "NAN".
    double floatingPoint(Element value) const;
    // Milliseconds since 1970 in any JSON number, returned as seconds since 1970.
    double date(Element value) const;
    QUuid uuid(Element value) const;
    Url url(Element value) const;

    // Reads every element with `read`, each under its index in the coding path.
    template<typename T, typename Read>
    QList<T> list(Element value, Read read)
    {
        if (!value.is_array())
            typeMismatch("an array", value);
        const simdjson::dom::array array = value.get_array().value_unsafe();
        QList<T> result;
        result.reserve(qsizetype(array.size()));
        size_t index = 0;
        for (Element item : array) {
            result.append(within(indexSegment(index), [&] { return read(*this, item); }));
            ++index;
        }
        return result;
    }
};

// The values of one object under the keys a record knows, in the record's field order. A key given
// twice keeps its last value; keys the record does not know are skipped.
template<size_t N>
class Fields
{
public:
    Fields(Reader &reader, Element objectValue, const std::array<std::string_view, N> &keys)
        : m_reader(reader), m_keys(keys)
    {
        for (auto [key, value] : reader.object(objectValue)) {
            for (size_t i = 0; i < N; ++i) {
                if (key == keys[i]) {
                    m_values[i] = value;
                    break;
                }
            }
        }
    }

    // A field that may be missing or null: empty when it is either.
    template<typename Read>
    auto optional(size_t i, Read read) -> std::optional<decltype(read(std::declval<Reader &>(), std::declval<Element>()))>
    {
        if (!m_values[i] || m_values[i]->is_null())
            return std::nullopt;
        return within(keySegment(m_keys[i]), [&] { return read(m_reader, *m_values[i]); });
    }

    // A field that must be present and not null.
    template<typename Read>
    auto required(size_t i, Read read) -> decltype(read(std::declval<Reader &>(), std::declval<Element>()))
    {
        return within(keySegment(m_keys[i]), [&] {
            if (!m_values[i])
                m_reader.fail(DecodeError::Kind::KeyNotFound, QStringLiteral("required key is missing"));
            if (m_values[i]->is_null())
                m_reader.fail(DecodeError::Kind::ValueNotFound, QStringLiteral("required value is null"));
            return read(m_reader, *m_values[i]);
        });
    }

private:
    Reader &m_reader;
    const std::array<std::string_view, N> &m_keys;
    std::array<std::optional<Element>, N> m_values;
};

// Readers of the primitive kinds, in the shape Fields and Reader::list take.
inline QString readString(Reader &r, Element v) { return r.string(v); }
inline QByteArray readUtf8String(Reader &r, Element v) { return r.utf8String(v); }
inline std::string_view readUtf8View(Reader &r, Element v) { return r.utf8View(v); }
inline bool readBoolean(Reader &r, Element v) { return r.boolean(v); }
inline qint64 readInteger(Reader &r, Element v) { return r.integer(v); }
inline double readDate(Reader &r, Element v) { return r.date(v); }
inline QUuid readUuid(Reader &r, Element v) { return r.uuid(v); }
inline Url readUrl(Reader &r, Element v) { return r.url(v); }

Payload readPayload(Reader &reader, Element value);
AppPayload readAppPayload(Reader &reader, Element value);

} // namespace JsonReading
