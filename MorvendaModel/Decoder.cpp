#include "Decoder.h"

#include "JsonReading.h"
#include "MorvendaFramer.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>

using JsonReading::Element;
using JsonReading::ReadFailure;
using JsonReading::Reader;

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether an integer literal (digits without sign) lies outside every 64-bit integer range, which
// simdjson refuses as a number error for the whole document.
bool exceeds64Bits(std::string_view digits, bool negative)
{
    const std::string_view limit = negative ? std::string_view("9223372036854775808")
                                            : std::string_view("18446744073709551615");
    if (digits.size() != limit.size())
        return digits.size() > limit.size();
    return digits > limit;
}

// simdjson 3.0 fails a whole document on one integer literal of 2^64 or more, wherever it stands,
// even under a key no record reads. Such literals are rewritten as floating-point literals
// ("18446744073709551616" becomes "18446744073709551616.0") so the document parses: a date or a
// floating-point field then reads the value as a double, as it would any fractional number, and a
// whole-number field still refuses it as data corrupted. Strings are copied untouched. Returns an
// empty string when no literal needed rewriting.
std::string rewriteHugeIntegers(std::string_view json)
{
    std::string out;
    bool changed = false;
    size_t i = 0;
    while (i < json.size()) {
        const char c = json[i];
        if (c == '"') {
            size_t end = i + 1;
            while (end < json.size() && json[end] != '"')
                end += json[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, json.size());
            out.append(json.substr(i, end - i));
            i = end;
        } else if (c == '-' || isDigit(c)) {
            const bool negative = c == '-';
            size_t end = i + (negative ? 1 : 0);
            const size_t digitsBegin = end;
            while (end < json.size() && isDigit(json[end]))
                ++end;
            const std::string_view digits = json.substr(digitsBegin, end - digitsBegin);
            // The fraction and exponent belong to the same literal: scanned on their own, their
            // digits would look like integers and be rewritten into invalid text.
            bool isInteger = true;
            if (end < json.size() && json[end] == '.') {
                isInteger = false;
                ++end;
                while (end < json.size() && isDigit(json[end]))
                    ++end;
            }
            if (end < json.size() && (json[end] == 'e' || json[end] == 'E')) {
                isInteger = false;
                ++end;
                if (end < json.size() && (json[end] == '+' || json[end] == '-'))
                    ++end;
                while (end < json.size() && isDigit(json[end]))
                    ++end;
            }
            out.append(json.substr(i, end - i));
            if (isInteger && !digits.empty() && exceeds64Bits(digits, negative)) {
                out.append(".0");
                changed = true;
            }
            i = end;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return changed ? out : std::string();
}

DecodeError outOfMemory(qsizetype size)
{
    return DecodeError{DecodeError::Kind::DataCorrupted, QString(),
                       QStringLiteral("not enough memory to decode %1 bytes").arg(size), std::nullopt};
}

DecodeError notJson(simdjson::error_code error)
{
    return DecodeError{DecodeError::Kind::DataCorrupted, QString(),
                       QStringLiteral("the data is not valid JSON (%1)")
                           .arg(QLatin1StringView(simdjson::error_message(error))),
                       std::nullopt};
}

constexpr qsizetype kMinValueAllowance = qsizetype(1) << 20;
constexpr qsizetype kBytesPerValue = 32;

std::atomic<Decoder::DecodeHook> decodeHook{nullptr};

// The values of a JSON text, counted without parsing it: every comma and colon starts one, as does
// every array or object; a string's contents are not looked at. Stops counting past `limit`.
qsizetype countValues(std::string_view json, qsizetype limit)
{
    qsizetype count = 1;
    const char *p = json.data();
    const char *const end = p + json.size();
    while (p < end) {
        const char c = *p++;
        if (c == '"') {
            // To the closing quote: one not preceded by an odd run of backslashes.
            for (;;) {
                const auto *quote = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
                if (!quote)
                    return count;
                const char *back = quote;
                while (back > p && back[-1] == '\\')
                    --back;
                p = quote + 1;
                if ((quote - back) % 2 == 0)
                    break;
            }
        } else if (c == ',' || c == ':' || c == '[' || c == '{') {
            if (++count > limit)
                return count;
        }
    }
    return count;
}

} // namespace

qsizetype Decoder::maxValuesPerFrame(qsizetype bodySize)
{
    return std::max(kMinValueAllowance, bodySize / kBytesPerValue);
}

void Decoder::setDecodeHookForTesting(DecodeHook hook)
{
    decodeHook.store(hook);
}

// simdjson sizes its buffers to the largest document parsed so far, at about 14 bytes of address
// space per input byte, and never shrinks them. A decoder that lives as long as a connection drops
// them after an unusually large document instead of holding them for the rest of the day.
constexpr qsizetype kKeepBuffersUpTo = 4 * 1024 * 1024;

struct Decoder::Impl
{
    simdjson::dom::parser parser;

    // After a large document, or a failure that may have left them half grown.
    void dropLargeBuffers(qsizetype documentSize)
    {
        if (documentSize > kKeepBuffersUpTo || parser.capacity() > size_t(kKeepBuffersUpTo))
            parser = simdjson::dom::parser();
    }

    // `padded`: the bytes after the document's end up to SIMDJSON_PADDING may be read, so the
    // parser need not copy it into a padded buffer of its own.
    tl::expected<Element, DecodeError> parse(QByteArrayView json, bool padded)
    {
        if (json.isEmpty()) // also keeps a null pointer away from simdjson's copy
            return tl::unexpected(notJson(simdjson::EMPTY));
        Element root;
        simdjson::error_code error = parser.parse(json.data(), size_t(json.size()), !padded).get(root);
        if (error == simdjson::NUMBER_ERROR) {
            // The parser copies its input into its own padded buffer, so the rewritten text need
            // not outlive this call.
            const std::string rewritten =
                rewriteHugeIntegers(std::string_view(json.data(), size_t(json.size())));
            if (!rewritten.empty())
                error = parser.parse(rewritten.data(), rewritten.size(), true).get(root);
        }
        if (error == simdjson::MEMALLOC)
            return tl::unexpected(outOfMemory(json.size()));
        if (error)
            return tl::unexpected(notJson(error));
        return root;
    }

    template<typename Read>
    auto decode(QByteArrayView json, Read read, bool padded = false)
        -> tl::expected<decltype(read(std::declval<Reader &>(), Element())), DecodeError>
    {
        using Result = tl::expected<decltype(read(std::declval<Reader &>(), Element())), DecodeError>;
        Result result = [&]() -> Result {
            try {
                const tl::expected<Element, DecodeError> root = parse(json, padded);
                if (!root)
                    return tl::unexpected(root.error());
                Reader reader;
                return read(reader, *root);
            } catch (const ReadFailure &failure) {
                return tl::unexpected(failure.withCodingPath());
            } catch (const std::bad_alloc &) {
                return tl::unexpected(outOfMemory(json.size()));
            }
        }();
        if (json.size() > kKeepBuffersUpTo || !result)
            dropLargeBuffers(json.size());
        return result;
    }
};

Decoder Decoder::make()
{
    return Decoder();
}

Decoder::Decoder()
    : m_impl(std::make_unique<Impl>())
{
}

Decoder::~Decoder() = default;
Decoder::Decoder(Decoder &&) noexcept = default;
Decoder &Decoder::operator=(Decoder &&) noexcept = default;

tl::expected<Payload, DecodeError> Decoder::decodePayload(QByteArrayView json)
{
    return decodeFrame(json, false);
}

tl::expected<Payload, DecodeError> Decoder::decodePayload(const QByteArray &json)
{
    static_assert(simdjson::SIMDJSON_PADDING <= size_t(MorvendaFramer::receivePadding));
    return decodeFrame(json, size_t(json.capacity() - json.size()) >= simdjson::SIMDJSON_PADDING);
}

tl::expected<Payload, DecodeError> Decoder::decodeFrame(QByteArrayView json, bool padded)
{
    if (json.size() > kMinValueAllowance) {
        // A frame this size cannot hold more values than the allowance without being counted.
        const qsizetype allowed = maxValuesPerFrame(json.size());
        if (countValues(std::string_view(json.data(), size_t(json.size())), allowed) > allowed) {
            return tl::unexpected(DecodeError{
                DecodeError::Kind::DataCorrupted, QString(),
                QStringLiteral("%1 bytes holding more than %2 values are too many values to decode")
                    .arg(json.size())
                    .arg(allowed),
                std::nullopt});
        }
    }
    if (const DecodeHook hook = decodeHook.load()) {
        try {
            hook(json);
        } catch (const std::bad_alloc &) {
            return tl::unexpected(outOfMemory(json.size()));
        }
    }
    return m_impl->decode(json, JsonReading::readPayload, padded);
}

tl::expected<QList<Payload>, DecodeError> Decoder::decodePayloadArray(QByteArrayView json)
{
    return m_impl->decode(json, [](Reader &reader, Element root) {
        if (root.is_null()) {
            reader.fail(DecodeError::Kind::ValueNotFound,
                        QStringLiteral("expected an array, found null"));
        }
        return reader.list<Payload>(root, JsonReading::readPayload);
    });
}

tl::expected<AppPayload, DecodeError> Decoder::decodeAppPayload(QByteArrayView json)
{
    return m_impl->decode(json, JsonReading::readAppPayload);
}
