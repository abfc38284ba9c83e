// The state of one timeline row, its status badge and its footnote marker: plain values built by
// TimelineViewStateMapper and drawn by the list's delegate. Colours are named, so a row follows
// the light or dark palette it is painted with.
#pragma once

#include "MorvendaApp/components/NamedColors.h"

#include <QMetaType>
#include <QString>
#include <QUuid>

#include <optional>

struct TimelineBadgeState
{
    // The two glyphs of the badge: the first stands for the request, the second for the response.
    enum class Icon { NoRequest, NoResponse, Batch, Cache, Network, Error };

    std::optional<QString> mainText; // upper line: the request's method in upper case
    std::optional<QString> subText;  // lower line: the last response's status code
    std::optional<NamedColor> color; // background tint; also fixes the badge's width
    Icon icon = Icon::NoResponse;
    QString help;
};

// The marker of several responses to one request ("x3") or of a batch ("1A2B3C4 (x3)").
struct TimelineFootNote
{
    QString title;
    NamedColor color = NamedColor::Orange;
    QString help;

    friend bool operator==(const TimelineFootNote &, const TimelineFootNote &) = default;
};

struct TimelineRowState
{
    QUuid id; // the exchange's message ID
    std::optional<QUuid> batchId;
    std::optional<QString> title;
    std::optional<QString> description;
    std::optional<TimelineBadgeState> badge;
    std::optional<TimelineFootNote> footNote;
};

Q_DECLARE_METATYPE(TimelineRowState)
