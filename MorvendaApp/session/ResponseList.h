// The responses of one version of an exchange, in arrival order. Versions of one exchange share
// an append-only block and each sees only its own prefix of it, so adding a response to the newest
// version writes into the block's spare room and costs O(1) amortised however many came before;
// no version ever sees another's additions. Appended to on the main thread only; a copy may be
// read on any thread meanwhile (readers never touch the room past their prefix).
#pragma once

#include "MorvendaModel/Response.h"

#include <memory>

class ResponseList
{
public:
    using const_iterator = const Response *;

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const Response &at(qsizetype i) const;
    const Response &constFirst() const { return at(0); }
    const Response &constLast() const { return at(m_size - 1); }
    const_iterator begin() const;
    const_iterator end() const { return begin() + m_size; }

    // Whether a response lacks a status code or has one outside 200–299; whether one came from the
    // cache. Kept per version, so reading them does not walk the list.
    bool hasFailure() const { return m_hasFailure; }
    bool hasCached() const { return m_hasCached; }

    void append(const Response &response);

    friend bool operator==(const ResponseList &a, const ResponseList &b);

private:
    struct Block;
    std::shared_ptr<Block> m_block;
    qsizetype m_size = 0;
    bool m_hasFailure = false;
    bool m_hasCached = false;
};
