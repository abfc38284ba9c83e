#include "DetailsFilterOptions.h"

#include "MorvendaApp/core/L10n.h"

using namespace Qt::StringLiterals;

namespace DetailsFilterOptions {

QString rawValue(Filter filter)
{
    switch (filter) {
    case Filter::Request:
        return u"request"_s;
    case Filter::Response:
        return u"response"_s;
    case Filter::All:
        break;
    }
    return u"all"_s;
}

QString rawValue(Alignment alignment)
{
    return alignment == Alignment::Vertical ? u"vertical"_s : u"horizontal"_s;
}

QString symbolName(Filter filter)
{
    switch (filter) {
    case Filter::Request:
        return u"arrow.up"_s;
    case Filter::Response:
        return u"arrow.down"_s;
    case Filter::All:
        break;
    }
    return u"arrow.up.arrow.down"_s;
}

QString helpText(Filter filter)
{
    switch (filter) {
    case Filter::Request:
        return L10n::text("Request");
    case Filter::Response:
        return L10n::text("Response");
    case Filter::All:
        break;
    }
    return L10n::text("All");
}

QString symbolName(Alignment alignment)
{
    return alignment == Alignment::Vertical ? u"square.split.2x1"_s : u"square.split.1x2"_s;
}

} // namespace DetailsFilterOptions
