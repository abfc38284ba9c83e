#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"

#include "MorvendaApp/metrics/RequestDurationPathListModel.h"
#include "MorvendaApp/session/MessageRepository.h"

#include <QSortFilterProxyModel>

#include <algorithm>

RequestDurationChartViewModel::RequestDurationChartViewModel(MessageRepository &repository, QObject *parent)
    : QObject(parent),
      m_repository(repository),
      m_pathModel(new RequestDurationPathListModel(m_selected, this)),
      m_shownPaths(new RequestDurationPathListModel(m_selected, this)),
      m_filteredPaths(new QSortFilterProxyModel(this))
{
    m_filteredPaths->setSourceModel(m_shownPaths);
    m_filteredPaths->setFilterCaseSensitivity(Qt::CaseSensitive);
    // The filter matches the paths themselves, not the name the empty path is shown under.
    m_filteredPaths->setFilterRole(RequestDurationPathListModel::PathRole);

    connect(&repository, &MessageRepository::timelineRowInserted, this, &RequestDurationChartViewModel::onRowInserted);
    connect(&repository, &MessageRepository::timelineRowReplaced, this, &RequestDurationChartViewModel::onRowReplaced);
    connect(&repository, &MessageRepository::timelineReset, this, &RequestDurationChartViewModel::rebuild);
    rebuild();
}

RequestDurationChartViewModel::~RequestDurationChartViewModel() = default;

void RequestDurationChartViewModel::setType(RequestDurationChartType type)
{
    m_type = type;
    emit typeChanged(type);
}

const QStringList &RequestDurationChartViewModel::paths() const
{
    return m_pathModel->paths();
}

QAbstractItemModel *RequestDurationChartViewModel::pathModel() const
{
    return m_pathModel;
}

QAbstractItemModel *RequestDurationChartViewModel::filteredPathModel() const
{
    return m_filteredPaths;
}

void RequestDurationChartViewModel::setPathFilter(const QString &text)
{
    // The user filters what the timeline holds now.
    m_showPathsCall.run();
    m_pathFilter = text;
    // A fixed string is matched literally: "." or "*" in a path are no patterns.
    m_filteredPaths->setFilterFixedString(text);
    emit pathFilterChanged(text);
}

void RequestDurationChartViewModel::togglePath(const QString &path)
{
    if (!m_selected.remove(path))
        m_selected.insert(path);
    if (const auto found = m_pathIds.constFind(path); found != m_pathIds.cend())
        m_pathSelected[size_t(*found)] = m_selected.contains(path);
    m_pathModel->selectionChanged(path);
    m_shownPaths->selectionChanged(path);
    emit selectedPathsChanged(m_selected);
    rebuildGraph();
}

void RequestDurationChartViewModel::selectAllPaths()
{
    const QStringList &all = paths();
    selectionReplaced(QSet<QString>(all.cbegin(), all.cend()));
}

void RequestDurationChartViewModel::deselectAllPaths()
{
    selectionReplaced({});
}

void RequestDurationChartViewModel::clear()
{
    m_graph.clear();
    m_graphRows.clear();
    m_graphChangedCall.cancel();
    emit graphDataChanged();
    m_selected.clear();
    std::fill(m_pathSelected.begin(), m_pathSelected.end(), false);
    m_pathModel->selectionChanged();
    m_shownPaths->selectionChanged();
    emit selectedPathsChanged(m_selected);
    // The repository answers with a reset, which empties the rows and the paths.
    m_repository.clear();
}

void RequestDurationChartViewModel::selectionReplaced(QSet<QString> selected)
{
    m_selected = std::move(selected);
    for (size_t id = 0; id < m_pathTexts.size(); ++id)
        m_pathSelected[id] = m_selected.contains(m_pathTexts[id]);
    m_pathModel->selectionChanged();
    m_shownPaths->selectionChanged();
    emit selectedPathsChanged(m_selected);
    rebuildGraph();
}

qint32 RequestDurationChartViewModel::intern(const QString &path)
{
    const auto found = m_pathIds.constFind(path);
    if (found != m_pathIds.cend())
        return *found;
    const auto id = qint32(m_pathTexts.size());
    m_pathIds.insert(path, id);
    m_pathTexts.push_back(path);
    m_pathUses.push_back(0);
    m_pathSelected.push_back(m_selected.contains(path));
    return id;
}

void RequestDurationChartViewModel::addPathUse(qint32 path)
{
    if (path >= 0 && m_pathUses[size_t(path)]++ == 0) {
        m_pathModel->insertPath(m_pathTexts[size_t(path)]);
        m_showPathsCall.schedule();
    }
}

void RequestDurationChartViewModel::dropPathUse(qint32 path)
{
    if (path >= 0 && --m_pathUses[size_t(path)] == 0) {
        m_pathModel->removePath(m_pathTexts[size_t(path)]);
        m_showPathsCall.schedule();
    }
}

void RequestDurationChartViewModel::showPaths()
{
    m_shownPaths->syncTo(m_pathModel->paths());
}

RequestDurationChartViewModel::Row RequestDurationChartViewModel::readRow(qsizetype timelineRow)
{
    // Read in place: a copy of its own would copy the whole record for every delivery.
    const Exchange &exchange = m_repository.timelineEntry(timelineRow);
    Row row;
    row.id = exchange.messageID();
    row.revision = exchange.revision();
    const std::optional<QString> path = RequestDurationPaths::pathKey(exchange);
    if (!path)
        return row;
    row.path = intern(*path);
    if (const std::optional<double> duration = exchange.duration()) {
        row.measurable = true;
        row.duration = *duration;
        row.startDate = *exchange.request()->timestamp();
        row.endDate = *exchange.responses().constLast().timestamp();
    }
    return row;
}

bool RequestDurationChartViewModel::isCharted(const Row &row) const
{
    return row.measurable && m_pathSelected[size_t(row.path)];
}

RequestDurationChartItem RequestDurationChartViewModel::itemOf(const Row &row) const
{
    return RequestDurationChartItem{row.id, row.duration, row.startDate, row.endDate, m_pathTexts[size_t(row.path)]};
}

void RequestDurationChartViewModel::onRowInserted(qsizetype row)
{
    // Rows are only ever appended; anything else means this model is out of step: start over.
    if (row != qsizetype(m_rows.size()))
        return rebuild();
    const Row fresh = readRow(row);
    m_rows.push_back(fresh);
    addPathUse(fresh.path);
    if (isCharted(fresh)) {
        m_graph.append(itemOf(fresh));
        m_graphRows.push_back(qint32(row));
        m_graphChangedCall.schedule();
    }
}

void RequestDurationChartViewModel::onRowReplaced(qsizetype row)
{
    if (row < 0 || row >= qsizetype(m_rows.size()))
        return rebuild();
    const Row fresh = readRow(row);
    Row &kept = m_rows[size_t(row)];
    // Use before drop, so a path that stays never leaves the list for a moment.
    addPathUse(fresh.path);
    dropPathUse(kept.path);
    kept = fresh;

    const auto at = std::lower_bound(m_graphRows.begin(), m_graphRows.end(), qint32(row));
    const auto position = qsizetype(at - m_graphRows.begin());
    const bool present = at != m_graphRows.end() && *at == row;
    if (isCharted(fresh)) {
        RequestDurationChartItem item = itemOf(fresh);
        if (present && m_graph.at(position) == item)
            return;
        if (present) {
            m_graph[position] = std::move(item);
        } else {
            m_graph.insert(position, std::move(item));
            m_graphRows.insert(at, qint32(row));
        }
    } else if (present) {
        m_graph.removeAt(position);
        m_graphRows.erase(at);
    } else {
        return;
    }
    m_graphChangedCall.schedule();
}

void RequestDurationChartViewModel::rebuild()
{
    const qsizetype count = m_repository.timelineCount();
    if (count == 0) {
        // Nothing to reuse: the interned paths start over with the rows.
        m_pathIds.clear();
        m_pathTexts.clear();
        m_pathUses.clear();
        m_pathSelected.clear();
    }
    const bool unchanged = readRowsReusing(std::exchange(m_rows, {}));
    std::fill(m_pathUses.begin(), m_pathUses.end(), 0);
    for (const Row &row : m_rows) {
        if (row.path >= 0)
            ++m_pathUses[size_t(row.path)];
    }
    QStringList sorted;
    for (size_t id = 0; id < m_pathTexts.size(); ++id) {
        if (m_pathUses[id] > 0)
            sorted.append(m_pathTexts[id]);
    }
    std::sort(sorted.begin(), sorted.end(), RequestDurationPaths::lessThan);
    // A list reset costs every view of it a relayout; an unchanged list needs none.
    if (sorted != m_pathModel->paths())
        m_pathModel->resetPaths(sorted);
    m_showPathsCall.cancel();
    m_shownPaths->syncTo(sorted);
    // The same rows give the same graph: the chart is not handed the same data again.
    if (!unchanged)
        rebuildGraph();
}

bool RequestDurationChartViewModel::readRowsReusing(std::vector<Row> previous)
{
    const qsizetype count = m_repository.timelineCount();
    m_rows.reserve(size_t(count));
    bool inPlace = qsizetype(previous.size()) == count;
    // Both lists keep the repository's order, so one walk pairs the rows that stayed: a row of the
    // old list that is no longer in the timeline, or sits at an earlier row than the walk has
    // reached, is passed over; a new row before the next old one is read.
    size_t old = 0;
    for (qsizetype row = 0; row < count;) {
        const Exchange &exchange = m_repository.timelineEntry(row);
        if (old >= previous.size()) {
            m_rows.push_back(readRow(row++));
            inPlace = false;
            continue;
        }
        const Row &kept = previous[old];
        // Revisions are never given twice, so an equal one is the same version of the same exchange.
        const bool sameVersion = kept.revision == exchange.revision();
        if (sameVersion || kept.id == exchange.messageID()) {
            m_rows.push_back(sameVersion ? kept : readRow(row));
            inPlace = inPlace && sameVersion && qsizetype(old) == row;
            ++old;
            ++row;
            continue;
        }
        inPlace = false;
        const std::optional<qsizetype> now = m_repository.timelineRow(kept.id);
        if (!now || *now < row)
            ++old;
        else
            m_rows.push_back(readRow(row++));
    }
    return inPlace;
}

void RequestDurationChartViewModel::rebuildGraph()
{
    m_graph.clear();
    m_graphRows.clear();
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (isCharted(m_rows[i])) {
            m_graph.append(itemOf(m_rows[i]));
            m_graphRows.push_back(qint32(i));
        }
    }
    m_graphChangedCall.cancel();
    emit graphDataChanged();
}
