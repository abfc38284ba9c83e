#include "MorvendaApp/timeline/TimelineViewModel.h"

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MorvendaListener.h"

namespace {

// Row states kept for rows that left the timeline are dropped past this many entries; the rows
// still shown are then mapped again as they are drawn.
constexpr qsizetype kMaxCachedRows = 250'000;

// Every insertion makes the views redraw (and Qt's item views lay out every row again), so while
// rows stream in they are handed over in bunches at this interval: the redraw cost per second
// stays bounded at any arrival rate.
constexpr int kInsertionIntervalMs = 100;

} // namespace

TimelineViewModel::TimelineViewModel(MorvendaListener &listener, MessageRepository &repository,
                                     FileHolder &fileHolder, QObject *parent)
    : QAbstractListModel(parent)
    , m_listener(listener)
    , m_repository(repository)
    , m_fileHolder(fileHolder)
    , m_filterViewModel(repository)
{
    m_rowCount = int(m_repository.timelineCount());
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &TimelineViewModel::flushInsertions);
    connectRepository();
    connectSources();
}

void TimelineViewModel::connectRepository()
{
    connect(&m_repository, &MessageRepository::timelineRowInserted, this, &TimelineViewModel::handleRowInserted);
    connect(&m_repository, &MessageRepository::timelineRowReplaced, this, &TimelineViewModel::handleRowReplaced);
    connect(&m_repository, &MessageRepository::timelineReset, this, &TimelineViewModel::handleReset);
    connect(&m_repository, &MessageRepository::timelineBatchCountsChanged, this,
            &TimelineViewModel::handleBatchCountsChanged);
}

// The filter bar and this model both pass the active connection's name on, and the chosen file
// goes to the same key. The signals fire one by one inside a switch of source (connection to
// none, then file), so both are read once the switch is complete, in the next event-loop turn:
// one rebuild per switch, and never a moment where every source shows.
void TimelineViewModel::connectSources()
{
    if (const auto &active = m_listener.activeConnection())
        m_lastPeerName = active->displayName();
    connect(&m_listener, &MorvendaListener::activeConnectionChanged, this, [this] {
        m_connectionChanged = true;
        m_sourceChangeCall.schedule();
    });
    connect(&m_fileHolder, &FileHolder::openedFileChanged, this, [this] {
        m_fileChanged = true;
        m_sourceChangeCall.schedule();
    });
}

void TimelineViewModel::applySourceChange()
{
    const bool fileChanged = std::exchange(m_fileChanged, false);
    const bool connectionChanged = std::exchange(m_connectionChanged, false);

    if (fileChanged) {
        if (const auto &file = m_fileHolder.openedFile()) {
            m_filterViewModel.currentOpenFile = *file;
            m_filterViewModel.applyOpenFileFilter();
        }
    }
    if (connectionChanged) {
        const auto &active = m_listener.activeConnection();
        const std::optional<QString> name = active ? std::optional(active->displayName()) : std::nullopt;
        // A new connection is always passed on; losing it only when the name really changed.
        if (active || name != m_lastPeerName) {
            m_filterViewModel.currentPeerName = name;
            m_filterViewModel.applyPeerFilter();
        }
        m_lastPeerName = name;
    }
}

int TimelineViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

QVariant TimelineViewModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    if (row >= m_repository.timelineCount())
        return {};
    switch (role) {
    case Qt::DisplayRole: return cachedRow(row).state.title.value_or(QString());
    case RowStateRole: return QVariant::fromValue(cachedRow(row).state);
    case MessageIdRole: return m_repository.timelineEntry(row).messageID();
    case RowStampRole: return cachedRow(row).stamp;
    default: return {};
    }
}

TimelineRowState TimelineViewModel::rowState(int row) const
{
    if (row < 0 || row >= m_rowCount || row >= m_repository.timelineCount())
        return {};
    return cachedRow(row).state;
}

QUuid TimelineViewModel::messageID(int row) const
{
    if (row < 0 || row >= m_rowCount || row >= m_repository.timelineCount())
        return {};
    return m_repository.timelineEntry(row).messageID();
}

const TimelineViewModel::CachedRow &TimelineViewModel::cachedRow(int row) const
{
    const Exchange &exchange = m_repository.timelineEntry(row);
    const qint64 batchCount = exchange.batchCount().value_or(-1);
    auto found = m_cache.find(exchange.messageID());
    if (found != m_cache.end() && found->revision == exchange.revision() && found->batchCount == batchCount)
        return *found;
    if (found == m_cache.end() && m_cache.size() >= kMaxCachedRows)
        m_cache.clear();
    ++m_mappedRowCount;
    CachedRow cached{exchange.revision(), batchCount, m_nextStamp++, m_mapper.rowState(exchange)};
    return *m_cache.insert(exchange.messageID(), std::move(cached));
}

std::optional<int> TimelineViewModel::rowOf(const QUuid &messageID) const
{
    // Rows only ever arrive at the end, so the repository's row is ours once it is shown.
    const auto row = m_repository.timelineRow(messageID);
    if (!row || *row >= m_rowCount)
        return std::nullopt;
    return int(*row);
}

void TimelineViewModel::handleRowInserted(qsizetype row)
{
    // Rows only ever arrive at the end; anything else means the two disagree, and a reset
    // brings them back in line.
    if (row < m_rowCount || row >= m_repository.timelineCount()) {
        handleReset();
        return;
    }
    scheduleFlush();
}

void TimelineViewModel::handleRowReplaced(qsizetype row)
{
    if (row >= m_rowCount)
        return; // not shown yet; the pending insertion covers it
    const QModelIndex changed = index(int(row));
    emit dataChanged(changed, changed);
    emit rowsUpdated();
}

// Members read the batch's shared counter, so a growing batch changes nothing stored per row:
// one range update per event-loop turn makes the views read the rows they show again, whatever
// the batch's size. Rows outside the batch keep their stamps, so nothing else is laid out again.
void TimelineViewModel::handleBatchCountsChanged()
{
    m_batchCountsCall.schedule();
}

void TimelineViewModel::announceBatchCounts()
{
    if (m_rowCount == 0)
        return;
    emit dataChanged(index(0), index(m_rowCount - 1), {Qt::DisplayRole, RowStateRole, RowStampRole});
    emit rowsUpdated();
}

void TimelineViewModel::handleReset()
{
    beginResetModel();
    m_batchCountsCall.cancel();
    m_flushScheduled = false;
    m_flushTimer.stop();
    m_rowCount = int(m_repository.timelineCount());
    // After a clear no cached row can be shown again.
    if (m_repository.exchangeCount() == 0)
        m_cache.clear();
    endResetModel();
    emit rowsUpdated();
}

void TimelineViewModel::scheduleFlush()
{
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    const qint64 wait = m_sinceFlush.isValid() ? kInsertionIntervalMs - m_sinceFlush.elapsed() : 0;
    if (wait > 0)
        m_flushTimer.start(int(wait));
    else
        QMetaObject::invokeMethod(this, &TimelineViewModel::flushInsertions, Qt::QueuedConnection);
}

void TimelineViewModel::flushInsertions()
{
    if (!m_flushScheduled)
        return;
    m_flushScheduled = false;
    m_flushTimer.stop();
    m_sinceFlush.restart();
    const int count = int(m_repository.timelineCount());
    if (count <= m_rowCount)
        return;
    beginInsertRows({}, m_rowCount, count - 1);
    m_rowCount = count;
    endInsertRows();
    emit rowsUpdated();
}
