#include "JsonReading.h"

#include "Uuid.h"

#include <cmath>

namespace JsonReading {
namespace {

const char *typeName(Element value)
{
    switch (value.type()) {
    case simdjson::dom::element_type::ARRAY:
        return "an array";
    case simdjson::dom::element_type::OBJECT:
        return "an object";
    case simdjson::dom::element_type::INT64:
    case simdjson::dom::element_type::UINT64:
    case simdjson::dom::element_type::DOUBLE:
        return "a number";
    case simdjson::dom::element_type::STRING:
        return "a string";
    case simdjson::dom::element_type::BOOL:
        return "a boolean";
    case simdjson::dom::element_type::NULL_VALUE:
        return "null";
    }
    return "an unknown value";
}

std::string_view stringView(Element value)
{
    return value.get_string().value_unsafe();
}

// Offending text quoted in a description, shortened so a huge value cannot flood a log line.
QString quoted(std::string_view text)
{
    constexpr size_t kMaxShown = 64;
    if (text.size() <= kMaxShown)
        return u'"' + QString::fromUtf8(text.data(), qsizetype(text.size())) + u'"';
    // Cut on a character boundary: step back over UTF-8 continuation bytes.
    size_t cut = kMaxShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return u'"' + QString::fromUtf8(text.data(), qsizetype(cut)) + QStringLiteral("…\"");
}

// 2^63 as a double. A whole number read from a floating-point literal must lie strictly inside
// (-2^63, 2^63): -2^63 itself is excluded because an integer literal just below it (which simdjson
// only accepts after rewriteHugeIntegers made it a floating-point literal) rounds to exactly -2^63.
// Integer literals of -2^63 are read as integers and still fit.
constexpr double kTwoTo63 = 9223372036854775808.0;

} // namespace

DecodeError ReadFailure::withCodingPath() const
{
    DecodeError result = error;
    QString path;
    for (auto segment = innermostFirst.rbegin(); segment != innermostFirst.rend(); ++segment) {
        if (segment->isIndex) {
            path += u'[' + QString::number(segment->index) + u']';
        } else {
            if (!path.isEmpty())
                path += u'.';
            path += QString::fromUtf8(segment->key.data(), qsizetype(segment->key.size()));
        }
    }
    result.codingPath = path;
    return result;
}

void Reader::fail(DecodeError::Kind kind, const QString &description) const
{
    throw ReadFailure{DecodeError{kind, QString(), description, std::nullopt}, {}};
}

void Reader::failMorvenda(MorvendaDecodeError error, const QString &description) const
{
    throw ReadFailure{DecodeError{DecodeError::Kind::Morvenda, QString(), description, error}, {}};
}

void Reader::typeMismatch(const char *expected, Element found) const
{
    fail(DecodeError::Kind::TypeMismatch,
         QStringLiteral("expected %1, found %2").arg(QLatin1StringView(expected),
                                                      QLatin1StringView(typeName(found))));
}

simdjson::dom::object Reader::object(Element value) const
{
    if (value.is_null())
        fail(DecodeError::Kind::ValueNotFound, QStringLiteral("expected an object, found null"));
    if (!value.is_object())
        typeMismatch("an object", value);
    return value.get_object().value_unsafe();
}

QString Reader::string(Element value) const
{
    if (!value.is_string())
        typeMismatch("a string", value);
    const std::string_view text = stringView(value);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QByteArray Reader::utf8String(Element value) const
{
    const std::string_view text = utf8View(value);
    return QByteArray(text.data(), qsizetype(text.size()));
}

std::string_view Reader::utf8View(Element value) const
{
    if (!value.is_string())
        typeMismatch("a string", value);
    return stringView(value);
}

bool Reader::boolean(Element value) const
{
    if (!value.is_bool())
        typeMismatch("a boolean", value);
    return value.get_bool().value_unsafe();
}

qint64 Reader::integer(Element value) const
{
    switch (value.type()) {
    case simdjson::dom::element_type::INT64:
        return value.get_int64().value_unsafe();
    case simdjson::dom::element_type::UINT64:
        fail(DecodeError::Kind::DataCorrupted,
             QStringLiteral("number %1 does not fit in 64 signed bits")
                 .arg(value.get_uint64().value_unsafe()));
    case simdjson::dom::element_type::DOUBLE: {
        const double number = value.get_double().value_unsafe();
        if (std::isfinite(number) && std::trunc(number) == number && number > -kTwoTo63
            && number < kTwoTo63) {
            return static_cast<qint64>(number);
        }
        fail(DecodeError::Kind::DataCorrupted,
             QStringLiteral("number %1 is not a whole number in 64 signed bits")
                 .arg(number, 0, 'g', 17));
    }
    default:
        typeMismatch("a whole number", value);
    }
}

double Reader::floatingPoint(Element value) const
{
    switch (value.type()) {
    case simdjson::dom::element_type::INT64:
        return double(value.get_int64().value_unsafe());
    case simdjson::dom::element_type::UINT64:
        return double(value.get_uint64().value_unsafe());
    case simdjson::dom::element_type::DOUBLE:
        return value.get_double().value_unsafe();
    case simdjson::dom::element_type::STRING: {
        const std::string_view text = stringView(value);
        if (text == "+")
            return INFINITY;
        if (text == "-")
            return -INFINITY;
        if (text == "NAN")
            return NAN;
        fail(DecodeError::Kind::TypeMismatch,
             QStringLiteral("expected a number or one of \"+\", \"-\", \"NAN\", found the string ")
                 + quoted(text));
    }
    default:
        typeMismatch("a number", value);
    }
}

double Reader::date(Element value) const
{
    if (!value.is_number())
        typeMismatch("a number of milliseconds since 1970", value);
    double milliseconds = 0;
    if (value.is_int64())
        milliseconds = double(value.get_int64().value_unsafe());
    else if (value.is_uint64())
        milliseconds = double(value.get_uint64().value_unsafe());
    else
        milliseconds = value.get_double().value_unsafe();
    return milliseconds / 1000.0;
}

QUuid Reader::uuid(Element value) const
{
    if (!value.is_string())
        typeMismatch("a UUID string", value);
    const std::string_view text = stringView(value);
    if (const std::optional<QUuid> uuid = Uuid::parse(text))
        return *uuid;
    fail(DecodeError::Kind::DataCorrupted,
         QStringLiteral("expected a UUID of the form XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX, found ")
             + quoted(text));
}

Url Reader::url(Element value) const
{
    const std::string_view text = utf8View(value);
    if (std::optional<Url> url = Url::fromUtf8(QByteArrayView(text.data(), qsizetype(text.size()))))
        return *std::move(url);
    fail(DecodeError::Kind::DataCorrupted,
         QStringLiteral("not a URL: ") + quoted(stringView(value)));
}

} // namespace JsonReading
