// The distinct URL paths of the timeline, sorted, as a list model for the path column; a row knows
// whether its path is selected. Kept row by row by RequestDurationChartViewModel, which owns it
// and the selection it reads. Main thread only.
#pragma once

#include <QAbstractListModel>
#include <QSet>
#include <QString>
#include <QStringList>

class RequestDurationPathListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { SelectedRole = Qt::UserRole + 1, PathRole };

    explicit RequestDurationPathListModel(const QSet<QString> &selection, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // Display: the path's display name (RequestDurationPaths::displayName). ToolTip: the same,
    // HTML-escaped (a path can be longer than the column). PathRole: the path itself, as the
    // selection and the filter take it. SelectedRole: whether the path is selected.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QStringList &paths() const { return m_paths; }

    // The path joins the list in its sorted place; nothing happens when it is there already.
    void insertPath(const QString &path);
    void removePath(const QString &path);
    // `sorted` must be sorted by RequestDurationPaths::lessThan, without duplicates.
    void resetPaths(QStringList sorted);
    // Brings the list to `sorted` (same rule) by inserting and removing rows in place, so views
    // keep their scroll position, hover and persistent indexes. Many scattered changes at once
    // (more runs than kMaxChangeRuns) cost one reset instead: each run costs a pass over the rows
    // here and in every proxy.
    void syncTo(const QStringList &sorted);
    static constexpr qsizetype kMaxChangeRuns = 64;
    // The selection changed for one path, or for any.
    void selectionChanged(const QString &path);
    void selectionChanged();

private:
    // The row of the path, or where it would go.
    qsizetype lowerBound(const QString &path) const;

    const QSet<QString> &m_selection;
    QStringList m_paths;
};
