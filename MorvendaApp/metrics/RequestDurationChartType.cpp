#include "MorvendaApp/metrics/RequestDurationChartType.h"

using namespace Qt::StringLiterals;

QString RequestDurationChartTypes::rawValue(RequestDurationChartType type)
{
    return type == RequestDurationChartType::Line ? u"line"_s : u"bar"_s;
}

std::optional<RequestDurationChartType> RequestDurationChartTypes::fromRawValue(QStringView raw)
{
    if (raw == u"bar")
        return RequestDurationChartType::Bar;
    if (raw == u"line")
        return RequestDurationChartType::Line;
    return std::nullopt;
}
