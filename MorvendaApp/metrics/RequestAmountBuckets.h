// The request-count chart's drawing data: per whole second, how many requests of each series were
// stamped in it, kept up one request at a time. An eight-hour session at 20 requests per second
// is half a million requests but only 28,800 buckets. Owned by the chart's view model; main thread.
#pragma once

#include "RequestAmountChartItem.h"

#include <array>
#include <map>

class RequestAmountBuckets
{
public:
    using Counts = std::array<quint32, kRequestAmountSeriesCount>;

    // Counts one request of `series` at `time` (seconds since 1970) in the second that holds it,
    // floor(time), so 1.5 s before 1970 lands in second −2. A time outside the calendar (or not a
    // number) cannot be drawn: it is only counted as such.
    void add(double time, int series);
    void clear();

    // Keyed by the second's start, oldest first.
    const std::map<qint64, Counts> &seconds() const { return m_seconds; }
    qint64 undrawableCount() const { return m_undrawable; }

    // Whether a time can be placed on the chart's date axis.
    static bool drawable(double time);

private:
    std::map<qint64, Counts> m_seconds;
    qint64 m_undrawable = 0;
};
