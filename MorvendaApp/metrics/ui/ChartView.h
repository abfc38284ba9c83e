// The chart widget the metrics charts share, drawn with QPainter. A chart describes its content in
// a ChartData (axis kinds, optional fixed domains, series for the legend, and marks in data units:
// range bars, rules, polylines with circle symbols, labels) and hands it over with setData(). The
// view lays out a plot rectangle with a number or date axis on each side and the legend below,
// and paints all of it into a cached layer that is redrawn only when the data, the size or the
// palette change. Pointer tools paint on top through the overlay hook and repaint with
// updateOverlay(), which leaves the cached layer alone; they read pointer positions through
// xValue()/yValue() and place their marks with xPixel()/yPixel(), paintRule() and paintLabel().
// Mouse events are not handled here: a tool installs an event filter or subclasses the view.
// Main thread only.
#pragma once

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
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
    // Labels are drawn in order; one that would cover an earlier one is left out.
    std::vector<Label> labels;
};

} // namespace Chart

class ChartView : public QWidget
{
    Q_OBJECT

public:
    using OverlayPainter = std::function<void(QPainter &painter)>;

    explicit ChartView(QWidget *parent = nullptr);
    ~ChartView() override;

    void setData(Chart::Data data);
    const Chart::Data &data() const { return m_data; }

    // Painted over the cached layer at every repaint, clipped to the widget.
    void setOverlayPainter(OverlayPainter painter);
    // Repaints the overlay only.
    void updateOverlay() { update(); }

    // The plot rectangle in widget coordinates; empty while the widget is too small to hold one.
    QRectF plotRect() const;
    // Data value to widget coordinate, and back. The way back has no value without a plot.
    qreal xPixel(double value) const;
    qreal yPixel(double value) const;
    std::optional<double> xValue(qreal pixel) const;
    std::optional<double> yValue(qreal pixel) const;

    void paintRule(QPainter &painter, const Chart::Rule &rule) const;
    // Returns where the label was drawn, after moving it to fit.
    QRectF paintLabel(QPainter &painter, const Chart::Label &label) const;

    // The fixed series palette, in its light or dark variant after the widget's palette.
    QColor seriesColor(int paletteIndex) const;

    // How many times the cached layer has been drawn, how long its last drawing took and how many
    // labels it left out. A live chart paces its updates by the drawing time.
    int layerRenderCount() const { return m_layerRenders; }
    double lastLayerRenderMs() const { return m_lastRenderMs; }
    int thinnedLabelCount() const { return m_thinnedLabels; }

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Axis;
    struct Layout;

    void invalidateLayer();
    const Layout &layout() const;
    void computeLayout(Layout &layout) const;
    void renderLayer();
    void paintGrid(QPainter &painter) const;
    void paintBars(QPainter &painter) const;
    void paintLines(QPainter &painter) const;
    void paintLabels(QPainter &painter);
    void paintLegend(QPainter &painter) const;
    QRectF labelRect(const Chart::Label &label, const QFontMetricsF &metrics) const;

    Chart::Data m_data;
    OverlayPainter m_overlay;
    QPixmap m_layer;
    bool m_layerValid = false;
    int m_layerRenders = 0;
    int m_thinnedLabels = 0;
    double m_lastRenderMs = 0;
    mutable std::unique_ptr<Layout> m_layout;
};
