// What a view that follows the repository's row signals shows: every row's exchange, read only
// when a signal names the row (or on a reset, or when a batch's counts change, as the timeline
// reads its shown rows again then). Equal to the repository's timeline when the signals told the
// whole story.
#pragma once

#include "MorvendaApp/session/MessageRepository.h"

#include <QList>
#include <QObject>

namespace fixtures {

class TimelineMirror : public QObject
{
public:
    explicit TimelineMirror(const MessageRepository &repository)
        : m_repository(repository)
        , m_rows(repository.currentTimeline())
    {
        connect(&repository, &MessageRepository::timelineRowInserted, this,
                [this](qsizetype row) { m_rows.insert(row, m_repository.timelineAt(row)); });
        connect(&repository, &MessageRepository::timelineRowReplaced, this, [this](qsizetype row) {
            // A row the view does not have stays a difference the comparison shows.
            if (row < m_rows.size())
                m_rows[row] = m_repository.timelineAt(row);
        });
        const auto readAll = [this] { m_rows = m_repository.currentTimeline(); };
        connect(&repository, &MessageRepository::timelineReset, this, readAll);
        connect(&repository, &MessageRepository::timelineBatchCountsChanged, this, readAll);
    }

    const QList<Exchange> &rows() const { return m_rows; }

private:
    const MessageRepository &m_repository;
    QList<Exchange> m_rows;
};

} // namespace fixtures
