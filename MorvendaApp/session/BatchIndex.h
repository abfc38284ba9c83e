// The response batches of a repository: for each batch ID, the exchanges (by position) that
// answered under it and the count they share. A growing batch raises one counter that its
// members read, instead of rewriting each of them. Answers whether an exchange belongs to a batch
// in constant time, however many batches either holds. Main thread.
#pragma once

#include <QHash>
#include <QSet>
#include <QUuid>
#include <QVarLengthArray>

#include <deque>
#include <memory>
#include <vector>

class BatchIndex
{
public:
    struct Batch
    {
        std::shared_ptr<qint64> counter = std::make_shared<qint64>(0);
        // Distinct positions of the exchanges that answered, first answer first. Most batches
        // never grow past their first member, which is kept without an allocation of its own.
        QVarLengthArray<qint32, 1> members;
        // Members whose stored exchange may read its count from elsewhere (another batch, or
        // none after a request replaced it); they are relinked when this batch grows. A member
        // is added when its exchange stops reading from this batch, so each response or request
        // adds at most one entry, whatever the number of batches the exchange is in.
        std::vector<qint32> foreign;
        // Position in the store: names the batch in the membership index.
        quint32 serial = 0;
    };

    // The batch under the ID, made empty when it is new. Its address stays valid until clear().
    Batch &batch(const QUuid &batchID);
    const Batch *find(const QUuid &batchID) const;

    // Membership of the exchange at `index`, whose first batch is `first` (nullptr: none yet).
    // Most exchanges join one batch only, which their slot already names; the others' further
    // batches are kept in one hashed set.
    bool isMember(const Batch &batch, qint32 index, const Batch *first) const;
    // Adds the exchange to the batch's members; `first` is its first batch, or nullptr when this
    // is its first one.
    void addMember(Batch &batch, qint32 index, const Batch *first);
    void clear();

private:
    static quint64 membershipKey(const Batch &batch, qint32 index) { return quint64(batch.serial) << 32 | quint32(index); }

    // Batches live in a deque so addresses handed out stay valid as it grows; the index is
    // open-addressed, so growing it moves pointers, not nodes scattered over the heap (a
    // node-based map stalled the main loop for tens of milliseconds at each doubling).
    std::deque<Batch> m_store;
    QHash<QUuid, Batch *> m_byId;
    QSet<quint64> m_furtherMemberships;
};
