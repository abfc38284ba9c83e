// The choices the details toolbar edits: which payload panes the exchange details show and how
// their split is oriented. Plain values, any thread; raw values are the case names.
#pragma once

#include <QString>
#include <QStringView>

#include <array>

namespace DetailsFilterOptions {

enum class Filter { Request, Response, All };
enum class Alignment { Vertical, Horizontal };

// Request, response, all: the order of the toolbar's segments.
inline constexpr std::array<Filter, 3> kAllFilters = {Filter::Request, Filter::Response, Filter::All};

// "request", "response", "all"; "vertical", "horizontal".
QString rawValue(Filter filter);
QString rawValue(Alignment alignment);

// The segment's symbol ("arrow.up", "arrow.down", "arrow.up.arrow.down") and localized help.
QString symbolName(Filter filter);
QString helpText(Filter filter);
// The symbol that pictures the layout in force: "square.split.2x1" side by side,
// "square.split.1x2" stacked.
QString symbolName(Alignment alignment);

} // namespace DetailsFilterOptions
