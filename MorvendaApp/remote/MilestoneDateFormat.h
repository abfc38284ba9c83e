// The dates of the milestone inspector: weekday, day, month, year, hour (two digits, with the
// AM/PM marker where the locale uses one), minute, second and the zone's short name, ordered and
// separated as the current locale and time zone want. Main thread only (the formatter is cached).
#pragma once

#include <QString>

namespace MilestoneDateFormat {

// `seconds` since 1970. A value that is not finite or lies beyond the dates a calendar can hold
// is shown as the app sent it, in milliseconds with the unit ("8640000000000001 ms").
QString format(double seconds);

// Forgets the cached formatter, so a changed locale or zone (in tests) takes effect.
void reset();

} // namespace MilestoneDateFormat
