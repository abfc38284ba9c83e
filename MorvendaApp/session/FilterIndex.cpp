#include "MorvendaApp/session/FilterIndex.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <bit>

namespace {

bool testBit(const std::vector<quint64> &bits, qint32 position)
{
    const size_t word = size_t(position) / 64;
    return word < bits.size() && (bits[word] >> (position % 64) & 1u);
}

void setBit(std::vector<quint64> &bits, qint32 position)
{
    const size_t word = size_t(position) / 64;
    if (word >= bits.size())
        bits.resize(word + 1, 0);
    bits[word] |= quint64(1) << (position % 64);
}

} // namespace

std::vector<FilterIndex::Entry>::iterator FilterIndex::find(const PredicateRegister &key)
{
    return std::find_if(m_filters.begin(), m_filters.end(), [&key](const Entry &entry) { return entry.first == key; });
}

std::vector<FilterIndex::Entry>::const_iterator FilterIndex::find(const PredicateRegister &key) const
{
    return std::find_if(m_filters.cbegin(), m_filters.cend(), [&key](const Entry &entry) { return entry.first == key; });
}

QList<PredicateRegister> FilterIndex::keys() const
{
    QList<PredicateRegister> keys;
    keys.reserve(qsizetype(m_filters.size()));
    for (const Entry &entry : m_filters)
        keys.append(entry.first);
    return keys;
}

void FilterIndex::insert(FilterPredicatePtr predicate)
{
    Q_ASSERT(predicate);
    using Relation = PathTextFilterPredicate::Relation;
    const PredicateRegister key = predicate->registration();
    auto found = find(key);
    if (found == m_filters.end())
        found = m_filters.insert(m_filters.end(), Entry{key, Filter{}});
    Filter &filter = found->second;
    forgetPrevious(filter);
    // A narrower filter needs only the positions the replaced one had; a wider one only the
    // others, and only when the replaced results hold no stale acceptance.
    const auto *newer = dynamic_cast<const PathTextFilterPredicate *>(predicate.get());
    const auto *older = dynamic_cast<const PathTextFilterPredicate *>(filter.predicate.get());
    if (newer && older && filter.complete) {
        const Relation relation = newer->relationTo(*older);
        if (relation == Relation::Narrower || (relation == Relation::Wider && filter.exact)) {
            filter.relation = relation;
            filter.previous = std::move(filter.bits);
        }
    }
    filter.predicate = std::move(predicate);
    filter.order.clear();
    filter.bits.clear();
    filter.complete = false;
    filter.exact = false;
}

void FilterIndex::remove(const PredicateRegister &key)
{
    if (const auto found = find(key); found != m_filters.end())
        m_filters.erase(found);
}

void FilterIndex::forgetPrevious(Filter &filter)
{
    filter.previous = {};
    filter.relation = PathTextFilterPredicate::Relation::Unrelated;
}

void FilterIndex::matchByPeer(const FilterPredicate &predicate, size_t count, const PeerIndex &peers,
                              std::vector<quint64> &bits)
{
    std::vector<quint8> accepts(peers.peerCount());
    for (size_t peer = 0; peer < accepts.size(); ++peer)
        accepts[peer] = predicate.matchPeer(peers.peerText(quint32(peer))) ? 1 : 0;
    for (size_t i = 0; i < count; ++i)
        bits[i / 64] |= quint64(accepts[peers.peerAt(i)]) << (i % 64);
}

void FilterIndex::match(const PredicateRegister &key, size_t count, const ExchangeAt &exchangeAt,
                        const PathTextIndex &paths, const PeerIndex &peers)
{
    using Relation = PathTextFilterPredicate::Relation;
    const auto found = find(key);
    if (found == m_filters.end())
        return;
    Filter &filter = found->second;
    const FilterPredicate &predicate = *filter.predicate;
    const size_t words = (count + 63) / 64;
    const std::vector<quint64> previous = std::move(filter.previous);
    const Relation relation = filter.relation;
    forgetPrevious(filter);
    filter.bits.assign(words, 0);

    // Predicates of the request path alone read the path texts, not the exchanges (but for a
    // path too long to be kept there).
    const bool byPath = predicate.readsOnlyRequestPath() && paths.size() >= count;
    const auto pathAccepts = [&](size_t i) {
        if (const std::optional<bool> accepted = predicate.matchPath(paths, i))
            return *accepted;
        return predicate.match(exchangeAt(i));
    };

    // Each range of 64-position words is matched on its own, in parallel for large stores; every
    // range writes only its own words.
    const auto matchWords = [&](std::pair<size_t, size_t> range) {
        if (byPath) {
            for (size_t w = range.first; w < range.second; ++w) {
                const quint64 inStore = w + 1 < words || count % 64 == 0 ? ~quint64(0)
                                                                         : (quint64(1) << (count % 64)) - 1;
                const quint64 before = w < previous.size() ? previous[w] : 0;
                quint64 accepted = relation == Relation::Wider ? before & inStore : 0;
                quint64 candidates = relation == Relation::Narrower ? before & inStore
                    : relation == Relation::Wider                   ? ~before & inStore
                                                                    : inStore;
                for (; candidates != 0; candidates &= candidates - 1) {
                    const int bit = std::countr_zero(candidates);
                    if (pathAccepts(w * 64 + size_t(bit)))
                        accepted |= quint64(1) << bit;
                }
                filter.bits[w] = accepted;
            }
            return;
        }
        const size_t end = std::min(range.second * 64, count);
        // The loop is bound by memory latency: fetch records and their paths a little ahead.
        constexpr size_t kAhead = 8;
        for (size_t i = range.first * 64; i < end; ++i) {
            if (i + 2 * kAhead < end)
                exchangeAt(i + 2 * kAhead).prefetchRecord();
            if (i + kAhead < end)
                exchangeAt(i + kAhead).prefetchRequestPath();
            if (predicate.match(exchangeAt(i)))
                filter.bits[i / 64] |= quint64(1) << (i % 64);
        }
    };
    // Enough ranges to keep every core busy even when some are slow to start (the machine is
    // shared), few enough that handing them out costs nothing next to the work.
    constexpr size_t kMinWordsPerTask = 256; // 16,384 exchanges
    const size_t tasks = std::min(size_t(QThread::idealThreadCount()) * 4, words / kMinWordsPerTask);
    if (predicate.readsOnlyPeer() && peers.size() >= count) {
        matchByPeer(predicate, count, peers, filter.bits);
    } else if (tasks <= 1) {
        matchWords({0, words});
    } else {
        const size_t wordsPerTask = (words + tasks - 1) / tasks;
        std::vector<std::pair<size_t, size_t>> ranges;
        for (size_t first = 0; first < words; first += wordsPerTask)
            ranges.emplace_back(first, std::min(first + wordsPerTask, words));
        QtConcurrent::blockingMap(ranges, matchWords);
    }
    filter.order.clear();
    size_t accepted = 0;
    for (const quint64 word : filter.bits)
        accepted += size_t(std::popcount(word));
    filter.order.reserve(accepted);
    for (size_t w = 0; w < words; ++w) {
        for (quint64 bits = filter.bits[w]; bits != 0; bits &= bits - 1)
            filter.order.push_back(qint32(w * 64 + size_t(std::countr_zero(bits))));
    }
    filter.complete = true;
    filter.exact = true;
}

bool FilterIndex::evaluate(qint32 position, const Exchange &exchange)
{
    bool passes = true;
    for (auto &[key, filter] : m_filters) {
        forgetPrevious(filter);
        if (filter.predicate->match(exchange)) {
            addResult(filter, position);
        } else {
            if (testBit(filter.bits, position))
                filter.exact = false; // an older version's acceptance stays on record
            passes = false;
        }
    }
    return passes;
}

void FilterIndex::addResult(Filter &filter, qint32 position)
{
    if (testBit(filter.bits, position))
        return;
    setBit(filter.bits, position);
    filter.order.push_back(position);
}

void FilterIndex::clearResults()
{
    for (auto &[key, filter] : m_filters) {
        forgetPrevious(filter);
        filter.order.clear();
        filter.bits.clear();
        filter.exact = true;
    }
}

std::vector<quint64> FilterIndex::admitted(size_t count) const
{
    const size_t words = (count + 63) / 64;
    std::vector<quint64> admitted(words, ~quint64(0));
    for (const auto &[key, filter] : m_filters) {
        const size_t common = std::min(words, filter.bits.size());
        for (size_t w = 0; w < common; ++w)
            admitted[w] &= filter.bits[w];
        std::fill(admitted.begin() + qsizetype(common), admitted.end(), 0);
    }
    if (count % 64 != 0 && !admitted.empty())
        admitted.back() &= (quint64(1) << (count % 64)) - 1;
    return admitted;
}

std::vector<qint32> FilterIndex::results(const PredicateRegister &key) const
{
    const auto found = find(key);
    return found == m_filters.cend() ? std::vector<qint32>() : found->second.order;
}
