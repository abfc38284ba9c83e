#include "MorvendaApp/session/PeerIndex.h"

#include <QtGlobal>

void PeerIndex::set(size_t position, const QString &peer)
{
    Q_ASSERT(position <= m_peerOf.size());
    const quint32 number = intern(peer);
    if (position < m_peerOf.size())
        m_peerOf[position] = number;
    else
        m_peerOf.push_back(number);
}

void PeerIndex::clear()
{
    m_peerOf.clear();
    m_texts.clear();
    m_numbers.clear();
}

quint32 PeerIndex::intern(const QString &peer)
{
    // Exchanges arrive in runs from one app: the peer just used is the likely one.
    if (!m_peerOf.empty() && m_texts[m_peerOf.back()] == peer)
        return m_peerOf.back();
    const auto found = m_numbers.constFind(peer);
    if (found != m_numbers.cend())
        return *found;
    const auto number = quint32(m_texts.size());
    m_texts.push_back(peer);
    m_numbers.insert(peer, number);
    return number;
}
