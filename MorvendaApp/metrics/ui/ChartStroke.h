// The marks of the lines a chart draws with every point (their segments, joins and symbols),
// antialiased straight into a premultiplied picture. A pixel takes the share of it a mark covers,
// judged by its centre's distance from the mark's edges (a one-pixel box filter), so a mark costs a
// few operations per pixel it touches. The paint engine costs some hundreds of nanoseconds per
// dash and symbol however small, and a plot with a hundred sparse dashed lines holds tens of
// thousands of them. Works in the picture's device pixels. A plain value; any thread.
#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRect>

class ChartStroke
{
public:
    // Draws on `image` (ARGB32_Premultiplied), nothing outside `clip`.
    ChartStroke(QImage &image, const QRect &clip);

    // A straight stroke `width` wide with flat ends. `dash` gives the lengths of its dashes and
    // gaps in widths, starting afresh at `a`; empty for a solid stroke.
    void segment(QPointF a, QPointF b, qreal width, const QList<qreal> &dash, QRgb color);
    void disc(QPointF centre, qreal radius, QRgb color);
    // An upright square `2 × half` across.
    void square(QPointF centre, qreal half, QRgb color);
    // A square on its corner, its corners `radius` from the centre.
    void diamond(QPointF centre, qreal radius, QRgb color);
    // Whole pixels.
    void fill(const QRect &pixels, QRgb color);

private:
    void solid(QPointF a, QPointF b, qreal half, QRgb color);
    // A shape within `reach` of its centre; `coverage(dx, dy)` gives the share of the pixel whose
    // centre lies that far across and down from it.
    template<typename Coverage>
    void shape(QPointF centre, qreal reach, QRgb color, Coverage coverage);
    // Blends `color` (premultiplied) over the pixel at `coverage` (0 to 1).
    void blend(int x, int y, qreal coverage, QRgb color);
    // The pixels whose centres lie within `box`, cut to the clip; false when there are none.
    bool pixelsIn(qreal left, qreal top, qreal right, qreal bottom, QRect &pixels) const;

    uchar *m_bits = nullptr;
    qsizetype m_stride = 0;
    QRect m_clip;
};
