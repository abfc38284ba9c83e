#include "Utf8Text.h"

#include <simdjson.h>

namespace Utf8Text {

QByteArray fromText(const QString &text)
{
    if (text.isValidUtf16())
        return text.toUtf8();
    QString repaired;
    repaired.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < size && text[i + 1].isLowSurrogate()) {
            repaired += c;
            repaired += text[++i];
        } else {
            repaired += c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c;
        }
    }
    return repaired.toUtf8();
}

std::optional<QByteArray> fromText(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    return fromText(*text);
}

bool isValid(QByteArrayView bytes)
{
    return simdjson::validate_utf8(bytes.data(), size_t(bytes.size()));
}

QByteArray validated(QByteArray bytes)
{
    if (isValid(bytes))
        return bytes;
    // QString::fromUtf8 replaces each invalid sequence by U+FFFD and never yields a lone surrogate.
    return QString::fromUtf8(bytes).toUtf8();
}

std::optional<QByteArray> validated(std::optional<QByteArray> bytes)
{
    if (!bytes)
        return std::nullopt;
    return validated(std::move(*bytes));
}

std::optional<QString> toText(const std::optional<QByteArray> &bytes)
{
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

} // namespace Utf8Text
