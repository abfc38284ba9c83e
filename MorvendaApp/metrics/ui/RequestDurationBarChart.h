// The duration bar chart: every measured exchange of the graph data as a floating bar from its
// request to its last response, one exchange per row (item i on row n − i, row 0 left for the drag
// band), coloured by path with a legend and labelled with its duration, under the measuring tools.
// Main thread only.
#pragma once

#include "RequestDurationMeasuredChart.h"

class RequestDurationBarChart : public RequestDurationMeasuredChart
{
    Q_OBJECT

public:
    explicit RequestDurationBarChart(QWidget *parent = nullptr);

    // The row under a vertical position; none without a plot.
    std::optional<qint64> rowAt(qreal y) const;

    static Chart::Data barData(const QList<RequestDurationChartItem> &items);

protected:
    DataBuilder dataBuilder() const override { return &barData; }
    double latestTime(const RequestDurationMeasure::Extent &extent) const override { return extent.lastEnd; }
    std::optional<double> valueAt(qreal y) const override;
    std::optional<Chart::Rule> hoverValueRule(double row) const override;
    qreal bandThickness() const override;
};
