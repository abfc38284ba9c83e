// The registered filter predicates of a repository and, for each, the exchanges it accepted: as
// positions in acceptance order (what the key's results report) and as a bit set over exchange
// positions (what the timeline is built from). Knows exchanges only by position; the repository
// hands them in. Main thread; matching a whole store runs the predicate on worker threads, which
// its contract allows. Predicates of the request path alone (the text and quick filters) are
// matched against the store's path texts rather than the exchanges, and a text filter replacing
// another one (the next keystroke) tests only the positions whose answer can change. Predicates of
// the peer alone (a connection or session file) are asked once per distinct peer.
#pragma once

#include "MorvendaApp/session/FilterPredicate.h"
#include "MorvendaApp/session/PathTextIndex.h"
#include "MorvendaApp/session/PeerIndex.h"

#include <QHash>
#include <QList>

#include <functional>
#include <vector>

class FilterIndex
{
public:
    // The exchange at a position; called from several threads at once while a store is matched.
    using ExchangeAt = std::function<const Exchange &(size_t position)>;

    bool isEmpty() const { return m_filters.empty(); }
    bool contains(const PredicateRegister &key) const { return find(key) != m_filters.end(); }
    QList<PredicateRegister> keys() const;

    // Stores the predicate under its registration, replacing one there; its results are empty
    // until match() runs. The replaced one's results are kept for that match when they can
    // spare it work.
    void insert(FilterPredicatePtr predicate);
    void remove(const PredicateRegister &key);
    // Matches the key's predicate against exchanges [0, count) afresh; unknown keys do nothing.
    // paths and peers hold the request path and the peer of every one of them.
    void match(const PredicateRegister &key, size_t count, const ExchangeAt &exchangeAt, const PathTextIndex &paths,
               const PeerIndex &peers);
    // Runs every predicate on one (new or changed) exchange; true when all accepted it. An
    // acceptance is never withdrawn: results record every exchange a predicate has accepted.
    bool evaluate(qint32 position, const Exchange &exchange);
    // Forgets every result; the predicates stay.
    void clearResults();

    // One bit per position below count: set when every predicate has accepted it.
    std::vector<quint64> admitted(size_t count) const;
    // The positions the key's predicate accepted, in acceptance order; empty for unknown keys.
    std::vector<qint32> results(const PredicateRegister &key) const;

private:
    struct Filter
    {
        FilterPredicatePtr predicate;
        std::vector<qint32> order;
        std::vector<quint64> bits;
        // Whether the bits hold every position whose stored exchange the predicate accepts
        // (set by match()), and whether they hold no other (cleared when an acceptance of an
        // older version outlives it).
        bool complete = false;
        bool exact = false;
        // Between insert() and match(): the replaced text filter's results, and how the new
        // filter relates to it.
        std::vector<quint64> previous;
        PathTextFilterPredicate::Relation relation = PathTextFilterPredicate::Relation::Unrelated;
    };
    using Entry = std::pair<PredicateRegister, Filter>;
    static void addResult(Filter &filter, qint32 position);
    static void matchByPeer(const FilterPredicate &predicate, size_t count, const PeerIndex &peers,
                            std::vector<quint64> &bits);
    static void forgetPrevious(Filter &filter);
    std::vector<Entry>::iterator find(const PredicateRegister &key);
    std::vector<Entry>::const_iterator find(const PredicateRegister &key) const;

    // A handful of keys at most, run for every stored exchange: a plain array, since walking a
    // hash visits all of its (mostly empty) buckets.
    std::vector<Entry> m_filters;
};
