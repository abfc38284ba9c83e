// The two ways the request-duration frame charts its items, with their stored form.
// Pure value type; any thread.
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

enum class RequestDurationChartType { Bar, Line };

namespace RequestDurationChartTypes {

inline constexpr std::array<RequestDurationChartType, 2> allCases{RequestDurationChartType::Bar,
                                                                  RequestDurationChartType::Line};

// "bar" and "line".
QString rawValue(RequestDurationChartType type);
// Exactly "bar" or "line"; anything else gives none.
std::optional<RequestDurationChartType> fromRawValue(QStringView raw);

} // namespace RequestDurationChartTypes
