// The one store of every exchange of the run: it joins requests and responses by message ID,
// counts response batches (BatchIndex), runs the registered filter predicates (FilterIndex) and
// publishes the filtered timeline and the latest exchange. Shared by reference; lives on the
// main thread.
//
// Scale: no work per message grows with the history. Exchanges are indexed by message ID, rows
// by position; the timeline is a list of exchange positions, so rebuilding it copies no exchange;
// filter results are bit sets over exchange positions, and a filter on the peer reads a number per
// position instead of the exchanges; a growing response batch updates its members through one
// shared counter instead of rewriting each of them.
// Observers may read the store from its signals; they should not change it from there.
#pragma once

#include "MorvendaApp/session/BatchIndex.h"
#include "MorvendaApp/session/Exchange.h"
#include "MorvendaApp/session/FilterIndex.h"
#include "MorvendaApp/session/PathTextIndex.h"
#include "MorvendaApp/session/PeerIndex.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QUuid>

#include <optional>
#include <vector>

class MessageRepository : public QObject
{
    Q_OBJECT

public:
    explicit MessageRepository(QObject *parent = nullptr);
    ~MessageRepository() override;

    // A request replaces any exchange under its message ID whole, at the same position.
    void addRequest(const Request &request, const QString &peer);
    // Counts the response's batch, joins the exchange with its message ID (or starts one).
    void addResponse(const Response &response, const QString &peer);

    // Every exchange handed out by value is a value of its own: later changes in the store (a
    // batch growing) do not show in it.
    std::optional<Exchange> exchange(const QUuid &messageID) const;
    // Every exchange in the order its message ID first arrived.
    qsizetype exchangeCount() const { return qsizetype(m_slots.size()); }
    Exchange exchangeAt(qsizetype index) const;
    QList<Exchange> exchanges() const;

    // The exchanges that passed every filter, at most one per message ID.
    qsizetype timelineCount() const { return qsizetype(m_timelineSlot.size()); }
    Exchange timelineAt(qsizetype row) const;
    // The row's exchange read in place, for views that read many rows: it shows the current
    // count of a growing batch, and the reference holds only until the store next changes.
    const Exchange &timelineEntry(qsizetype row) const;
    // The timeline row of a message ID, if it passed the filters; constant time.
    std::optional<qsizetype> timelineRow(const QUuid &messageID) const;
    QList<Exchange> currentTimeline() const;
    // The exchange handled last, whether or not it passed the filters. It shares the stored
    // version, so its batch count follows that batch's later growth.
    const std::optional<Exchange> &latestExchange() const { return m_latest; }

    // Stores the predicate under its registration (replacing one there), recomputes its results
    // over every exchange and re-applies the filter.
    void registerPredicate(FilterPredicatePtr predicate);
    // Recomputes one key's results and re-applies the filter; nothing happens for an unknown key.
    void updatePredicateResults(const PredicateRegister &key);
    // Drops the predicate and its results, then re-applies the filter.
    void removePredicate(const PredicateRegister &key);
    // Rebuilds the timeline from the exchanges and the result sets; publishes one reset, or,
    // when the same rows come out, only the rows whose shown version changed.
    void applyFilter();
    // Forgets every exchange and batch and empties every result set; the predicates stay
    // registered and keep filtering.
    void clear();

    QList<PredicateRegister> predicateKeys() const;
    // The message IDs the key's predicate accepted, in acceptance order; empty for unknown keys.
    QList<QUuid> predicateResults(const PredicateRegister &key) const;
    // The distinct message IDs that reported a response under the batch ID, first report first.
    QList<QUuid> batchMembers(const QUuid &batchID) const;

    // Between beginBatch and the matching endBatch the row signals are held back and one
    // timelineReset follows at the end; latestExchangeChanged is still emitted per exchange.
    void beginBatch();
    void endBatch();

    class BatchScope
    {
    public:
        explicit BatchScope(MessageRepository &repository) : m_repository(repository) { m_repository.beginBatch(); }
        ~BatchScope() { m_repository.endBatch(); }
        BatchScope(const BatchScope &) = delete;
        BatchScope &operator=(const BatchScope &) = delete;

    private:
        MessageRepository &m_repository;
    };

signals:
    void timelineRowInserted(qsizetype row);
    void timelineRowReplaced(qsizetype row);
    // The timeline was rebuilt with other rows, or emptied; read it again. A rebuild that keeps
    // every row in place publishes no reset.
    void timelineReset();
    // Every timeline row whose exchange belongs to this batch shows a new batch count.
    void timelineBatchCountsChanged(const QUuid &batchID);
    // Pulse after any change of the timeline above, carrying nothing.
    void currentTimelineChanged();
    void latestExchangeChanged(const Exchange &exchange);

private:
    struct Slot
    {
        Exchange value;
        // The first batch the exchange answered in (its others are in the batch index), and the
        // batch whose counter the stored version reads (nullptr: none).
        BatchIndex::Batch *firstBatch = nullptr;
        BatchIndex::Batch *linked = nullptr;
    };
    static Exchange detached(const Exchange &exchange);
    // Stores the exchange under its message ID; gives its position and the version it replaced.
    std::pair<qint32, std::optional<Exchange>> store(Exchange exchange);
    void evaluate(qint32 index, std::optional<Exchange> previous);
    // The stored version at `index` now reads its count from `to` (nullptr: from nowhere); the
    // batch it read from before lists it, to relink it should that batch grow.
    void noteLink(qint32 index, BatchIndex::Batch *to);
    void relinkForeignMembers(BatchIndex::Batch &batch);
    void notify(void (MessageRepository::*signal)(qsizetype), qsizetype row);
    void notifyTimelineChanged();
    void notifyReset();

    std::vector<Slot> m_slots;
    QHash<QUuid, qint32> m_indexById;
    std::vector<qint32> m_timelineSlot; // exchange position of every row
    // Timeline row of every exchange position (-1: none); apart from the slots, so a rebuilt
    // timeline writes one small array instead of touching every slot.
    std::vector<qint32> m_rowOfSlot;
    PathTextIndex m_paths; // request path of every exchange position
    PeerIndex m_peers;     // peer of every exchange position
    // Rows that keep showing an older version of their exchange because the newer one failed
    // the filters, by exchange position; rare, so the rows in general need no room for it.
    QHash<qint32, Exchange> m_heldRows;
    BatchIndex m_batches;
    FilterIndex m_filters;
    std::optional<Exchange> m_latest;
    quint64 m_nextRevision = 1;
    int m_batchDepth = 0;
    bool m_batchDirty = false;
};
