// The metrics pane, the details column's bottom pane for BottomView::Metrics: a header with the
// graph picker, the chosen graph's title, the expand button and the metrics help, above the chosen
// chart. The charts come from factories, one per GraphType; the pane makes the chosen one anew on
// every switch and drops the other with its state. It owns its MetricsViewModel, so a new pane
// starts on the request-duration chart. Main thread only; the window manager outlives it.
#pragma once

#include "MorvendaApp/components/HelpButton.h"
#include "MorvendaApp/metrics/GraphType.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class MetricsViewModel;
class QLabel;
class QVBoxLayout;
class SegmentedPicker;
class SelectionChipButton;
class SymbolButton;
class WindowManager;

class MetricsView : public QWidget
{
    Q_OBJECT

public:
    using ChartFactory = std::function<QWidget *()>;

    MetricsView(WindowManager &windowManager, HelpButton::Presenter helpPresenter, QWidget *parent = nullptr);

    // A graph without a factory leaves the chart area empty.
    void setChartFactory(GraphType graph, ChartFactory factory);

    MetricsViewModel &viewModel() const { return *m_viewModel; }
    // The picker's segment for a graph, the title, the expand button and the chart shown now.
    SelectionChipButton *graphButton(GraphType graph) const;
    QLabel *title() const { return m_title; }
    SymbolButton *expandButton() const { return m_expand; }
    QWidget *chart() const { return m_chart; }

    // The expand button's action: the bottom pane takes the whole details area, or gives it back.
    void toggleExpandBottomView();

private:
    void buildLayout(HelpButton::Presenter helpPresenter);
    void connectSignals();
    void showGraph(GraphType graph);
    void showExpanded(bool expanded);

    WindowManager &m_windowManager;
    MetricsViewModel *m_viewModel = nullptr;
    QHash<GraphType, ChartFactory> m_factories;
    SegmentedPicker *m_picker = nullptr;
    QLabel *m_title = nullptr;
    SymbolButton *m_expand = nullptr;
    QVBoxLayout *m_chartArea = nullptr;
    QPointer<QWidget> m_chart;
    std::optional<GraphType> m_shownGraph;
};
