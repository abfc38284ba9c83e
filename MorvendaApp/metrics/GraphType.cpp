#include "GraphType.h"

#include "MorvendaApp/core/L10n.h"

QString graphTypeTitle(GraphType type)
{
    switch (type) {
    case GraphType::RequestDuration:
        return L10n::text("Metrics.GraphType.requestDuration");
    case GraphType::RequestCount:
        return L10n::text("Metrics.GraphType.requestCount");
    }
    return {};
}

QString graphTypeSymbol(GraphType type)
{
    switch (type) {
    case GraphType::RequestDuration:
        return QStringLiteral("timer.circle.fill");
    case GraphType::RequestCount:
        return QStringLiteral("chart.bar.fill");
    }
    return {};
}
