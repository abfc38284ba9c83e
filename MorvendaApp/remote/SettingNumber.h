// Number text of numeric settings, read and written the same way whatever the user's locale:
// "1.5" is one and a half under every locale, "1,5" is never a number. Pure functions.
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace SettingNumber {

// The number when the whole text is one as the C library reads it in the "C" locale (decimal,
// exponent, hexadecimal, "inf" and "nan" forms); nothing for an empty text, a leading or
// trailing blank, a comma separator or any other rest.
std::optional<double> parse(QStringView text);

} // namespace SettingNumber
