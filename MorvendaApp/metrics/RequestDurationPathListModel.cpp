#include "MorvendaApp/metrics/RequestDurationPathListModel.h"

#include "MorvendaApp/metrics/RequestDurationChartItem.h"

#include <algorithm>
#include <vector>

RequestDurationPathListModel::RequestDurationPathListModel(const QSet<QString> &selection, QObject *parent)
    : QAbstractListModel(parent), m_selection(selection)
{
}

int RequestDurationPathListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_paths.size());
}

QVariant RequestDurationPathListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QString &path = m_paths.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return RequestDurationPaths::displayName(path);
    case Qt::ToolTipRole:
        return RequestDurationPaths::displayName(path).toHtmlEscaped();
    case PathRole:
        return path;
    case SelectedRole:
        return m_selection.contains(path);
    default:
        return {};
    }
}

QHash<int, QByteArray> RequestDurationPathListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(SelectedRole, "selected");
    names.insert(PathRole, "path");
    return names;
}

qsizetype RequestDurationPathListModel::lowerBound(const QString &path) const
{
    return std::lower_bound(m_paths.cbegin(), m_paths.cend(), path, RequestDurationPaths::lessThan) - m_paths.cbegin();
}

void RequestDurationPathListModel::insertPath(const QString &path)
{
    const qsizetype row = lowerBound(path);
    if (row < m_paths.size() && m_paths.at(row) == path)
        return;
    beginInsertRows(QModelIndex(), int(row), int(row));
    m_paths.insert(row, path);
    endInsertRows();
}

void RequestDurationPathListModel::removePath(const QString &path)
{
    const qsizetype row = lowerBound(path);
    if (row >= m_paths.size() || m_paths.at(row) != path)
        return;
    beginRemoveRows(QModelIndex(), int(row), int(row));
    m_paths.removeAt(row);
    endRemoveRows();
}

void RequestDurationPathListModel::resetPaths(QStringList sorted)
{
    beginResetModel();
    m_paths = std::move(sorted);
    endResetModel();
}

void RequestDurationPathListModel::syncTo(const QStringList &sorted)
{
    // One walk over both sorted lists finds the runs of rows to remove and to insert, in order;
    // `at` counts rows of the current list, `from` indexes `sorted`.
    struct Run
    {
        qsizetype at;
        qsizetype count;
        qsizetype from; // -1 for a removal
    };
    std::vector<Run> runs;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < m_paths.size() || j < sorted.size()) {
        if (i < m_paths.size() && j < sorted.size() && m_paths.at(i) == sorted.at(j)) {
            ++i;
            ++j;
            continue;
        }
        const bool remove = j == sorted.size() || (i < m_paths.size() && RequestDurationPaths::lessThan(m_paths.at(i), sorted.at(j)));
        Run *last = runs.empty() ? nullptr : &runs.back();
        if (remove) {
            if (last && last->from < 0 && last->at + last->count == i)
                ++last->count;
            else
                runs.push_back(Run{i, 1, -1});
            ++i;
        } else {
            if (last && last->from >= 0 && last->at == i)
                ++last->count;
            else
                runs.push_back(Run{i, 1, j});
            ++j;
        }
        if (qsizetype(runs.size()) > kMaxChangeRuns)
            return resetPaths(sorted);
    }
    qsizetype shift = 0; // rows inserted minus rows removed by the runs before
    for (const Run &run : runs) {
        const qsizetype at = run.at + shift;
        if (run.from < 0) {
            beginRemoveRows(QModelIndex(), int(at), int(at + run.count - 1));
            m_paths.remove(at, run.count);
            endRemoveRows();
            shift -= run.count;
        } else {
            beginInsertRows(QModelIndex(), int(at), int(at + run.count - 1));
            m_paths.insert(at, run.count, QString());
            std::copy(sorted.cbegin() + run.from, sorted.cbegin() + run.from + run.count, m_paths.begin() + at);
            endInsertRows();
            shift += run.count;
        }
    }
}

void RequestDurationPathListModel::selectionChanged(const QString &path)
{
    const qsizetype row = lowerBound(path);
    if (row < m_paths.size() && m_paths.at(row) == path)
        emit dataChanged(index(int(row)), index(int(row)), {SelectedRole});
}

void RequestDurationPathListModel::selectionChanged()
{
    if (!m_paths.isEmpty())
        emit dataChanged(index(0), index(int(m_paths.size() - 1)), {SelectedRole});
}
