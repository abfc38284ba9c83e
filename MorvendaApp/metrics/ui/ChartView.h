// The chart widget the metrics charts share, drawn with QPainter. A chart describes its content in
// a ChartData (axis kinds, optional fixed domains, series for the legend, and marks in data units:
// range bars, rules, polylines with circle symbols, labels) and hands it over with setData(). The
// view lays out a plot rectangle with a number or date axis on each side and the legend below,
// and paints all of it into a cached layer that is redrawn only when the data, the size or the
// palette change. The layer is thinned to what the plot's pixels can show (ChartThinning), so its
// cost is bounded by the pixels, not by the marks; sparse marks are drawn exactly as given.
// Labels are placed with the layer (ChartLabelPlacement: never over each other, the axis labels
// or the legend) but drawn at every paint, after the overlay, so a tool's label can hide the data
// labels it must stand on instead of overprinting them. Pointer tools paint on top through the
// overlay hook and repaint with updateOverlay(), which leaves the cached layer alone; they read
// pointer positions through xValue()/yValue() and place their marks with xPixel()/yPixel(),
// paintRule() and paintLabel().
// Mouse events are not handled here: a tool installs an event filter or subclasses the view.
// Main thread only.
#pragma once

#include "ChartData.h"
#include "ChartLabelPlacement.h"
#include "ChartLayout.h"
#include "ChartLegend.h"

#include <QPixmap>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>

class ChartView : public QWidget
{
    Q_OBJECT

public:
    using OverlayPainter = std::function<void(QPainter &painter)>;

    explicit ChartView(QWidget *parent = nullptr);

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

    // Overlay marks. With a placement (overlayPlacement()), labels stand in free space inside the
    // plot, never on the axis rows, on another label placed with it or over the layer's labels
    // (those they cannot avoid are erased); without one, where their position puts them.
    void paintRule(QPainter &painter, const Chart::Rule &rule, ChartLabelPlacement *placement = nullptr) const;
    // Returns where the label was drawn, after moving it to fit.
    QRectF paintLabel(QPainter &painter, const Chart::Label &label, ChartLabelPlacement *placement = nullptr) const;
    // The room the overlay's labels may take: everything but the axis labels, the legend and
    // (unless nothing else is free) the labels of the layer as last drawn.
    ChartLabelPlacement overlayPlacement() const;

    // Where the last drawing put its labels, in widget coordinates: the axis tick labels and the
    // data labels of the layer, the overlay's labels, and the data labels the overlay's hid.
    const QList<QRectF> &axisLabelRects() const { return m_axisLabelRects; }
    const QList<QRectF> &dataLabelRects() const { return m_labelRects; }
    const QList<QRectF> &overlayLabelRects() const { return m_overlayLabelRects; }
    const QList<QRectF> &hiddenLabelRects() const { return m_hiddenLabelRects; }

    // On by default: marks denser than the pixels can show are thinned. Off draws every mark as
    // given, to compare pictures and costs.
    void setThinning(bool on);
    bool thinning() const { return m_thinning; }

    // The fixed series palette, in its light or dark variant after the widget's palette.
    QColor seriesColor(int paletteIndex) const;
    // The legend as laid out for the current data and size.
    ChartLegend legend() const;

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
    void invalidateLayer();
    const ChartLayout &layout() const;
    void renderLayer();
    // Returns the rectangles of the tick labels drawn.
    QList<QRectF> paintGrid(QPainter &painter) const;
    void paintBars(QPainter &painter) const;
    void paintLines(QPainter &painter) const;
    void placeLabels();
    void paintDataLabels(QPainter &painter) const;
    void paintLegend(QPainter &painter) const;
    QRectF labelRect(const Chart::Label &label, const QFontMetricsF &metrics) const;
    static QSizeF labelSize(const Chart::Label &label, const QFontMetricsF &metrics);
    // The label's anchor in pixels, and the rectangle its fit allows.
    QRectF labelAnchor(const Chart::Label &label) const;
    QRectF labelBounds(const Chart::Label &label) const;
    // The legend's row across the whole widget.
    QRectF legendStrip() const;
    void paintOverlayLabel(QPainter &painter, const Chart::Label &label, const QList<QRectF> &candidates,
                           ChartLabelPlacement &placement) const;
    // The point of its anchor a label stands beside (the anchor's edge its position names).
    QPointF labelPoint(const Chart::Label &label) const;

    Chart::Data m_data;
    OverlayPainter m_overlay;
    QPixmap m_layer;
    bool m_layerValid = false;
    bool m_thinning = true;
    int m_layerRenders = 0;
    int m_thinnedLabels = 0;
    double m_lastRenderMs = 0;
    mutable std::optional<ChartLayout> m_layout;
    QList<QRectF> m_axisLabelRects;
    QList<QRectF> m_labelRects;
    struct PlacedLabel
    {
        QRectF rect;
        QString text;
        Chart::Tone tone;
        qreal topPadding;
    };
    std::vector<PlacedLabel> m_labels;
    mutable QList<QRectF> m_overlayLabelRects;
    mutable QList<QRectF> m_hiddenLabelRects;
};
