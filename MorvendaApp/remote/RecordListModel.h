// A list model over a list of records that a view model replaces whole. A replacement with the
// same identities in the same order changes only the rows whose record differs, so open editors
// and the scroll position survive an app reporting the same list again; any other replacement
// resets the model. Main thread only.
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
        if (!sameIdentities(records)) {
            beginResetModel();
            m_records = records;
            endResetModel();
            return;
        }
        for (qsizetype row = 0; row < records.size(); ++row) {
            if (!(m_records.at(row) == records.at(row))) {
                m_records[row] = records.at(row);
                const QModelIndex changed = index(int(row));
                emit dataChanged(changed, changed);
            }
        }
    }

    // Tells the views that `row` must be measured and drawn again.
    void refreshRow(int row)
    {
        const QModelIndex changed = index(row);
        emit dataChanged(changed, changed);
    }

private:
    bool sameIdentities(const QList<Record> &records) const
    {
        if (records.size() != m_records.size())
            return false;
        for (qsizetype row = 0; row < records.size(); ++row) {
            if (records.at(row).id() != m_records.at(row).id())
                return false;
        }
        return true;
    }

    QList<Record> m_records;
};
