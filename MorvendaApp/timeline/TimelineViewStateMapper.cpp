#include "MorvendaApp/timeline/TimelineViewStateMapper.h"

#include "MorvendaApp/core/L10n.h"

namespace {

// The canonical text of an ID: upper-case hexadecimal with hyphens, no braces.
QString canonicalText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QString decimal(qint64 value)
{
    return QString::number(value);
}

} // namespace

TimelineRowState TimelineViewStateMapper::rowState(const Exchange &exchange) const
{
    TimelineRowState row;
    row.id = exchange.messageID();
    row.batchId = exchange.batchID();
    row.title = title(exchange);
    row.description = exchange.description();
    row.badge = badge(exchange);
    row.footNote = responsesFootNote(exchange.responses().size());
    if (!row.footNote)
        row.footNote = batchFootNote(exchange);
    return row;
}

std::optional<QString> TimelineViewStateMapper::title(const Exchange &exchange) const
{
    if (exchange.request() && exchange.request()->url())
        return exchange.request()->url()->path();
    if (exchange.responses().isEmpty())
        return std::nullopt;
    const auto &url = exchange.responses().constLast().url();
    if (!url)
        return std::nullopt;
    return url->path();
}

TimelineBadgeState TimelineViewStateMapper::badge(const Exchange &exchange) const
{
    using Icon = TimelineBadgeState::Icon;
    TimelineBadgeState badge;
    const Exchange::ResponseStatus status = exchange.responseStatus();
    if (!exchange.request()) {
        if (status == Exchange::ResponseStatus::Error) {
            badge.color = NamedColor::Red;
            badge.icon = Icon::Error;
            badge.help = L10n::text("Timeline.error");
        } else {
            badge.color = NamedColor::Orange;
            badge.icon = Icon::NoRequest;
            badge.help = L10n::text("Timeline.noRequest");
        }
    } else {
        switch (status) {
        case Exchange::ResponseStatus::Network:
            badge.color = NamedColor::Green;
            badge.icon = Icon::Network;
            badge.help = L10n::text("Timeline.network");
            break;
        case Exchange::ResponseStatus::Cache:
            badge.color = NamedColor::Blue;
            badge.icon = Icon::Cache;
            badge.help = L10n::text("Timeline.cache");
            break;
        case Exchange::ResponseStatus::Batch:
            badge.color = NamedColor::Purple;
            badge.icon = Icon::Batch;
            badge.help = L10n::tr("Timeline.batch", decimal(exchange.batchCount().value_or(0)));
            break;
        case Exchange::ResponseStatus::Error:
            badge.color = NamedColor::Red;
            badge.icon = Icon::Error;
            badge.help = L10n::text("Timeline.error");
            break;
        case Exchange::ResponseStatus::NoResponse:
            badge.color = NamedColor::Gray;
            badge.icon = Icon::NoResponse;
            badge.help = L10n::text("Timeline.noResponse");
            break;
        }
    }

    if (exchange.request() && exchange.request()->method())
        badge.mainText = rawValue(*exchange.request()->method()).toUpper();
    if (!exchange.responses().isEmpty()) {
        if (const auto code = exchange.responses().constLast().statusCode())
            badge.subText = decimal(*code);
    }
    return badge;
}

std::optional<TimelineFootNote> TimelineViewStateMapper::responsesFootNote(qsizetype count) const
{
    if (count < 2)
        return std::nullopt;
    TimelineFootNote note;
    note.title = QLatin1Char('x') + decimal(count);
    note.color = count <= 3 ? NamedColor::Orange : count <= 5 ? NamedColor::Red : NamedColor::Purple;
    note.help = L10n::tr("Timeline.multipleResponses", decimal(count));
    return note;
}

std::optional<TimelineFootNote> TimelineViewStateMapper::batchFootNote(const Exchange &exchange) const
{
    const auto batchID = exchange.batchID();
    const auto batchCount = exchange.batchCount();
    if (!batchID || !batchCount || exchange.responseStatus() != Exchange::ResponseStatus::Batch)
        return std::nullopt;
    const QString idText = canonicalText(*batchID);
    TimelineFootNote note;
    note.title = idText.left(7) + QStringLiteral(" (x") + decimal(*batchCount) + QLatin1Char(')');
    note.color = NamedColor::Purple;
    note.help = L10n::tr("Timeline.batchIndicator", decimal(*batchCount), idText);
    return note;
}
