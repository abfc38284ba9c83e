// One drawing of a chart's data layer: the data, the look it is drawn in (size, device pixel
// ratio, palette, font, thinning), the layout that follows from them, and once rendered the
// picture of the marks, the grid and the legend with the data labels placed beside their marks.
// A plain value: render() reads nothing but its own members and paints into a QImage, so it may
// run on a worker thread; the widget shows the result and maps pointer positions with its layout,
// so what the pointer reads is what the picture shows.
#pragma once

#include "ChartData.h"
#include "ChartLabelInk.h"
#include "ChartLayout.h"
#include "ChartLegend.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QPalette>
#include <QPolygonF>
#include <QRectF>
#include <QSize>

#include <memory>
#include <vector>

class QFontMetricsF;
class QPainter;

class ChartLayer
{
public:
    struct Look
    {
        QSize size;
        qreal ratio = 1;
        QPalette palette;
        QFont font;
        bool thinning = true;
    };
    struct PlacedLabel
    {
        QRectF rect;
        QString text;
        Chart::Tone tone;
        qreal topPadding;
    };

    ChartLayer();
    // `serial` names the data for whoever handed it over.
    ChartLayer(std::shared_ptr<const Chart::Data> data, quint64 serial, Look look);

    // The marks a render has to consider: bars, line points and labels.
    static qsizetype itemCount(const Chart::Data &data);
    // Whether a big layer may draw its parts on free pool threads (the default); without, every
    // part is drawn in order, as tests compare.
    static void setPartsAside(bool allowed);

    // Draws the picture and places the data labels. Any thread.
    void render();
    bool rendered() const { return m_rendered; }
    const QImage &image() const { return m_image; }
    double renderMs() const { return m_renderMs; }

    const Chart::Data &data() const { return *m_data; }
    quint64 serial() const { return m_serial; }
    const Look &look() const { return m_look; }
    const ChartLayout &layout() const { return m_layout; }
    qreal xPixel(double value) const { return m_layout.xPixel(value); }
    qreal yPixel(double value) const { return m_layout.yPixel(value); }

    // Set by render(): the axis tick labels and the data labels, in widget coordinates.
    const QList<QRectF> &axisLabelRects() const { return m_axisLabelRects; }
    QList<QRectF> labelRects() const;
    int thinnedLabelCount() const { return m_thinnedLabels; }
    // The line points drawn each with its own antialiased join and symbol; the others' lines were
    // thinned to the pixels.
    qsizetype fullyDrawnPointCount() const { return m_fullPoints; }
    // Draws the placed data labels but those at the given rectangles.
    void paintDataLabels(QPainter &painter, const QList<QRectF> &hidden) const;

    QColor seriesColor(int paletteIndex) const;
    ChartLegend legend() const;
    // The legend's row across the whole widget.
    QRectF legendStrip() const;

    // A rule across the plot; returns whether it is inside it (and was drawn).
    bool paintRuleLine(QPainter &painter, const Chart::Rule &rule) const;
    // A rule with its label at the plot edge its position names, beside the rule.
    void paintRule(QPainter &painter, const Chart::Rule &rule) const;
    // A label where its position and fit put it; returns where it was drawn.
    QRectF paintLabel(QPainter &painter, const Chart::Label &label) const;
    // The font of the axis and data labels, and of the tools' labels drawn over the layer.
    QFont labelFont() const;
    // A label's text in the label font, centred in `rect` below its top padding, on a plate of the
    // background or straight on the one colour of the layer behind it, in a colour that reads there.
    void paintLabelText(QPainter &painter, const QRectF &rect, const Chart::Label &label) const;

    static QSizeF labelSize(const Chart::Label &label, const QFontMetricsF &metrics);
    static QSizeF labelSize(const Chart::Label &label, qreal textWidth, const QFontMetricsF &metrics);
    // The label's anchor in pixels, and the rectangle its fit allows.
    QRectF labelAnchor(const Chart::Label &label) const;
    QRectF labelBounds(const Chart::Label &label) const;
    // The point of its anchor a label stands beside (the anchor's edge its position names).
    QPointF labelPoint(const Chart::Label &label) const;

private:
    // Returns the rectangles of the tick labels drawn.
    QList<QRectF> paintGrid(QPainter &painter) const;
    // Draws on `image`, the picture `painter` paints on.
    void paintBars(QPainter &painter, QImage &image) const;
    // A line in widget pixels with its look, and whether it is drawn thinned.
    struct PixelLine
    {
        const Chart::Line *line = nullptr;
        int paletteIndex = 0;
        QColor color;
        QPolygonF points;
        bool dense = false;
    };
    // Returns how many points were drawn in full.
    qsizetype paintLines(QPainter &painter, QImage &image) const;
    // The dense lines and, over them, those drawn in full.
    void paintDenseLines(QPainter &painter, QImage &image, const std::vector<PixelLine> &lines, const QRectF &clip,
                         qsizetype fullPoints, qsizetype densePoints) const;
    // The lines drawn in full on `picture`, whose top left lies `offset` device pixels into the
    // layer, within `clip`.
    void paintFullLines(QImage &picture, QPoint offset, const QRectF &clip, const std::vector<PixelLine> &lines) const;
    void placeLabels();
    void inkLabels();
    QColor toneColor(Chart::Tone tone) const;
    void paintInked(QPainter &painter, const QRectF &textRect, const QString &text, const ChartLabelInk::Ink &ink) const;
    void paintLegend(QPainter &painter) const;
    QRectF labelRect(const Chart::Label &label, const QFontMetricsF &metrics) const;

    std::shared_ptr<const Chart::Data> m_data;
    quint64 m_serial = 0;
    Look m_look;
    ChartLayout m_layout;
    QImage m_image;
    bool m_rendered = false;
    double m_renderMs = 0;
    int m_thinnedLabels = 0;
    qsizetype m_fullPoints = 0;
    QList<QRectF> m_axisLabelRects;
    std::vector<PlacedLabel> m_labels;
    // Each placed label's ink, chosen against what the layer shows behind its text.
    std::vector<ChartLabelInk::Ink> m_labelInks;
};
