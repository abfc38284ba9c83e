#include "MorvendaApp/session/MessageRepository.h"

#include <QtConcurrent/QtConcurrentMap>

#include <bit>

namespace {

bool testBit(const std::vector<quint64> &bits, qint32 index)
{
    const size_t word = size_t(index) / 64;
    return word < bits.size() && (bits[word] >> (index % 64) & 1u);
}

void setBit(std::vector<quint64> &bits, qint32 index)
{
    const size_t word = size_t(index) / 64;
    if (word >= bits.size())
        bits.resize(word + 1, 0);
    bits[word] |= quint64(1) << (index % 64);
}

} // namespace

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
    const qint32 index = store(Exchange::fromRequest(request, peer));
    // The new version has no batch count; every batch it belongs to relinks it when it grows.
    markForeign(index, nullptr);
    evaluate(index);
}

void MessageRepository::addResponse(const Response &response, const QString &peer)
{
    const QUuid batchID = response.batchID();
    Batch *&slot = m_batches[batchID];
    if (!slot)
        slot = &m_batchStore.emplace_back();
    Batch &batch = *slot;
    const auto found = m_indexById.constFind(response.messageID());
    const qint32 existing = found == m_indexById.cend() ? -1 : *found;
    const bool isMember = existing >= 0 && m_slots[size_t(existing)].batches.contains(&batch);

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
    const qint32 index = store(std::move(exchange));
    if (!isMember) {
        batch.members.push_back(index);
        m_slots[size_t(index)].batches.append(&batch);
    }
    markForeign(index, &batch);
    evaluate(index);
}

qint32 MessageRepository::store(Exchange exchange)
{
    exchange.setRevision(m_nextRevision++);
    const auto found = m_indexById.constFind(exchange.messageID());
    if (found != m_indexById.cend()) {
        m_slots[size_t(*found)].value = std::move(exchange);
        return *found;
    }
    const auto index = qint32(m_slots.size());
    m_indexById.insert(exchange.messageID(), index);
    m_slots.push_back(Slot{std::move(exchange), -1, {}});
    return index;
}

void MessageRepository::markForeign(qint32 index, const Batch *except)
{
    for (Batch *batch : std::as_const(m_slots[size_t(index)].batches)) {
        if (batch != except)
            batch->foreign.push_back(index);
    }
}

// A batch just grew: members reading their count from elsewhere now read it from this batch.
void MessageRepository::relinkForeignMembers(Batch &batch)
{
    std::vector<qint32> foreign;
    foreign.swap(batch.foreign);
    for (const qint32 index : foreign) {
        Slot &slot = m_slots[size_t(index)];
        if (slot.value.isLinkedTo(batch.counter))
            continue;
        const bool rowIsCurrent = slot.timelineRow >= 0
            && m_timeline[size_t(slot.timelineRow)].sharesVersionWith(slot.value);
        Exchange updated = slot.value;
        updated.linkBatchCounter(batch.counter);
        updated.setRevision(m_nextRevision++);
        slot.value = updated;
        markForeign(index, &batch);
        if (rowIsCurrent) {
            m_timeline[size_t(slot.timelineRow)] = updated;
            notify(&MessageRepository::timelineRowReplaced, slot.timelineRow);
        } else if (slot.timelineRow >= 0 && m_timeline[size_t(slot.timelineRow)] == updated) {
            // An older row that happens to equal the new version follows it from now on.
            m_timeline[size_t(slot.timelineRow)] = updated;
        }
    }
}

void MessageRepository::evaluate(qint32 index)
{
    // A copy: observers notified below may add to the store, which can move the slots.
    const Exchange exchange = m_slots[size_t(index)].value;
    Slot &slot = m_slots[size_t(index)];
    bool passes = true;
    for (Filter &filter : m_filters) {
        if (filter.predicate->match(exchange))
            addResult(filter, index);
        else
            passes = false;
    }

    if (passes) {
        const qint32 row = slot.timelineRow;
        if (row >= 0) {
            m_timeline[size_t(row)] = exchange;
            notify(&MessageRepository::timelineRowReplaced, row);
        } else {
            slot.timelineRow = qint32(m_timeline.size());
            m_timeline.push_back(exchange);
            m_timelineSlot.push_back(index);
            notify(&MessageRepository::timelineRowInserted, slot.timelineRow);
        }
        notifyTimelineChanged();
    } else if (slot.timelineRow >= 0) {
        // The row keeps its older version. It must not follow later batch growth any more,
        // unless it equals the stored version anyway.
        Exchange &row = m_timeline[size_t(slot.timelineRow)];
        if (row == exchange)
            row = exchange;
        else
            row.freezeBatchCount();
    }

    m_latest = detached(exchange);
    emit latestExchangeChanged(*m_latest);
}

void MessageRepository::addResult(Filter &filter, qint32 index)
{
    if (testBit(filter.bits, index))
        return;
    setBit(filter.bits, index);
    filter.order.push_back(index);
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

Exchange MessageRepository::timelineAt(qsizetype row) const
{
    return detached(m_timeline[size_t(row)]);
}

std::optional<qsizetype> MessageRepository::timelineRow(const QUuid &messageID) const
{
    const auto found = m_indexById.constFind(messageID);
    if (found == m_indexById.cend())
        return std::nullopt;
    const qint32 row = m_slots[size_t(*found)].timelineRow;
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
    result.reserve(qsizetype(m_timeline.size()));
    for (const Exchange &exchange : m_timeline)
        result.append(detached(exchange));
    return result;
}

void MessageRepository::registerPredicate(FilterPredicatePtr predicate)
{
    Q_ASSERT(predicate);
    if (!predicate)
        return;
    const PredicateRegister key = predicate->registration();
    m_filters[key].predicate = std::move(predicate);
    updatePredicateResults(key);
}

void MessageRepository::updatePredicateResults(const PredicateRegister &key)
{
    const auto found = m_filters.find(key);
    if (found == m_filters.end())
        return;
    Filter &filter = *found;
    const size_t words = (m_slots.size() + 63) / 64;
    filter.bits.assign(words, 0);
    // Each range of 64-exchange words is matched on its own, in parallel for large stores;
    // predicates are pure, and every range writes only its own words.
    const auto matchWords = [&](std::pair<size_t, size_t> range) {
        const size_t end = std::min(range.second * 64, m_slots.size());
        // The loop is bound by memory latency: fetch records and their paths a little ahead.
        constexpr size_t kAhead = 8;
        for (size_t i = range.first * 64; i < end; ++i) {
            if (i + 2 * kAhead < end)
                m_slots[i + 2 * kAhead].value.prefetchRecord();
            if (i + kAhead < end)
                m_slots[i + kAhead].value.prefetchRequestPath();
            if (filter.predicate->match(m_slots[i].value))
                filter.bits[i / 64] |= quint64(1) << (i % 64);
        }
    };
    constexpr size_t kWordsPerTask = 1024; // 65,536 exchanges
    if (words <= kWordsPerTask) {
        matchWords({0, words});
    } else {
        std::vector<std::pair<size_t, size_t>> ranges;
        for (size_t first = 0; first < words; first += kWordsPerTask)
            ranges.emplace_back(first, std::min(first + kWordsPerTask, words));
        QtConcurrent::blockingMap(ranges, matchWords);
    }
    filter.order.clear();
    for (size_t w = 0; w < words; ++w) {
        for (quint64 bits = filter.bits[w]; bits != 0; bits &= bits - 1)
            filter.order.push_back(qint32(w * 64 + size_t(std::countr_zero(bits))));
    }
    applyFilter();
}

void MessageRepository::removePredicate(const PredicateRegister &key)
{
    m_filters.remove(key);
    applyFilter();
}

void MessageRepository::applyFilter()
{
    for (const qint32 index : m_timelineSlot)
        m_slots[size_t(index)].timelineRow = -1;
    m_timeline.clear();
    m_timelineSlot.clear();

    const size_t words = (m_slots.size() + 63) / 64;
    std::vector<quint64> admitted(words, ~quint64(0));
    for (const Filter &filter : std::as_const(m_filters)) {
        const size_t common = std::min(words, filter.bits.size());
        for (size_t w = 0; w < common; ++w)
            admitted[w] &= filter.bits[w];
        std::fill(admitted.begin() + qsizetype(common), admitted.end(), 0);
    }
    for (size_t w = 0; w < words; ++w) {
        for (quint64 bits = admitted[w]; bits != 0; bits &= bits - 1) {
            const size_t i = w * 64 + size_t(std::countr_zero(bits));
            if (i >= m_slots.size())
                break;
            m_slots[i].timelineRow = qint32(m_timeline.size());
            m_timeline.push_back(m_slots[i].value);
            m_timelineSlot.push_back(qint32(i));
        }
    }
    notifyReset();
}

void MessageRepository::clear()
{
    m_slots.clear();
    m_indexById.clear();
    m_batches.clear();
    m_batchStore.clear();
    m_timeline.clear();
    m_timelineSlot.clear();
    // Positions restart at zero, so no result may survive: a reopened session would otherwise be
    // admitted by results of the exchanges that were cleared.
    for (Filter &filter : m_filters) {
        filter.order.clear();
        filter.bits.clear();
    }
    notifyReset();
}

QList<PredicateRegister> MessageRepository::predicateKeys() const
{
    return m_filters.keys();
}

QList<QUuid> MessageRepository::predicateResults(const PredicateRegister &key) const
{
    QList<QUuid> ids;
    const auto found = m_filters.constFind(key);
    if (found == m_filters.cend())
        return ids;
    ids.reserve(qsizetype(found->order.size()));
    for (const qint32 index : found->order)
        ids.append(m_slots[size_t(index)].value.messageID());
    return ids;
}

QList<QUuid> MessageRepository::batchMembers(const QUuid &batchID) const
{
    QList<QUuid> ids;
    const auto found = m_batches.find(batchID);
    if (found == m_batches.end())
        return ids;
    for (const qint32 index : (*found)->members)
        ids.append(m_slots[size_t(index)].value.messageID());
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
