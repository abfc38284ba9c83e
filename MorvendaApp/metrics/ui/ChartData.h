// What a chart shows, in data units: the axis kinds, optional fixed domains, the series of the
// legend and the marks (range bars, polylines, rules, labels). Filled by a chart and handed to
// ChartView; plain values, any thread.
#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace Chart {

enum class AxisKind { Number, Date };
// Where a label sits against its anchor rectangle (a point is an empty rectangle).
enum class LabelPosition { Top, Bottom, Leading, Trailing, Center };
// What a label is moved into when it would stick out: the plot rectangle or the whole widget.
enum class Fit { Plot, Chart };
enum class Tone { Primary, Secondary };

// One legend entry; its colour is the fixed palette's entry `paletteIndex` (seriesColor()).
struct Series
{
    QString name;
    int paletteIndex = 0;
};

// A filled rectangle from (x0, y0) to (x1, y1) in data units, in its series' colour. Stacked bars
// are bars whose y ranges follow each other; a floating bar spans any x range on a row.
struct Bar
{
    double x0 = 0;
    double x1 = 0;
    double y0 = 0;
    double y1 = 0;
    int series = 0;
};

struct Line
{
    int series = 0;
    QList<QPointF> points;
    bool circleSymbols = true;
};

struct Label
{
    // The rectangle, in data units, the label stands beside; x0 == x1 and y0 == y1 for a point.
    double x0 = 0;
    double x1 = 0;
    double y0 = 0;
    double y1 = 0;
    QString text;
    LabelPosition position = LabelPosition::Top;
    qreal spacing = 4;
    Fit fitX = Fit::Chart;
    Fit fitY = Fit::Chart;
    Tone tone = Tone::Secondary;
    // Extra room kept clear above the text.
    qreal topPadding = 0;
    // Instead of a text, a number the data's labelText turns into one when the label is drawn:
    // a chart with a label per item then formats only the few that have room.
    std::optional<double> value = std::nullopt;
};

// A line across the whole plot: vertical at x = value, or horizontal at y = value.
struct Rule
{
    Qt::Orientation orientation = Qt::Vertical;
    double value = 0;
    // No colour: the palette's text colour.
    std::optional<QColor> color;
    qreal width = 1;
    // Dash pattern in units of the line width; empty for a solid line.
    QList<qreal> dash;
    // Its text, placed at the plot edge the position names (top or bottom of a vertical rule,
    // leading or trailing end of a horizontal one).
    std::optional<Label> label;
};

struct Data
{
    AxisKind xKind = AxisKind::Number;
    AxisKind yKind = AxisKind::Number;
    // Fixed domains; without one the domain covers the marks (a number axis widened to whole
    // ticks and, when `yFromZero`, reaching down or up to zero).
    std::optional<std::pair<double, double>> xDomain;
    std::optional<std::pair<double, double>> yDomain;
    bool yFromZero = true;
    // The smallest distance between number ticks on the y axis (1 for counts); 0 for any.
    double yMinimumStep = 0;
    QList<Series> series;
    std::vector<Bar> bars;
    std::vector<Line> lines;
    std::vector<Rule> rules;
    // Labels are placed in order beside their marks, on their own side or else the other, never
    // over an earlier label, the axis labels or the legend; one with no such place is left out.
    std::vector<Label> labels;
    // The text of a label that carries a value and no text.
    std::function<QString(double)> labelText;
};

} // namespace Chart
