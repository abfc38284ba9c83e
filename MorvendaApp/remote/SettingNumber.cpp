#include "SettingNumber.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace SettingNumber {
namespace {

locale_t cLocale()
{
    // Made once and kept for the life of the process.
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

bool isLeadingBlank(QChar c)
{
    return c == u'\0' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r' || c == u' ';
}

} // namespace

std::optional<double> parse(QStringView text)
{
    if (text.isEmpty() || isLeadingBlank(text.front()))
        return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    // A NUL inside would end the C string early and let a rest pass unread.
    if (utf8.contains('\0') || !cLocale())
        return std::nullopt;
    char *end = nullptr;
    const double value = strtod_l(utf8.constData(), &end, cLocale());
    if (end != utf8.constData() + utf8.size())
        return std::nullopt;
    return value;
}

} // namespace SettingNumber
