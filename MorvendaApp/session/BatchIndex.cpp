#include "MorvendaApp/session/BatchIndex.h"

BatchIndex::Batch &BatchIndex::batch(const QUuid &batchID)
{
    Batch *&slot = m_byId[batchID];
    if (!slot) {
        slot = &m_store.emplace_back();
        slot->serial = quint32(m_store.size() - 1);
    }
    return *slot;
}

const BatchIndex::Batch *BatchIndex::find(const QUuid &batchID) const
{
    return m_byId.value(batchID, nullptr);
}

bool BatchIndex::isMember(const Batch &batch, qint32 index, const Batch *first) const
{
    if (first == &batch)
        return true;
    return first && !m_furtherMemberships.isEmpty() && m_furtherMemberships.contains(membershipKey(batch, index));
}

void BatchIndex::addMember(Batch &batch, qint32 index, const Batch *first)
{
    if (first)
        m_furtherMemberships.insert(membershipKey(batch, index));
    batch.members.push_back(index);
}

void BatchIndex::clear()
{
    m_byId.clear();
    m_store.clear();
    m_furtherMemberships.clear();
}
