// The two charts of the metrics pane, in picker order. Plain values, any thread.
#pragma once

#include <QHashFunctions>
#include <QString>

#include <array>

enum class GraphType { RequestDuration, RequestCount };

inline constexpr std::array<GraphType, 2> kAllGraphTypes = {GraphType::RequestDuration, GraphType::RequestCount};

// The localized title ("Request duration", "Request count").
QString graphTypeTitle(GraphType type);
// The symbol name of the picker segment.
QString graphTypeSymbol(GraphType type);

inline size_t qHash(GraphType type, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(type), seed);
}
