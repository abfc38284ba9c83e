// What the duration bar and line charts share: the chart widget over the graph data, the measuring
// tools on top of it (hover read-out, tap marks, drag band) driven by the pointer, and the row of
// undo buttons below. The tools' state is this widget's own and starts empty with every new chart.
// Graph data updates are paced by drawing time, and the data of a large paced update is built on a
// worker thread, so a live session never floods the main thread.
// Main thread only.
#pragma once

#include "RefreshPacing.h"
#include "ChartView.h"
#include "MorvendaApp/metrics/RequestDurationChartItem.h"
#include "MorvendaApp/metrics/RequestDurationMeasure.h"
#include "MorvendaApp/metrics/RequestDurationMeasuringTools.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QFutureWatcher>
#include <QTimer>
#include <QWidget>

#include <map>
#include <optional>

class QHBoxLayout;
class QToolButton;

class RequestDurationMeasuredChart : public QWidget
{
    Q_OBJECT

public:
    ~RequestDurationMeasuredChart() override;

    // Takes the items to draw; the chart redraws on its next paced refresh.
    void setGraphData(const QList<RequestDurationChartItem> &items);
    // The items drawn: what the pointer tools read, until the next refresh draws newer ones.
    const QList<RequestDurationChartItem> &graphData() const { return m_items; }

    ChartView *chartView() const { return m_chart; }
    const RequestDurationMeasuringTools &tools() const { return m_tools; }
    QToolButton *undoTapButton() const { return m_undoTap; }
    QToolButton *undoDragButton() const { return m_undoDrag; }
    // Draws pending graph data now (tests and screenshots).
    void refreshNow();

    // The time under a horizontal position: the chart's, never past the chart's latest time;
    // none without a plot or without drawable items.
    std::optional<double> dateAt(qreal x) const;

protected:
    using Kind = RequestDurationMeasuringTools::Kind;
    RequestDurationMeasuredChart(Kind kind, QWidget *parent);

    // The chart's drawing data for its items: a pure function, so it may run on a worker thread.
    using DataBuilder = Chart::Data (*)(const QList<RequestDurationChartItem> &items);
    virtual DataBuilder dataBuilder() const = 0;
    // The latest time the pointer reads (the bar chart's last end, the line chart's last start).
    virtual double latestTime(const RequestDurationMeasure::Extent &extent) const = 0;
    // The hover value at a vertical position (a row, or a duration).
    virtual std::optional<double> valueAt(qreal y) const = 0;
    // The horizontal hover rule for the current hover value, when the chart draws one.
    virtual std::optional<Chart::Rule> hoverValueRule(double value) const = 0;
    // The rules of one tap mark (a vertical one, and for the line chart a horizontal one).
    virtual QList<Chart::Rule> tapMarkRules(const RequestDurationMeasuringTools::Mark &mark, double firstStart) const;
    // Where the drag band runs, in data units of the y axis, and its thickness in pixels.
    virtual double bandValue() const { return 0; }
    virtual qreal bandThickness() const = 0;

    const std::optional<RequestDurationMeasure::Extent> &extent() const { return m_extent; }
    QHBoxLayout *undoRow() const { return m_undoRow; }
    // A dashed rule with a seconds label, as every measuring rule has.
    static Chart::Rule measuringRule(Qt::Orientation orientation, double value, std::optional<QColor> color,
                                     qreal width, qreal dash, const QString &text, Chart::LabelPosition position,
                                     qreal spacing, Chart::Fit fitY, Chart::Tone tone);
    // The hover rule across the plot at a value, labelled with the text.
    static Chart::Rule hoverRule(double value, const QString &text);
    // The series of a path in the data, appended with the next colour on the path's first item.
    static int seriesOfPath(Chart::Data &data, QHash<QString, int> &seriesOf, const QString &path);

    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    // Items with their reference times: what the tools read once a drawing of them is shown.
    struct Drawn
    {
        QList<RequestDurationChartItem> items;
        std::optional<RequestDurationMeasure::Extent> extent;
    };
    // The items with their reference times and drawing data, built from the items alone.
    struct Drawing
    {
        Drawn drawn;
        Chart::Data data;
    };
    static Drawing build(DataBuilder builder, QList<RequestDurationChartItem> items);
    void scheduleRefresh();
    void refreshPaced();
    void draw(Drawing drawing);
    // Takes the items of the data the chart view shows now as the drawn ones.
    void adoptShown();
    void paintOverlay(QPainter &painter) const;
    void paintBand(QPainter &painter, ChartLabelPlacement &placement) const;
    void toolsChanged();

    RequestDurationMeasuringTools m_tools;
    // The items last handed over, and those drawn with their reference times: the tools read only
    // the drawn ones, so a read-out names what is under the pointer.
    QList<RequestDurationChartItem> m_pending;
    QList<RequestDurationChartItem> m_items;
    std::optional<RequestDurationMeasure::Extent> m_extent;
    // Items handed to the chart view whose layer it has not shown yet, by the data's serial number.
    std::map<quint64, Drawn> m_waiting;
    ChartView *m_chart = nullptr;
    QHBoxLayout *m_undoRow = nullptr;
    QToolButton *m_undoTap = nullptr;
    QToolButton *m_undoDrag = nullptr;

    // A press starts a drag once the pointer has moved this far; until then it may be a click.
    std::optional<QPointF> m_pressAt;
    bool m_dragging = false;

    QTimer m_refreshTimer;
    RefreshPacing m_pacing;
    bool m_stale = true;
    // A paced refresh of many items builds their drawing data on a worker thread; the result is
    // drawn only if no refresh came after the one that started it.
    QFutureWatcher<Drawing> *m_building = nullptr;
    quint64 m_refreshes = 0;
    quint64 m_buildingRefresh = 0;
};
