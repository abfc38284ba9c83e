// The request-duration frame: the chart-type buttons, and a splitter with the chart area (the
// empty state while no path is selected, else the bar or line chart over the graph data) and the
// path column (the filterable path list, select all, select none, the trash, the filter field).
// It owns its view model, so a new frame starts with the bar chart, nothing selected and no
// filter. Main thread only; the repository outlives it.
#pragma once

#include "MorvendaApp/metrics/RequestDurationChartType.h"

#include <QPointer>
#include <QWidget>

class MessageRepository;
class QLineEdit;
class QListView;
class QSplitter;
class QToolButton;
class QVBoxLayout;
class RequestDurationChartViewModel;
class RequestDurationMeasuredChart;
class SelectionChipButton;
class SymbolLabel;

class RequestDurationChart : public QWidget
{
    Q_OBJECT

public:
    explicit RequestDurationChart(MessageRepository &repository, QWidget *parent = nullptr);

    RequestDurationChartViewModel &viewModel() const { return *m_viewModel; }
    SelectionChipButton *typeButton(RequestDurationChartType type) const;
    QListView *pathList() const { return m_pathList; }
    QToolButton *selectAllButton() const { return m_selectAll; }
    QToolButton *selectNoneButton() const { return m_selectNone; }
    QToolButton *trashButton() const { return m_trash; }
    QLineEdit *filterField() const { return m_filter; }
    SymbolLabel *filterIcon() const { return m_filterIcon; }
    QWidget *emptyState() const { return m_emptyState; }
    // The splitter's left pane, holding the empty state or the chart.
    QWidget *chartArea() const;
    // The chart shown now; none while the empty state is shown.
    RequestDurationMeasuredChart *chart() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    void fitSplit(int splitterWidth);
    QWidget *buildPathColumn();
    void connectSignals();
    // Shows the empty state or the chart of the current type, making the chart anew on a switch.
    void showContent();

    RequestDurationChartViewModel *m_viewModel = nullptr;
    SelectionChipButton *m_barButton = nullptr;
    SelectionChipButton *m_lineButton = nullptr;
    QSplitter *m_splitter = nullptr;
    // The path column's width as the user last dragged it.
    int m_pathColumnWidth = 0;
    QVBoxLayout *m_chartArea = nullptr;
    QWidget *m_emptyState = nullptr;
    QPointer<RequestDurationMeasuredChart> m_chart;
    // Set by a change of the selection until the graph data it brings is drawn: the user's own
    // actions show at once, not at the next paced refresh.
    bool m_selectionChanged = false;
    QListView *m_pathList = nullptr;
    QToolButton *m_selectAll = nullptr;
    QToolButton *m_selectNone = nullptr;
    QToolButton *m_trash = nullptr;
    QLineEdit *m_filter = nullptr;
    SymbolLabel *m_filterIcon = nullptr;
};
