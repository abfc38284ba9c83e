// Thinning of a chart's marks to what their pixels can show, so one drawing costs what the plot's
// pixels allow, however many items the data holds. Every function works in widget pixels and
// leaves sparse marks exactly as they are: thinning only drops what would be drawn over itself.
// Pure values; any thread.
#pragma once

#include <QList>
#include <QPolygonF>
#include <QRect>
#include <QRectF>
#include <QSet>

#include <vector>

namespace ChartThinning {

// A polyline reduced per pixel column: each run of consecutive points in one column keeps its
// first, lowest, highest and last point, in their order, so the line still covers the same
// pixels. A run of four or fewer points is kept whole.
QPolygonF columnExtremes(const QPolygonF &points);

// The points inside `bounds` at which a symbol of radius `spacing` can still be told apart: a
// point whose centre lies closer than `spacing` to a symbol already kept (inside it) is dropped.
// Points at least `spacing` apart are all kept, in their order.
QPolygonF distinctSymbols(const QPolygonF &points, qreal spacing, const QRectF &bounds);
// The same, as the positions of the kept points in `points`, ascending.
std::vector<qsizetype> distinctSymbolIndexes(const QPolygonF &points, qreal spacing, const QRectF &bounds);

// Whole-pixel rectangles of one colour merged as they are added: a rectangle inside the last one
// kept, or one on the same pixel columns touching it vertically, or on the same pixel rows
// touching it horizontally, extends that one instead of adding another. The merged rectangles
// cover exactly the pixels the added ones cover.
class RectMerger
{
public:
    void add(const QRect &rect);
    // The merged rectangles, the last one included; the merger starts empty again.
    QList<QRect> take();

private:
    QList<QRect> m_rects;
    QRect m_last;
};

// Where labels may stand: one per square cell of a given size around the point a label stands
// beside. Two labels of that height or more whose points share a cell would cover each other
// whatever their text, so the later one is left out before it is measured or formatted.
class LabelCells
{
public:
    // Cells of no size claim every point. Points in `area` (the widget) are looked up in a flat
    // grid, the rarer ones outside it in a set.
    LabelCells(qreal cell, const QRectF &area);
    // True, and the cell taken, when the point's cell is still free.
    bool claim(const QPointF &point);

private:
    qreal m_cell;
    QRectF m_area;
    qint64 m_columns = 0;
    qint64 m_rows = 0;
    std::vector<bool> m_grid;
    QSet<quint64> m_outside;
};

} // namespace ChartThinning
