#include "MorvendaApp/session/ResponseList.h"

#include <algorithm>
#include <vector>

// Never grows past the room reserved when it was made, so a reader's pointers into it stay valid
// while the newest version appends; a full block is copied into one twice its size.
struct ResponseList::Block
{
    explicit Block(qsizetype room) { items.reserve(size_t(room)); }
    std::vector<Response> items;
};

const Response &ResponseList::at(qsizetype i) const
{
    Q_ASSERT(i >= 0 && i < m_size);
    return m_block->items.data()[i];
}

ResponseList::const_iterator ResponseList::begin() const
{
    return m_block ? m_block->items.data() : nullptr;
}

void ResponseList::append(const Response &response)
{
    // Another version went on from this prefix (its responses follow it in the block), or the
    // block is full: go on in a block of this version's own.
    const bool shared = m_block && m_block->items.size() != size_t(m_size);
    if (!m_block || shared || m_block->items.size() == m_block->items.capacity()) {
        auto block = std::make_shared<Block>(std::max<qsizetype>(4, 2 * m_size));
        block->items.insert(block->items.end(), begin(), end());
        m_block = std::move(block);
    }
    m_block->items.push_back(response);
    ++m_size;
    const std::optional<qint64> status = response.statusCode();
    m_hasFailure = m_hasFailure || !status || *status < 200 || *status > 299;
    m_hasCached = m_hasCached || response.source() == Response::Source::Cache;
}

bool operator==(const ResponseList &a, const ResponseList &b)
{
    if (a.m_size != b.m_size)
        return false;
    // Two prefixes of one block of the same length are the same responses.
    if (a.m_block == b.m_block)
        return true;
    return std::equal(a.begin(), a.end(), b.begin());
}
