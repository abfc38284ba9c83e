#include "RequestDurationLineChart.h"

#include "MorvendaApp/components/NamedColors.h"

#include <QHBoxLayout>
#include <QHash>

RequestDurationLineChart::RequestDurationLineChart(QWidget *parent)
    : RequestDurationMeasuredChart(Kind::Line, parent)
{
    // The undo buttons sit centred under the chart.
    undoRow()->insertStretch(0, 1);
    undoRow()->addStretch(1);
}

Chart::Data RequestDurationLineChart::lineData(const QList<RequestDurationChartItem> &items)
{
    Chart::Data data;
    data.xKind = Chart::AxisKind::Date;
    // A label per item, formatted only when drawn.
    data.labelText = &RequestDurationMeasure::secondsText;
    QHash<QString, int> seriesOf;
    data.labels.reserve(size_t(items.size()));
    for (const RequestDurationChartItem &item : items) {
        if (!RequestDurationMeasure::isDrawable(item))
            continue;
        const int series = seriesOfPath(data, seriesOf, item.path);
        // Each path's line is made with its series, so a new series is one past the last line.
        if (size_t(series) == data.lines.size())
            data.lines.push_back(Chart::Line{series, {}, true});
        data.lines[size_t(series)].points.append(QPointF(item.startDate, item.duration));
        Chart::Label label;
        label.x0 = label.x1 = item.startDate;
        label.y0 = label.y1 = item.duration;
        label.value = item.duration;
        label.position = Chart::LabelPosition::Top;
        label.spacing = 6;
        data.labels.push_back(label);
    }
    return data;
}

std::optional<double> RequestDurationLineChart::valueAt(qreal y) const
{
    if (chartView()->plotRect().isEmpty())
        return std::nullopt;
    const std::optional<double> value = chartView()->yValue(y);
    return value ? std::optional(RequestDurationMeasure::durationAt(*value)) : std::nullopt;
}

std::optional<Chart::Rule> RequestDurationLineChart::hoverValueRule(double duration) const
{
    return hoverRule(duration, RequestDurationMeasure::secondsText(duration));
}

QList<Chart::Rule> RequestDurationLineChart::tapMarkRules(const RequestDurationMeasuringTools::Mark &mark,
                                                          double firstStart) const
{
    QList<Chart::Rule> rules = RequestDurationMeasuredChart::tapMarkRules(mark, firstStart);
    if (mark.value) {
        rules.append(measuringRule(Qt::Horizontal, *mark.value, namedColor(NamedColor::Red, palette()), 1, 2,
                                   RequestDurationMeasure::secondsText(*mark.value), Chart::LabelPosition::Trailing, 6,
                                   Chart::Fit::Chart, Chart::Tone::Primary));
    }
    return rules;
}
