#include "MorvendaModel/ShownText.h"

#include <algorithm>

namespace ShownText {

QString cut(const QString &text, qsizetype maxLength)
{
    if (text.size() <= maxLength)
        return text;
    qsizetype length = std::max<qsizetype>(0, maxLength - 1); // room for the ellipsis
    if (length > 0 && text.at(length - 1).isHighSurrogate())
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
