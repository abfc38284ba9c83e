// The state of the request-duration chart: the chart type, the sorted paths of the timeline, the
// user's selection and filter, and the graph data (one item per measurable exchange of a selected
// path, in timeline order). Kept up to date from the repository's row signals, so a delivery costs
// the same however long the timeline is. A filter that leaves the rows as they were publishes no
// reset at all (a reconnecting app's handshake); a timeline reset (a filter that changed the rows)
// reads again only the rows whose exchange version is new to this model, and when none is,
// nothing is handed to the views. The graph is rebuilt on a selection change, a clear or a reset
// that changed rows. What arriving rows change reaches the views once per event-loop turn and at
// most every 100 ms (graphDataChanged, and the filtered path list brought up to date with rows
// inserted and removed in place): a view that took each path or item on its own spent time in
// proportion to the whole list on every one. The user's own changes (selection, filter, clear)
// show at once. Owned by the request-duration frame; main thread only.
#pragma once

#include "MorvendaApp/core/CoalescedCall.h"
#include "MorvendaApp/metrics/RequestDurationChartItem.h"
#include "MorvendaApp/metrics/RequestDurationChartType.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

class MessageRepository;
class QAbstractItemModel;
class QSortFilterProxyModel;
class RequestDurationPathListModel;

class RequestDurationChartViewModel : public QObject
{
    Q_OBJECT

public:
    // Reads the repository's timeline at once and follows it from then on.
    explicit RequestDurationChartViewModel(MessageRepository &repository, QObject *parent = nullptr);
    ~RequestDurationChartViewModel() override;

    RequestDurationChartType type() const { return m_type; }
    void setType(RequestDurationChartType type);

    const QList<RequestDurationChartItem> &graphData() const { return m_graph; }

    // Every distinct path of the timeline's requests, sorted; as a list and as the model behind it.
    const QStringList &paths() const;
    QAbstractItemModel *pathModel() const;
    // The paths that contain the filter text, literally and case-sensitively; all when it is empty.
    QAbstractItemModel *filteredPathModel() const;
    const QString &pathFilter() const { return m_pathFilter; }
    void setPathFilter(const QString &text);

    // Never pruned: a selected path stays selected when its exchanges leave the timeline.
    const QSet<QString> &selectedPaths() const { return m_selected; }
    void togglePath(const QString &path);
    // Every path of the timeline, whatever the filter hides.
    void selectAllPaths();
    void deselectAllPaths();
    // Empties the graph data and the selection, then the whole repository: the main timeline
    // empties too. The type and the filter stay.
    void clear();

signals:
    void typeChanged(RequestDurationChartType type);
    // After any change of graphData: at once for the user's changes, in the next hand-over for
    // arriving rows.
    void graphDataChanged();
    void selectedPathsChanged(const QSet<QString> &selected);
    void pathFilterChanged(const QString &text);

private:
    // What the model keeps of one timeline row: its path and, when measurable, its times.
    struct Row
    {
        QUuid id;
        // The exchange version read (Exchange::revision): a row of the same version is the same.
        quint64 revision = 0;
        double startDate = 0;
        double endDate = 0;
        double duration = 0;
        qint32 path = -1; // interned path; -1 without request or URL
        bool measurable = false;
    };

    Row readRow(qsizetype timelineRow);
    qint32 intern(const QString &path);
    void addPathUse(qint32 path);
    void dropPathUse(qint32 path);
    bool isCharted(const Row &row) const;
    RequestDurationChartItem itemOf(const Row &row) const;

    void onRowInserted(qsizetype row);
    void onRowReplaced(qsizetype row);
    void rebuild();
    // The rows of the timeline as it is now, reusing those of `previous` whose version is unchanged;
    // returns whether every row was reused in place.
    bool readRowsReusing(std::vector<Row> previous);
    void rebuildGraph();
    void showPaths();
    void selectionReplaced(QSet<QString> selected);

    MessageRepository &m_repository;
    RequestDurationChartType m_type = RequestDurationChartType::Bar;
    QSet<QString> m_selected;
    QString m_pathFilter;

    std::vector<Row> m_rows;
    // Interned paths: text, number of timeline rows using it, whether it is selected.
    QHash<QString, qint32> m_pathIds;
    std::vector<QString> m_pathTexts;
    std::vector<qint32> m_pathUses;
    std::vector<bool> m_pathSelected;

    QList<RequestDurationChartItem> m_graph;
    std::vector<qint32> m_graphRows; // the timeline row of every item, ascending

    RequestDurationPathListModel *m_pathModel;
    // The path list as of the last hand-over, under the filter.
    RequestDurationPathListModel *m_shownPaths;
    QSortFilterProxyModel *m_filteredPaths;

    static constexpr int kHandOverIntervalMs = 100;
    CoalescedCall m_showPathsCall{this, [this] { showPaths(); }, kHandOverIntervalMs};
    CoalescedCall m_graphChangedCall{this, [this] { emit graphDataChanged(); }, kHandOverIntervalMs};
};
