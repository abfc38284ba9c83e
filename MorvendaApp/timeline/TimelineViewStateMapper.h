// Derives a timeline row from an exchange: the title path, the status badge and the footnote
// that flags several responses or a batch of duplicate requests. Stateless; main thread (it
// reads localized texts).
#pragma once

#include "MorvendaApp/session/Exchange.h"
#include "MorvendaApp/timeline/TimelineRowState.h"

#include <optional>

class TimelineViewStateMapper
{
public:
    // The whole row: the responses marker wins over the batch marker.
    TimelineRowState rowState(const Exchange &exchange) const;

    // The request URL's decoded path, else the last response's; none without either URL.
    std::optional<QString> title(const Exchange &exchange) const;
    TimelineBadgeState badge(const Exchange &exchange) const;
    // "xN" for two or more responses: orange up to 3, red up to 5, purple from 6.
    std::optional<TimelineFootNote> responsesFootNote(qsizetype count) const;
    // Only for an exchange whose status is a batch (count of 2 or more, no failed response).
    std::optional<TimelineFootNote> batchFootNote(const Exchange &exchange) const;
};
