// The response batches of a repository: for each batch ID, the exchanges (by position) that
// answered under it and the count they share. A growing batch raises one counter that its
// members read, instead of rewriting each of them. Main thread.
#pragma once

#include <QHash>
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
        // Members whose stored exchange currently reads its count from elsewhere (another batch,
        // or none after a request replaced it); they are relinked when this batch grows.
        std::vector<qint32> foreign;
    };

    // The batch under the ID, made empty when it is new. Its address stays valid until clear().
    Batch &batch(const QUuid &batchID);
    const Batch *find(const QUuid &batchID) const;
    void clear();

private:
    // Batches live in a deque so addresses handed out stay valid as it grows; the index is
    // open-addressed, so growing it moves pointers, not nodes scattered over the heap (a
    // node-based map stalled the main loop for tens of milliseconds at each doubling).
    std::deque<Batch> m_store;
    QHash<QUuid, Batch *> m_byId;
};
