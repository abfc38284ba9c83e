// The request-count chart: one bar per second of request time, stacked by method in fixed colours
// with a legend, over its own request-count view model; the empty-state texts while nothing
// counted can be drawn, and a red trash button at the trailing end of its toolbar that empties
// this chart only.
// Made anew, with a new view model, each time the metrics pane shows it. Main thread only; the
// repository outlives it.
#pragma once

#include "RefreshPacing.h"
#include "ChartView.h"

#include <QTimer>
#include <QWidget>

class MessageRepository;
class QStackedWidget;
class RequestAmountBuckets;
class RequestAmountChartViewModel;
class SymbolButton;

class RequestAmountChart : public QWidget
{
    Q_OBJECT

public:
    explicit RequestAmountChart(MessageRepository &repository, QWidget *parent = nullptr);

    RequestAmountChartViewModel &viewModel() const { return *m_viewModel; }
    ChartView *chartView() const { return m_chart; }
    QWidget *emptyState() const { return m_emptyState; }
    SymbolButton *trashButton() const { return m_trash; }

    // The chart's drawing data for a set of per-second counts: one stacked bar per second and
    // method, on a time axis of at least ten seconds.
    static Chart::Data chartData(const RequestAmountBuckets &buckets);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    void scheduleRefresh();
    void refresh();

    MessageRepository &m_repository;
    RequestAmountChartViewModel *m_viewModel = nullptr;
    QStackedWidget *m_content = nullptr;
    QWidget *m_emptyState = nullptr;
    ChartView *m_chart = nullptr;
    SymbolButton *m_trash = nullptr;
    QTimer m_refreshTimer;
    RefreshPacing m_pacing;
    bool m_stale = true;
};
