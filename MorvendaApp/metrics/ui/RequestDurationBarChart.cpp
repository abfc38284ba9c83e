#include "RequestDurationBarChart.h"

#include <QHBoxLayout>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace {
// Half a bar's height, in rows.
constexpr double kHalfBar = 0.3;
} // namespace

RequestDurationBarChart::RequestDurationBarChart(QWidget *parent)
    : RequestDurationMeasuredChart(Kind::Bar, parent)
{
    // The undo buttons sit at the trailing end.
    undoRow()->insertStretch(0, 1);
}

Chart::Data RequestDurationBarChart::barData(const QList<RequestDurationChartItem> &items)
{
    Chart::Data data;
    data.xKind = Chart::AxisKind::Date;
    data.yMinimumStep = 1;
    const qsizetype n = items.size();
    // Rows 0 (the band's) to n, each with room around its bar.
    data.yDomain = std::pair(-0.5, double(n) + 0.5);
    // A label per item, formatted only when drawn.
    data.labelText = &RequestDurationMeasure::secondsText;
    QHash<QString, int> seriesOf;
    data.bars.reserve(size_t(n));
    data.labels.reserve(size_t(n));
    for (qsizetype i = 0; i < n; ++i) {
        const RequestDurationChartItem &item = items.at(i);
        if (!RequestDurationMeasure::isDrawable(item))
            continue;
        const int series = seriesOfPath(data, seriesOf, item.path);
        const double row = double(n - i);
        data.bars.push_back(Chart::Bar{item.startDate, item.endDate, row - kHalfBar, row + kHalfBar, series});
        Chart::Label label;
        label.x0 = std::min(item.startDate, item.endDate);
        label.x1 = std::max(item.startDate, item.endDate);
        label.y0 = label.y1 = row;
        label.value = item.duration;
        label.position = Chart::LabelPosition::Trailing;
        data.labels.push_back(label);
    }
    return data;
}

std::optional<qint64> RequestDurationBarChart::rowAt(qreal y) const
{
    const std::optional<double> value = chartView()->plotRect().isEmpty() ? std::nullopt : chartView()->yValue(y);
    return value ? RequestDurationMeasure::rowAt(*value) : std::nullopt;
}

std::optional<double> RequestDurationBarChart::valueAt(qreal y) const
{
    const std::optional<qint64> row = rowAt(y);
    return row ? std::optional<double>(double(*row)) : std::nullopt;
}

std::optional<Chart::Rule> RequestDurationBarChart::hoverValueRule(double row) const
{
    const qsizetype n = graphData().size();
    if (row < 1 || row > double(n))
        return std::nullopt;
    return hoverRule(row, RequestDurationPaths::displayName(graphData().at(n - qsizetype(row)).path));
}

qreal RequestDurationBarChart::bandThickness() const
{
    return std::max<qreal>(2, std::abs(chartView()->yPixel(kHalfBar) - chartView()->yPixel(-kHalfBar)));
}
