#include "DetailsFilterOptions.h"

#include "MorvendaApp/core/L10n.h"


namespace DetailsFilterOptions {

QString rawValue(Filter filter)
{
    switch (filter) {
    case Filter::Request:
        return QStringLiteral("request");
    case Filter::Response:
        return QStringLiteral("response");
    case Filter::All:
        break;
    }
    return QStringLiteral("all");
}

QString rawValue(Alignment alignment)
{
    return alignment == Alignment::Vertical ? QStringLiteral("vertical") : QStringLiteral("horizontal");
}

QString symbolName(Filter filter)
{
    switch (filter) {
    case Filter::Request:
        return QStringLiteral("arrow.up");
    case Filter::Response:
        return QStringLiteral("arrow.down");
    case Filter::All:
        break;
    }
    return QStringLiteral("arrow.up.arrow.down");
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
    return alignment == Alignment::Vertical ? QStringLiteral("square.split.2x1") : QStringLiteral("square.split.1x2");
}

} // namespace DetailsFilterOptions
