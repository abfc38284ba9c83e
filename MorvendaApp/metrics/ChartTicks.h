// Tick positions and labels for the chart axes: "nice" steps (1, 2, 5 × 10ⁿ for numbers; whole
// seconds, minutes, hours and days for dates in the local time zone) chosen so an axis carries at
// most a given number of ticks. Pure functions, any thread.
#pragma once

#include <QList>
#include <QString>

namespace ChartTicks {

struct Tick
{
    double value = 0;
    QString label;
};

struct TickSet
{
    // The distance between neighbouring ticks, in axis units (seconds for dates); 0 when empty.
    double step = 0;
    QList<Tick> ticks;
};

// The largest span a date axis labels as dates: years 1 to 9999 of the calendar. Outside it an
// axis falls back to numbers, so a wild timestamp never reaches a calendar conversion.
inline constexpr double kEarliestDate = -62135596800.0;
inline constexpr double kLatestDate = 253402300799.0;

// Ticks inside [min, max] (either order), at most `maxCount` of them (at least one is allowed),
// never closer than `minStep` (1 keeps counts on whole numbers). Empty when a bound is not finite.
TickSet numberTicks(double min, double max, int maxCount, double minStep = 0);
// The same for seconds since 1970, labelled with the clock time (sub-second steps add the
// fraction, day steps give the date). Bounds outside the calendar give numberTicks.
TickSet dateTicks(double min, double max, int maxCount);

// The number domain widened outwards to whole steps of the ticks numberTicks would choose, so the
// axis starts and ends on a tick. A zero-width domain is widened around its value first.
struct Domain
{
    double min = 0;
    double max = 1;
};
Domain niceNumberDomain(double min, double max, int maxCount, double minStep = 0);

} // namespace ChartTicks
