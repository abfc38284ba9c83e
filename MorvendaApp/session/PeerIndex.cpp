#include "MorvendaApp/session/PeerIndex.h"

#include <QtGlobal>

#include <algorithm>

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
    m_recent.clear();
}

quint32 PeerIndex::intern(const QString &peer)
{
    // The exchanges of one app share its name's text, which may be megabytes long: a peer used
    // lately is recognised by where its text lies before any text is hashed or compared.
    for (const quint32 number : m_recent) {
        const QString &known = m_texts[number];
        if (known.constData() == peer.constData() && known.size() == peer.size())
            return number;
    }
    quint32 number;
    if (const auto found = m_numbers.constFind(peer); found != m_numbers.cend()) {
        number = *found;
        // An equal text held elsewhere: keep this one, so its next use is recognised at once.
        m_texts[number] = peer;
    } else {
        number = quint32(m_texts.size());
        m_texts.push_back(peer);
        m_numbers.insert(peer, number);
    }
    if (m_recent.size() < m_recent.capacity())
        m_recent.append(number);
    else
        m_recent.back() = number;
    std::rotate(m_recent.begin(), m_recent.end() - 1, m_recent.end());
    return number;
}
