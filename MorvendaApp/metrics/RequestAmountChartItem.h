// One counted request of the request-count chart, and the series it is stacked in. Plain values,
// any thread.
#pragma once

#include "MorvendaModel/Method.h"

#include <QHashFunctions>
#include <QString>
#include <QUuid>

#include <array>
#include <optional>

struct RequestAmountChartItem
{
    QUuid id;
    // What the item adds to the bar of its second: always 1.
    qint64 value = 1;
    // Seconds since 1970: the request's timestamp, or when it was counted if it had none. Any
    // double the wire allows, so possibly outside every calendar.
    double time = 0;
    QString series;

    friend bool operator==(const RequestAmountChartItem &, const RequestAmountChartItem &) = default;
};

size_t qHash(const RequestAmountChartItem &item, size_t seed = 0);

// The series, in stacking and legend order: the four methods, then "-" for a request without one.
inline constexpr int kRequestAmountSeriesCount = 5;
const std::array<QString, kRequestAmountSeriesCount> &requestAmountSeriesNames();
int requestAmountSeriesIndex(std::optional<Method> method);
