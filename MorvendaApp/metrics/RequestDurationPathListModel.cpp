#include "MorvendaApp/metrics/RequestDurationPathListModel.h"

#include "MorvendaApp/metrics/RequestDurationChartItem.h"

#include <algorithm>

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
        return path;
    case Qt::ToolTipRole:
        return path.toHtmlEscaped();
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
