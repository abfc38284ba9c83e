// The duration line chart: every measured exchange of the graph data as a point at (request time,
// duration), the points of each path joined into a line of its own colour with circle symbols and
// a label at every point, under the measuring tools; a tap mark pins time and duration together.
// Main thread only.
#pragma once

#include "RequestDurationMeasuredChart.h"

class RequestDurationLineChart : public RequestDurationMeasuredChart
{
    Q_OBJECT

public:
    explicit RequestDurationLineChart(QWidget *parent = nullptr);

    // The duration at a vertical position, never below 0; none without a plot.
    std::optional<double> durationAt(qreal y) const { return valueAt(y); }

    static Chart::Data lineData(const QList<RequestDurationChartItem> &items);

protected:
    DataBuilder dataBuilder() const override { return &lineData; }
    double latestTime(const RequestDurationMeasure::Extent &extent) const override { return extent.lastStart; }
    std::optional<double> valueAt(qreal y) const override;
    std::optional<Chart::Rule> hoverValueRule(double duration) const override;
    QList<Chart::Rule> tapMarkRules(const RequestDurationMeasuringTools::Mark &mark, double firstStart) const override;
    qreal bandThickness() const override { return 8; }
};
