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

struct ReadFailure
{
    DecodeError error;
};

// Where the reader is in the document, kept as segments so a path is only formatted on failure.
class Reader
{
public:
    class Scope
    {
    public:
        Scope(Reader &reader, std::string_view key);
        Scope(Reader &reader, size_t index);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        Reader &m_reader;
    };

    [[noreturn]] void fail(DecodeError::Kind kind, const QString &description) const;
    [[noreturn]] void failMorvenda(MorvendaDecodeError error, const QString &description) const;
    [[noreturn]] void typeMismatch(const char *expected, Element found) const;
    QString codingPath() const;

    // The value where an object is required: null is value-not-found, other types mismatch.
    simdjson::dom::object object(Element value) const;
    QString string(Element value) const;
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
            Scope scope(*this, index++);
            result.append(read(*this, item));
        }
        return result;
    }

private:
    struct Segment
    {
        std::string_view key;
        size_t index = 0;
        bool isIndex = false;
    };
    std::vector<Segment> m_path;
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
        Reader::Scope scope(m_reader, m_keys[i]);
        return read(m_reader, *m_values[i]);
    }

    // A field that must be present and not null.
    template<typename Read>
    auto required(size_t i, Read read) -> decltype(read(std::declval<Reader &>(), std::declval<Element>()))
    {
        Reader::Scope scope(m_reader, m_keys[i]);
        if (!m_values[i])
            m_reader.fail(DecodeError::Kind::KeyNotFound, QStringLiteral("required key is missing"));
        if (m_values[i]->is_null())
            m_reader.fail(DecodeError::Kind::ValueNotFound, QStringLiteral("required value is null"));
        return read(m_reader, *m_values[i]);
    }

private:
    Reader &m_reader;
    const std::array<std::string_view, N> &m_keys;
    std::array<std::optional<Element>, N> m_values;
};

// Readers of the primitive kinds, in the shape Fields and Reader::list take.
inline QString readString(Reader &r, Element v) { return r.string(v); }
inline bool readBoolean(Reader &r, Element v) { return r.boolean(v); }
inline qint64 readInteger(Reader &r, Element v) { return r.integer(v); }
inline double readDate(Reader &r, Element v) { return r.date(v); }
inline QUuid readUuid(Reader &r, Element v) { return r.uuid(v); }
inline Url readUrl(Reader &r, Element v) { return r.url(v); }

Payload readPayload(Reader &reader, Element value);
AppPayload readAppPayload(Reader &reader, Element value);

} // namespace JsonReading
