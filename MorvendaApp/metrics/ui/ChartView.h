// The chart widget the metrics charts share, drawn with QPainter. A chart describes its content in
// a ChartData (axis kinds, optional fixed domains, series for the legend, and marks in data units:
// range bars, rules, polylines with circle symbols, labels) and hands it over with setData(). The
// view lays out a plot rectangle with a number or date axis on each side and the legend below,
// and paints all of it into a cached layer (ChartLayer) that is redrawn only when the data, the
// size, the pixel ratio or the palette change. A layer of many marks, or any layer while the
// last one was costly to draw, is drawn on a worker thread; until it is ready the widget keeps
// showing the layer before it, and the mapping between values and pixels stays that layer's, so
// the pointer reads what the picture shows. The layer is thinned to what the plot's pixels can
// show (ChartThinning, ChartRaster), decided over all its marks together, so its cost is bounded
// by the pixels, not by the marks or the series; sparse marks are drawn exactly as given.
// Labels are placed with the layer (ChartLabelPlacement: never over each other, the axis labels
// or the legend) but drawn at every paint, after the overlay, so a tool's label can hide the data
// labels it must stand on instead of overprinting them. Every label is drawn above every mark and
// rule, on a plate of the background or of the one bar colour behind it (ChartLabelInk). Pointer
// tools paint on top through the overlay hook and repaint with updateOverlay(), which leaves the
// cached layer alone; they read pointer positions through xValue()/yValue() and place their marks
// with xPixel()/yPixel(), paintRule() and paintLabel().
// Mouse events are not handled here: a tool installs an event filter or subclasses the view.
// Main thread only.
#pragma once

#include "ChartData.h"
#include "ChartLabelPlacement.h"
#include "ChartLayer.h"
#include "ChartLegend.h"

#include <QFutureWatcher>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class ChartView : public QWidget
{
    Q_OBJECT

public:
    using OverlayPainter = std::function<void(QPainter &painter)>;

    explicit ChartView(QWidget *parent = nullptr);

    // Returns the data's serial number: layerShown() reports when a layer drawn aside shows it.
    quint64 setData(Chart::Data data);
    // The data of the layer shown: with a layer drawn aside, the older data until it is ready.
    const Chart::Data &data() const { return shown().data(); }
    quint64 shownDataSerial() const { return shown().serial(); }

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
    // (those they cannot avoid are erased), and during the overlay hook they are drawn once all of
    // its marks are; without one, where their position puts them, at once.
    void paintRule(QPainter &painter, const Chart::Rule &rule, ChartLabelPlacement *placement = nullptr) const;
    // Returns where the label was drawn, after moving it to fit.
    QRectF paintLabel(QPainter &painter, const Chart::Label &label, ChartLabelPlacement *placement = nullptr) const;
    // The room the overlay's labels may take: everything but the axis labels, the legend and
    // (unless nothing else is free) the labels of the layer as last drawn.
    ChartLabelPlacement overlayPlacement() const;

    // Where the last drawing put its labels, in widget coordinates: the axis tick labels and the
    // data labels of the layer, the overlay's labels, and the data labels the overlay's hid.
    const QList<QRectF> &axisLabelRects() const { return shown(true).axisLabelRects(); }
    QList<QRectF> dataLabelRects() const { return shown(true).labelRects(); }
    const QList<QRectF> &overlayLabelRects() const { return m_overlayLabelRects; }
    const QList<QRectF> &hiddenLabelRects() const { return m_hiddenLabelRects; }

    // On by default: marks denser than the pixels can show are thinned. Off draws every mark as
    // given, to compare pictures and costs.
    void setThinning(bool on);

    // The fixed series palette, in its light or dark variant after the widget's palette.
    QColor seriesColor(int paletteIndex) const;
    // The legend as laid out for the layer shown.
    ChartLegend legend() const { return shown().legend(); }

    // On by default: a layer of many marks is drawn on a worker thread. Off draws every layer at
    // the paint that needs it, to compare pictures and costs.
    void setRenderAside(bool on);
    // Whether the current data's layer is drawn on a worker thread.
    bool rendersAside() const;
    // Whether the layer shown is not yet the one the current data, size and look ask for.
    bool layerPending() const;

    // How many times the cached layer has been drawn (and how many of those on the main thread), how
    // long its last drawing took, how many labels it left out and how many line points it drew in
    // full (not thinned). A live chart paces its updates by the drawing time.
    int layerRenderCount() const { return m_layerRenders; }
    int mainThreadLayerRenderCount() const { return m_mainThreadRenders; }
    double lastLayerRenderMs() const { return m_lastRenderMs; }
    int thinnedLabelCount() const { return shown(true).thinnedLabelCount(); }
    qsizetype fullyDrawnPointCount() const { return shown(true).fullyDrawnPointCount(); }

signals:
    // A layer drawn aside is shown: data(), the mapping and the picture have changed together.
    void layerShown();

public:

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    ChartLayer::Look look() const;
    void invalidateLayer();
    void layOutNow() const;
    void renderNow() const;
    // The layer shown; one drawn at once follows the widget's size here, and is drawn now when
    // `drawn` asks for what its drawing places (labels).
    const ChartLayer &shown(bool drawn = false) const;
    void startAside();
    void asideFinished();
    void paintOverlayLabel(QPainter &painter, const Chart::Label &label, const QList<QRectF> &candidates,
                           ChartLabelPlacement &placement) const;

    // The data last handed over, and its serial number.
    std::shared_ptr<const Chart::Data> m_data;
    quint64 m_serial = 0;
    OverlayPainter m_overlay;
    bool m_thinning = true;
    bool m_renderAside = true;
    // Every change that asks for a new layer counts a generation; the layer shown and the one being
    // drawn aside carry the generation they were asked for.
    mutable ChartLayer m_shown;
    quint64 m_wanted = 0;
    mutable quint64 m_shownGeneration = 0;
    quint64 m_asideGeneration = 0;
    QFutureWatcher<ChartLayer> *m_aside = nullptr;
    mutable int m_layerRenders = 0;
    mutable int m_mainThreadRenders = 0;
    mutable double m_lastRenderMs = 0;
    mutable QList<QRectF> m_overlayLabelRects;
    // While the overlay paints, its placed labels wait here to be drawn after all its marks, so
    // no rule it draws later crosses a label.
    bool m_deferOverlayLabels = false;
    mutable QList<std::pair<QRectF, Chart::Label>> m_overlayLabels;
    mutable QList<QRectF> m_hiddenLabelRects;
};
