#include "MorvendaApp/session/FilterIndex.h"

#include <QtConcurrent/QtConcurrentMap>

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

void FilterIndex::insert(FilterPredicatePtr predicate)
{
    Q_ASSERT(predicate);
    const PredicateRegister key = predicate->registration();
    Filter &filter = m_filters[key];
    filter.predicate = std::move(predicate);
    filter.order.clear();
    filter.bits.clear();
}

void FilterIndex::remove(const PredicateRegister &key)
{
    m_filters.remove(key);
}

void FilterIndex::match(const PredicateRegister &key, size_t count, const ExchangeAt &exchangeAt)
{
    const auto found = m_filters.find(key);
    if (found == m_filters.end())
        return;
    Filter &filter = *found;
    const size_t words = (count + 63) / 64;
    filter.bits.assign(words, 0);
    // Each range of 64-position words is matched on its own, in parallel for large stores; every
    // range writes only its own words.
    const auto matchWords = [&](std::pair<size_t, size_t> range) {
        const size_t end = std::min(range.second * 64, count);
        // The loop is bound by memory latency: fetch records and their paths a little ahead.
        constexpr size_t kAhead = 8;
        for (size_t i = range.first * 64; i < end; ++i) {
            if (i + 2 * kAhead < end)
                exchangeAt(i + 2 * kAhead).prefetchRecord();
            if (i + kAhead < end)
                exchangeAt(i + kAhead).prefetchRequestPath();
            if (filter.predicate->match(exchangeAt(i)))
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
}

bool FilterIndex::evaluate(qint32 position, const Exchange &exchange)
{
    bool passes = true;
    for (Filter &filter : m_filters) {
        if (filter.predicate->match(exchange))
            addResult(filter, position);
        else
            passes = false;
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
    for (Filter &filter : m_filters) {
        filter.order.clear();
        filter.bits.clear();
    }
}

std::vector<quint64> FilterIndex::admitted(size_t count) const
{
    const size_t words = (count + 63) / 64;
    std::vector<quint64> admitted(words, ~quint64(0));
    for (const Filter &filter : m_filters) {
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
    const auto found = m_filters.constFind(key);
    return found == m_filters.cend() ? std::vector<qint32>() : found->order;
}
