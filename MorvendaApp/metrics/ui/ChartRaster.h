// The dense lines of a chart layer drawn straight into pixels, the topmost line first: a pixel is
// written once, by the line that shows there, so a plot crossed by thousands of lines costs what
// their pixel columns and the plot's pixels cost, not what their points or their overlaps do.
// Lines are opaque and without antialiasing, as thinned lines are drawn; symbols are stamped over
// them. Works in the picture's device pixels. A plain value; any thread.
#pragma once

#include <QImage>
#include <QPoint>
#include <QPolygonF>
#include <QSize>

#include <vector>

class ChartRaster
{
public:
    // A transparent picture of `size` device pixels, shown at the device pixel ratio.
    ChartRaster(QSize size, qreal ratio);

    // A polyline `width` pixels thick in an opaque colour, under every line added before: what
    // they cover keeps their colour.
    void addLineUnder(const QPolygonF &points, QRgb color, qreal width);
    // The same on the columns from `from` to `to` alone. Calls on columns apart from each other
    // share no pixel, coverage or count, so they may run on threads side by side.
    void addLineUnder(const QPolygonF &points, QRgb color, qreal width, int from, int to);

    int width() const { return m_width; }
    // A premultiplied picture blended over everything on the columns from `from` to `to`, its top
    // left at `at`; what lies outside is cut.
    void stamp(const QImage &stamp, QPoint at, int from, int to);

    const QImage &image() const { return m_image; }

private:
    void addSegmentUnder(QPointF a, QPointF b, QRgb color, qreal half, int from, int to);
    // Writes the rows from `top` to `bottom` of a column (cut to the picture) that no line covers yet.
    void fillRows(int column, int top, int bottom, QRgb color);

    QImage m_image;
    uchar *m_bits = nullptr;
    qsizetype m_stride = 0;
    int m_width = 0;
    int m_height = 0;
    // Column by column, one bit per pixel written so far.
    int m_wordsPerColumn = 0;
    std::vector<quint64> m_covered;
    // How many pixels of each column are written.
    std::vector<int> m_filled;
};
