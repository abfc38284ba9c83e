#include "Uuid.h"

#include <array>

namespace Uuid {
namespace {

constexpr qsizetype kLength = 36;

bool isHyphenPosition(qsizetype i)
{
    return i == 8 || i == 13 || i == 18 || i == 23;
}

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

template<typename Char>
std::optional<QUuid> parseChars(const Char *chars, qsizetype size)
{
    if (size != kLength)
        return std::nullopt;
    std::array<uchar, 16> bytes{};
    int nibble = 0;
    for (qsizetype i = 0; i < kLength; ++i) {
        const auto c = static_cast<char16_t>(chars[i]);
        if (isHyphenPosition(i)) {
            if (c != u'-')
                return std::nullopt;
            continue;
        }
        const int value = hexValue(c);
        if (value < 0)
            return std::nullopt;
        bytes[nibble / 2] = static_cast<uchar>(bytes[nibble / 2] << 4 | value);
        ++nibble;
    }
    return QUuid::fromRfc4122(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

} // namespace

std::optional<QUuid> parse(QStringView text)
{
    return parseChars(text.utf16(), text.size());
}

std::optional<QUuid> parse(std::string_view utf8)
{
    // Any non-ASCII byte fails the hex test, so bytes can be looked at one by one.
    return parseChars(reinterpret_cast<const unsigned char *>(utf8.data()), qsizetype(utf8.size()));
}

QString toText(const QUuid &uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace Uuid
