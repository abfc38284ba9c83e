#include "MorvendaApp/metrics/RequestDurationMeasure.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/metrics/ChartTicks.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kWholeNumberLimit = 9007199254740992.0; // 2^53

bool isCalendarDate(double seconds)
{
    return seconds >= ChartTicks::kEarliestDate && seconds <= ChartTicks::kLatestDate; // false for NaN
}

} // namespace

std::optional<qint64> RequestDurationMeasure::rowAt(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > kWholeNumberLimit)
        return std::nullopt;
    return qint64(std::round(value));
}

double RequestDurationMeasure::durationAt(double value)
{
    return std::isfinite(value) && value > 0 ? value : 0.0;
}

QString RequestDurationMeasure::secondsText(double seconds)
{
    // The shared formatter writes "%lf" with QString::number, which ignores the locale.
    return L10n::tr("%lf s", seconds);
}

bool RequestDurationMeasure::isDrawable(const RequestDurationChartItem &item)
{
    return isCalendarDate(item.startDate) && isCalendarDate(item.endDate);
}

std::optional<RequestDurationMeasure::Extent> RequestDurationMeasure::extentOf(const QList<RequestDurationChartItem> &items)
{
    std::optional<Extent> extent;
    for (const RequestDurationChartItem &item : items) {
        if (!isDrawable(item))
            continue;
        if (!extent) {
            extent = Extent{item.startDate, item.startDate, item.endDate};
            continue;
        }
        extent->firstStart = std::min(extent->firstStart, item.startDate);
        extent->lastStart = std::max(extent->lastStart, item.startDate);
        extent->lastEnd = std::max(extent->lastEnd, item.endDate);
    }
    return extent;
}
