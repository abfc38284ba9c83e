// The peer of every stored exchange, by position, as a number per distinct peer: a repository
// holds a few peers (the apps and opened files) over many exchanges, so a test of the peer alone
// is answered once per peer and then read off one small array. Owned by the repository and
// written on the main thread; read while a store is matched (never while it is written).
#pragma once

#include <QHash>
#include <QVarLengthArray>
#include <QString>

#include <vector>

class PeerIndex
{
public:
    // The peer of the exchange at a position: the next position appends, a known one is replaced.
    void set(size_t position, const QString &peer);
    void clear();
    size_t size() const { return m_peerOf.size(); }

    // Distinct peers, numbered from 0 in order of first use.
    size_t peerCount() const { return m_texts.size(); }
    const QString &peerText(quint32 peer) const { return m_texts[peer]; }
    quint32 peerAt(size_t position) const { return m_peerOf[position]; }

private:
    quint32 intern(const QString &peer);

    std::vector<quint32> m_peerOf;
    std::vector<QString> m_texts;
    QHash<QString, quint32> m_numbers;
    // The peers used last, most recent first: apps connected at the same time take turns.
    QVarLengthArray<quint32, 4> m_recent;
};
