#include "RequestAmountChartItem.h"

size_t qHash(const RequestAmountChartItem &item, size_t seed)
{
    return qHashMulti(seed, item.id, item.value, item.time, item.series);
}

const std::array<QString, kRequestAmountSeriesCount> &requestAmountSeriesNames()
{
    static const std::array<QString, kRequestAmountSeriesCount> names = {QStringLiteral("post"),
        QStringLiteral("get"), QStringLiteral("put"), QStringLiteral("delete"), QStringLiteral("-")};
    return names;
}

int requestAmountSeriesIndex(std::optional<Method> method)
{
    if (!method)
        return kRequestAmountSeriesCount - 1;
    switch (*method) {
    case Method::Post:
        return 0;
    case Method::Get:
        return 1;
    case Method::Put:
        return 2;
    case Method::Delete:
        return 3;
    }
    return kRequestAmountSeriesCount - 1;
}
