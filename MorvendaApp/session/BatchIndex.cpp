#include "MorvendaApp/session/BatchIndex.h"

BatchIndex::Batch &BatchIndex::batch(const QUuid &batchID)
{
    Batch *&slot = m_byId[batchID];
    if (!slot)
        slot = &m_store.emplace_back();
    return *slot;
}

const BatchIndex::Batch *BatchIndex::find(const QUuid &batchID) const
{
    return m_byId.value(batchID, nullptr);
}

void BatchIndex::clear()
{
    m_byId.clear();
    m_store.clear();
}
