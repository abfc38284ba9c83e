#include "MorvendaModel/ShownText.h"

namespace ShownText {

QString cut(const QString &text)
{
    if (text.size() <= kMaxLength)
        return text;
    qsizetype length = kMaxLength - 1; // room for the ellipsis
    if (text.at(length - 1).isHighSurrogate())
        --length;
    return text.first(length) + QChar(0x2026);
}

std::optional<QString> cut(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    return cut(*text);
}

} // namespace ShownText
