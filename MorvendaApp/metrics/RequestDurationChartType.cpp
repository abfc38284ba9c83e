#include "MorvendaApp/metrics/RequestDurationChartType.h"


QString RequestDurationChartTypes::rawValue(RequestDurationChartType type)
{
    return type == RequestDurationChartType::Line ? QStringLiteral("line") : QStringLiteral("bar");
}

std::optional<RequestDurationChartType> RequestDurationChartTypes::fromRawValue(QStringView raw)
{
    if (raw == u"bar")
        return RequestDurationChartType::Bar;
    if (raw == u"line")
        return RequestDurationChartType::Line;
    return std::nullopt;
}
