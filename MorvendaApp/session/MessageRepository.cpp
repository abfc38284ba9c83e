#include "MorvendaApp/session/MessageRepository.h"

#include <algorithm>
#include <bit>

// Stored exchanges share their batch's counter; what leaves the store is an independent value.
Exchange MessageRepository::detached(const Exchange &exchange)
{
    Exchange copy = exchange;
    copy.freezeBatchCount();
    return copy;
}

MessageRepository::MessageRepository(QObject *parent)
    : QObject(parent)
{
}

MessageRepository::~MessageRepository() = default;

void MessageRepository::addRequest(const Request &request, const QString &peer)
{
    auto [index, previous] = store(Exchange::fromRequest(request, peer));
    // The new version has no batch count; every batch it belongs to relinks it when it grows.
    noteLink(index, nullptr);
    evaluate(index, std::move(previous));
}

void MessageRepository::addResponse(const Response &response, const QString &peer)
{
    const QUuid batchID = response.batchID();
    BatchIndex::Batch &batch = m_batches.batch(batchID);
    const auto found = m_indexById.constFind(response.messageID());
    const qint32 existing = found == m_indexById.cend() ? -1 : *found;
    const bool isMember = existing >= 0 && m_batches.isMember(batch, existing, m_slots[size_t(existing)].firstBatch);

    if (!isMember) {
        ++*batch.counter;
        if (!batch.members.empty()) {
            relinkForeignMembers(batch);
            if (m_batchDepth > 0) {
                m_batchDirty = true;
            } else {
                emit timelineBatchCountsChanged(batchID);
                emit currentTimelineChanged();
            }
        }
    }

    Exchange exchange = existing < 0 ? Exchange::fromResponse(response, peer) : m_slots[size_t(existing)].value;
    if (existing >= 0) {
        if (!exchange.batchID())
            exchange.setBatchID(batchID);
        exchange.appendResponse(response);
    }
    exchange.linkBatchCounter(batch.counter);
    auto [index, previous] = store(std::move(exchange));
    if (!isMember) {
        Slot &slot = m_slots[size_t(index)];
        m_batches.addMember(batch, index, slot.firstBatch);
        if (!slot.firstBatch)
            slot.firstBatch = &batch;
    }
    noteLink(index, &batch);
    evaluate(index, std::move(previous));
}

std::pair<qint32, std::optional<Exchange>> MessageRepository::store(Exchange exchange)
{
    exchange.setRevision(m_nextRevision++);
    const auto found = m_indexById.constFind(exchange.messageID());
    if (found != m_indexById.cend()) {
        Exchange &stored = m_slots[size_t(*found)].value;
        if (stored.requestPath() != exchange.requestPath())
            m_paths.set(size_t(*found), exchange.requestPath());
        if (stored.peer() != exchange.peer())
            m_peers.set(size_t(*found), exchange.peer());
        return {*found, std::exchange(stored, std::move(exchange))};
    }
    const auto index = qint32(m_slots.size());
    m_indexById.insert(exchange.messageID(), index);
    m_paths.set(size_t(index), exchange.requestPath());
    m_peers.set(size_t(index), exchange.peer());
    m_slots.push_back(Slot{std::move(exchange), nullptr, nullptr});
    m_rowOfSlot.push_back(-1);
    return {index, std::nullopt};
}

// Every other batch of the exchange already lists it (it read from none of them), so only the
// one it leaves has to: a constant cost, however many batches the exchange answered in.
void MessageRepository::noteLink(qint32 index, BatchIndex::Batch *to)
{
    Slot &slot = m_slots[size_t(index)];
    BatchIndex::Batch *const from = std::exchange(slot.linked, to);
    if (!from || from == to)
        return;
    // An exchange that answers in two batches by turns would otherwise list itself again and again.
    if (from->foreign.empty() || from->foreign.back() != index)
        from->foreign.push_back(index);
}

// A batch just grew: members reading their count from elsewhere now read it from this batch.
void MessageRepository::relinkForeignMembers(BatchIndex::Batch &batch)
{
    std::vector<qint32> foreign;
    foreign.swap(batch.foreign);
    for (const qint32 index : foreign) {
        Slot &slot = m_slots[size_t(index)];
        if (slot.linked == &batch)
            continue;
        const auto held = m_heldRows.find(index);
        const qint32 row = m_rowOfSlot[size_t(index)];
        const bool rowIsCurrent = row >= 0 && held == m_heldRows.end();
        slot.value.linkBatchCounter(batch.counter);
        slot.value.setRevision(m_nextRevision++);
        noteLink(index, &batch);
        if (rowIsCurrent) {
            notify(&MessageRepository::timelineRowReplaced, row);
        } else if (held != m_heldRows.end() && *held == slot.value) {
            // An older row that happens to equal the new version follows it from now on.
            m_heldRows.erase(held);
        }
    }
}

void MessageRepository::evaluate(qint32 index, std::optional<Exchange> previous)
{
    // A handle of its own: observers notified below may add to the store, which can move the slots.
    const Exchange exchange = m_slots[size_t(index)].value;
    const bool passes = m_filters.evaluate(index, exchange);
    const qint32 row = m_rowOfSlot[size_t(index)];

    if (passes) {
        if (!m_heldRows.isEmpty())
            m_heldRows.remove(index);
        if (row >= 0) {
            notify(&MessageRepository::timelineRowReplaced, row);
        } else {
            const auto newRow = qint32(m_timelineSlot.size());
            m_rowOfSlot[size_t(index)] = newRow;
            m_timelineSlot.push_back(index);
            notify(&MessageRepository::timelineRowInserted, newRow);
        }
        notifyTimelineChanged();
    } else if (row >= 0) {
        // The row keeps its older version. It must not follow later batch growth any more,
        // unless it equals the stored version anyway.
        const auto held = m_heldRows.find(index);
        if (held == m_heldRows.end()) {
            if (previous && !(*previous == exchange)) {
                previous->freezeBatchCount();
                m_heldRows.insert(index, std::move(*previous));
            }
        } else if (*held == exchange) {
            m_heldRows.erase(held);
        } else {
            held->freezeBatchCount();
        }
    }

    m_latest = exchange;
    emit latestExchangeChanged(*m_latest);
}

std::optional<Exchange> MessageRepository::exchange(const QUuid &messageID) const
{
    const auto found = m_indexById.constFind(messageID);
    if (found == m_indexById.cend())
        return std::nullopt;
    return detached(m_slots[size_t(*found)].value);
}

Exchange MessageRepository::exchangeAt(qsizetype index) const
{
    return detached(m_slots[size_t(index)].value);
}

const Exchange &MessageRepository::timelineEntry(qsizetype row) const
{
    const qint32 index = m_timelineSlot[size_t(row)];
    if (!m_heldRows.isEmpty()) {
        if (const auto held = m_heldRows.constFind(index); held != m_heldRows.cend())
            return *held;
    }
    return m_slots[size_t(index)].value;
}

Exchange MessageRepository::timelineAt(qsizetype row) const
{
    return detached(timelineEntry(row));
}

std::optional<qsizetype> MessageRepository::timelineRow(const QUuid &messageID) const
{
    const auto found = m_indexById.constFind(messageID);
    if (found == m_indexById.cend())
        return std::nullopt;
    const qint32 row = m_rowOfSlot[size_t(*found)];
    if (row < 0)
        return std::nullopt;
    return qsizetype(row);
}

QList<Exchange> MessageRepository::exchanges() const
{
    QList<Exchange> result;
    result.reserve(qsizetype(m_slots.size()));
    for (const Slot &slot : m_slots)
        result.append(detached(slot.value));
    return result;
}

QList<Exchange> MessageRepository::currentTimeline() const
{
    QList<Exchange> result;
    result.reserve(timelineCount());
    for (qsizetype row = 0; row < timelineCount(); ++row)
        result.append(timelineAt(row));
    return result;
}

void MessageRepository::registerPredicate(FilterPredicatePtr predicate)
{
    Q_ASSERT(predicate);
    if (!predicate)
        return;
    const PredicateRegister key = predicate->registration();
    m_filters.insert(std::move(predicate));
    updatePredicateResults(key);
}

void MessageRepository::updatePredicateResults(const PredicateRegister &key)
{
    if (!m_filters.contains(key))
        return;
    m_filters.match(key, m_slots.size(), [this](size_t index) -> const Exchange & { return m_slots[index].value; },
                    m_paths, m_peers);
    applyFilter();
}

void MessageRepository::removePredicate(const PredicateRegister &key)
{
    m_filters.remove(key);
    applyFilter();
}

void MessageRepository::applyFilter()
{
    const std::vector<quint64> admitted = m_filters.admitted(m_slots.size());
    size_t count = 0;
    for (const quint64 word : admitted)
        count += size_t(std::popcount(word));
    std::vector<qint32> rows;
    rows.reserve(count);
    for (size_t w = 0; w < admitted.size(); ++w) {
        for (quint64 bits = admitted[w]; bits != 0; bits &= bits - 1)
            rows.push_back(qint32(w * 64 + size_t(std::countr_zero(bits))));
    }

    // Filtering again often gives the rows it had (an app that connects again under its name
    // re-registers the same peer filter). A reset would make every observer read every row
    // again, so then only the rows that kept an older version change: they show the stored one.
    if (rows == m_timelineSlot) {
        std::vector<qint32> refreshed;
        refreshed.reserve(size_t(m_heldRows.size()));
        for (auto held = m_heldRows.cbegin(); held != m_heldRows.cend(); ++held)
            refreshed.push_back(m_rowOfSlot[size_t(held.key())]);
        m_heldRows.clear();
        std::sort(refreshed.begin(), refreshed.end());
        for (const qint32 row : refreshed)
            notify(&MessageRepository::timelineRowReplaced, row);
        notifyTimelineChanged();
        return;
    }

    std::fill(m_rowOfSlot.begin(), m_rowOfSlot.end(), -1);
    m_heldRows.clear();
    m_timelineSlot = std::move(rows);
    for (size_t row = 0; row < m_timelineSlot.size(); ++row)
        m_rowOfSlot[size_t(m_timelineSlot[row])] = qint32(row);
    notifyReset();
}

void MessageRepository::clear()
{
    m_slots.clear();
    m_rowOfSlot.clear();
    m_paths.clear();
    m_peers.clear();
    m_indexById.clear();
    m_batches.clear();
    m_timelineSlot.clear();
    m_heldRows.clear();
    // Positions restart at zero, so no result may survive: a reopened session would otherwise be
    // admitted by results of the exchanges that were cleared.
    m_filters.clearResults();
    notifyReset();
}

QList<PredicateRegister> MessageRepository::predicateKeys() const
{
    return m_filters.keys();
}

QList<QUuid> MessageRepository::predicateResults(const PredicateRegister &key) const
{
    QList<QUuid> ids;
    const std::vector<qint32> positions = m_filters.results(key);
    ids.reserve(qsizetype(positions.size()));
    for (const qint32 index : positions)
        ids.append(m_slots[size_t(index)].value.messageID());
    return ids;
}

QList<QUuid> MessageRepository::batchMembers(const QUuid &batchID) const
{
    QList<QUuid> ids;
    if (const BatchIndex::Batch *batch = m_batches.find(batchID)) {
        for (const qint32 index : batch->members)
            ids.append(m_slots[size_t(index)].value.messageID());
    }
    return ids;
}

void MessageRepository::beginBatch()
{
    ++m_batchDepth;
}

void MessageRepository::endBatch()
{
    Q_ASSERT(m_batchDepth > 0);
    if (m_batchDepth <= 0 || --m_batchDepth > 0 || !m_batchDirty)
        return;
    m_batchDirty = false;
    emit timelineReset();
    emit currentTimelineChanged();
}

void MessageRepository::notify(void (MessageRepository::*signal)(qsizetype), qsizetype row)
{
    if (m_batchDepth > 0)
        m_batchDirty = true;
    else
        emit(this->*signal)(row);
}

void MessageRepository::notifyTimelineChanged()
{
    if (m_batchDepth > 0)
        m_batchDirty = true;
    else
        emit currentTimelineChanged();
}

void MessageRepository::notifyReset()
{
    if (m_batchDepth > 0) {
        m_batchDirty = true;
        return;
    }
    emit timelineReset();
    emit currentTimelineChanged();
}
