// The rows of the timeline column: one row per exchange of the repository's filtered timeline,
// fed incrementally from its row signals (an inserted or replaced row each; insertions are
// coalesced, at most one per event-loop turn and one per 100 ms while rows keep coming; a reset only when the timeline is rebuilt). Row states are
// built lazily by TimelineViewStateMapper and cached per (message ID, revision, batch count),
// so unchanged rows are never mapped again. Also owns the filter model and hands it the active
// connection and the chosen session file. Set up once in the constructor; main thread only.
#pragma once

#include "MorvendaApp/core/CoalescedCall.h"
#include "MorvendaApp/timeline/FilterViewModel.h"
#include "MorvendaApp/timeline/TimelineRowState.h"
#include "MorvendaApp/timeline/TimelineViewStateMapper.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <QUuid>

#include <optional>

class FileHolder;
class MessageRepository;
class MorvendaListener;

class TimelineViewModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        RowStateRole = Qt::UserRole + 1, // TimelineRowState
        MessageIdRole,                   // QUuid
        // Changes whenever the row's state is built anew; delegates key their size cache on it.
        RowStampRole,
    };

    TimelineViewModel(MorvendaListener &listener, MessageRepository &repository, FileHolder &fileHolder,
                      QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    FilterViewModel &filterViewModel() { return m_filterViewModel; }

    // Rows up to rowCount(); an out-of-range row gives an empty state.
    TimelineRowState rowState(int row) const;
    QUuid messageID(int row) const;
    // The 0-based row of a message ID among the rows shown, none when it has no row.
    std::optional<int> rowOf(const QUuid &messageID) const;

    // How many row states the mapper has built so far (cache misses), for tests and benchmarks.
    quint64 mappedRowCount() const { return m_mappedRowCount; }

signals:
    // After every change of the rows (insertions, replacements, resets), once per change.
    void rowsUpdated();

private:
    struct CachedRow
    {
        quint64 revision = 0;
        qint64 batchCount = -1;
        quint64 stamp = 0;
        TimelineRowState state;
    };

    void connectRepository();
    void connectSources();
    void handleRowInserted(qsizetype row);
    void handleRowReplaced(qsizetype row);
    void handleReset();
    void handleBatchCountsChanged();
    void announceBatchCounts();
    void scheduleFlush();
    void flushInsertions();
    void applySourceChange();
    const CachedRow &cachedRow(int row) const;

    MorvendaListener &m_listener;
    MessageRepository &m_repository;
    FileHolder &m_fileHolder;
    FilterViewModel m_filterViewModel;
    TimelineViewStateMapper m_mapper;

    int m_rowCount = 0;
    bool m_flushScheduled = false;
    QTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;

    mutable QHash<QUuid, CachedRow> m_cache;
    mutable quint64 m_nextStamp = 1;
    mutable quint64 m_mappedRowCount = 0;

    CoalescedCall m_sourceChangeCall{this, [this] { applySourceChange(); }};
    CoalescedCall m_batchCountsCall{this, [this] { announceBatchCounts(); }};
    bool m_connectionChanged = false;
    bool m_fileChanged = false;
    std::optional<QString> m_lastPeerName;
};
