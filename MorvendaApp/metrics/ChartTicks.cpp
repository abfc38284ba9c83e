#include "ChartTicks.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cmath>

namespace ChartTicks {

namespace {

constexpr double kMinute = 60;
constexpr double kHour = 3600;
constexpr double kDay = 86400;

// Both bounds and their distance must be finite for any step to exist.
bool usableSpan(double min, double max)
{
    return std::isfinite(min) && std::isfinite(max) && std::isfinite(max - min);
}

// The smallest of 1, 2, 5 × 10ⁿ at or above `raw`.
double niceStep(double raw)
{
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * magnitude >= raw * (1 - 1e-9))
            return factor * magnitude;
    }
    return 10 * magnitude;
}

int clampCount(int maxCount)
{
    return std::clamp(maxCount, 1, 1000);
}

// Decimals that show every tick of `step` apart exactly (0.25 needs two, 5 none).
int decimalsFor(double step)
{
    for (int decimals = 0; decimals < 9; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::abs(scaled - std::round(scaled)) < 1e-6 * scaled)
            return decimals;
    }
    return 9;
}

// Ticks at every multiple of `step` (shifted by `offset`) inside [min, max].
template<typename Label>
QList<Tick> ticksAt(double min, double max, double step, double offset, int maxCount, Label label)
{
    QList<Tick> ticks;
    const double first = std::ceil((min + offset) / step - 1e-9) * step - offset;
    // The bound on the count keeps a step that underflowed against a huge value from looping.
    for (int i = 0; i <= maxCount + 1; ++i) {
        const double value = first + i * step;
        if (value > max + step * 1e-9)
            break;
        ticks.append(Tick{value, label(value)});
    }
    return ticks;
}

// Steps of a date axis, in seconds: from a millisecond to a week; longer spans take whole days
// of 1, 2, 5 × 10ⁿ.
constexpr std::array kDateSteps = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1.0, 2.0, 5.0,
    10.0, 15.0, 30.0, kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,
    2 * kHour, 3 * kHour, 6 * kHour, 12 * kHour, kDay, 2 * kDay, 7 * kDay};

QString dateLabel(double seconds, double step)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000)), QTimeZone::systemTimeZone());
    const QLocale locale;
    // Beyond a month between ticks the day no longer matters, but the year does.
    if (step >= 28 * kDay)
        return locale.toString(time.date(), QStringLiteral("MMM yyyy"));
    if (step >= kDay)
        return locale.toString(time.date(), QStringLiteral("d MMM"));
    if (step >= kMinute)
        return time.toString(QStringLiteral("HH:mm"));
    if (step >= 1)
        return time.toString(QStringLiteral("HH:mm:ss"));
    return time.toString(QStringLiteral("mm:ss.zzz"));
}

} // namespace

TickSet numberTicks(double min, double max, int maxCount, double minStep)
{
    if (!usableSpan(min, max))
        return {};
    if (min > max)
        std::swap(min, max);
    maxCount = clampCount(maxCount);
    const double span = max - min;
    const double step = std::max(span > 0 ? niceStep(span / maxCount) : niceStep(std::max(std::abs(min), 1.0)),
        (minStep > 0 ? niceStep(minStep) : 0.0));
    if (span > 0 && span / step > maxCount + 1)
        return {};
    const int decimals = decimalsFor(step);
    // The C locale's decimal point, as the seconds labels beside the axis have (they are printf
    // "%lf"), and no group separators: axis labels stay short.
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    TickSet set;
    set.step = step;
    set.ticks = ticksAt(min, max, step, 0, maxCount, [&](double value) {
        // -0 would read "-0".
        return locale.toString(std::abs(value) < step * 1e-9 ? 0.0 : value, 'f', decimals);
    });
    return set;
}

TickSet dateTicks(double min, double max, int maxCount)
{
    if (!usableSpan(min, max))
        return {};
    if (min > max)
        std::swap(min, max);
    if (min < kEarliestDate || max > kLatestDate)
        return numberTicks(min, max, maxCount);
    maxCount = clampCount(maxCount);
    const double raw = (max - min) / maxCount;
    double step = 0;
    for (const double candidate : kDateSteps) {
        if (candidate >= raw) {
            step = candidate;
            break;
        }
    }
    if (step == 0)
        step = niceStep(raw / kDay) * kDay;
    // Minutes and longer fall on the local clock's boundaries (a zone half an hour off UTC still
    // gets ticks on the hour), taking the offset at the start of the span.
    double offset = 0;
    if (step >= kMinute) {
        const QDateTime start = QDateTime::fromMSecsSinceEpoch(qint64(min * 1000), QTimeZone::systemTimeZone());
        offset = start.offsetFromUtc();
    }
    TickSet set;
    set.step = step;
    set.ticks = ticksAt(min, max, step, offset, maxCount, [step](double value) { return dateLabel(value, step); });
    return set;
}

Domain niceNumberDomain(double min, double max, int maxCount, double minStep)
{
    if (!usableSpan(min, max))
        return {};
    if (min > max)
        std::swap(min, max);
    if (max == min) {
        const double pad = min == 0 ? 1 : std::abs(min) * 0.1;
        min -= pad;
        max += pad;
    }
    const double step = std::max(niceStep((max - min) / clampCount(maxCount)), (minStep > 0 ? niceStep(minStep) : 0.0));
    const double niceMin = std::floor(min / step + 1e-9) * step;
    const double niceMax = std::ceil(max / step - 1e-9) * step;
    if (!std::isfinite(niceMin) || !std::isfinite(niceMax) || niceMin >= niceMax)
        return {min, max};
    return {niceMin, niceMax};
}

} // namespace ChartTicks
