// A list model over a list of records that a view model replaces whole. A replacement keeps the
// rows whose identities stay at the start and at the end: what lies between goes out and comes in
// as removed and inserted rows, and the kept rows whose record differs are announced in one
// change of their span. So open editors and the scroll position survive an app reporting the
// same list again, and a long list is never reset for one row more or less. Main thread only.
#pragma once

#include <QAbstractListModel>
#include <QList>

template<typename Record>
class RecordListModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_records.size()); }

    const Record &recordAt(int row) const { return m_records.at(row); }
    const QList<Record> &records() const { return m_records; }

    void replace(const QList<Record> &records)
    {
        const qsizetype oldSize = m_records.size();
        const qsizetype newSize = records.size();
        qsizetype prefix = 0;
        while (prefix < oldSize && prefix < newSize && m_records.at(prefix).id() == records.at(prefix).id())
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < oldSize - prefix && suffix < newSize - prefix
            && m_records.at(oldSize - 1 - suffix).id() == records.at(newSize - 1 - suffix).id())
            ++suffix;
        // The kept rows whose record changed, in the new list's row numbers.
        qsizetype first = -1;
        qsizetype last = -1;
        const auto compare = [&](qsizetype oldRow, qsizetype newRow) {
            if (m_records.at(oldRow) == records.at(newRow))
                return;
            if (first < 0)
                first = newRow;
            last = newRow;
        };
        for (qsizetype row = 0; row < prefix; ++row)
            compare(row, row);
        for (qsizetype k = suffix; k > 0; --k)
            compare(oldSize - k, newSize - k);

        const qsizetype removed = oldSize - prefix - suffix;
        const qsizetype added = newSize - prefix - suffix;
        if (removed > 0) {
            beginRemoveRows({}, int(prefix), int(prefix + removed - 1));
            m_records.remove(prefix, removed);
            endRemoveRows();
        }
        if (added > 0) {
            beginInsertRows({}, int(prefix), int(prefix + added - 1));
            m_records = records;
            endInsertRows();
        } else {
            m_records = records;
        }
        if (first >= 0)
            emit dataChanged(index(int(first)), index(int(last)));
    }

    // Tells the views that `row` must be measured and drawn again.
    void refreshRow(int row)
    {
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed);
    }

private:
    QList<Record> m_records;
};
