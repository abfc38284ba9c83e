// The arithmetic of the duration charts' measuring tools: pointer heights to rows or durations,
// the reference times of the drawn items, and the seconds labels. Pure functions; any thread.
#pragma once

#include "MorvendaApp/metrics/RequestDurationChartItem.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace RequestDurationMeasure {

// The row under a y value: rounded to the nearest whole number, halves away from zero (2.5 gives
// 3, -0.5 gives -1). A value that is not finite or lies beyond ±2^53 (where doubles stop being
// whole-number exact) gives none.
std::optional<qint64> rowAt(double value);
// The duration at a y value: the value itself when it is finite and not below zero, else 0.
double durationAt(double value);

// "%lf s": six decimals, a minus sign kept, always a decimal point whatever the user's locale.
QString secondsText(double seconds);

// True when both of the item's times are dates of the calendar (years 1 to 9999); items with
// others are neither drawn nor counted in the reference times.
bool isDrawable(const RequestDurationChartItem &item);

// The reference times of the drawn items; none when no item is drawable.
struct Extent
{
    double firstStart = 0;
    double lastStart = 0;
    double lastEnd = 0;
};
std::optional<Extent> extentOf(const QList<RequestDurationChartItem> &items);

} // namespace RequestDurationMeasure
