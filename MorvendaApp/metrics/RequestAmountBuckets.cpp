#include "RequestAmountBuckets.h"

#include "ChartTicks.h"

#include <cmath>

bool RequestAmountBuckets::drawable(double time)
{
    // Also keeps floor(time) well inside qint64, so the conversion below is always defined.
    return std::isfinite(time) && time >= ChartTicks::kEarliestDate && time <= ChartTicks::kLatestDate;
}

void RequestAmountBuckets::add(double time, int series)
{
    if (!drawable(time) || series < 0 || series >= kRequestAmountSeriesCount) {
        ++m_undrawable;
        return;
    }
    // Requests mostly arrive in time order: try the last second before searching.
    const qint64 second = qint64(std::floor(time));
    auto it = m_seconds.empty() || m_seconds.rbegin()->first != second ? m_seconds.try_emplace(second).first
                                                                       : std::prev(m_seconds.end());
    ++it->second[std::size_t(series)];
}

void RequestAmountBuckets::clear()
{
    m_seconds.clear();
    m_undrawable = 0;
}
