// Where a chart's labels may stand without overprinting: the rectangles already taken (axis tick
// labels, the legend, labels placed earlier) and, for labels placed over a finished layer, the
// layer's own labels, which such a label may cover only when nothing else is free (the covered
// ones are then erased, not drawn over). A label gets the first of its candidate rectangles that
// lies inside its bounds and is free; a data label with none free is left out. Lookups go
// through a coarse grid, so placing thousands of labels stays linear. Plain value; any thread.
#pragma once

#include "ChartData.h"

#include <QHash>
#include <QList>
#include <QRectF>

#include <optional>

class ChartLabelPlacement
{
public:
    // A rectangle no label may cover.
    void block(const QRectF &rect);
    // A rectangle a label may cover when it has no free place (a label of the finished layer).
    void addSoft(const QRectF &rect);

    struct Placed
    {
        QRectF rect;
        // The soft rectangles the label covers; empty when it found a free place.
        QList<QRectF> covered;
    };
    // The first candidate inside `bounds` that covers nothing. When `mayCoverSoft`, a candidate
    // among the first kNearCandidates that covers only soft rectangles wins over a free one
    // further down the list, and is the last resort otherwise. The rectangle chosen is blocked
    // from then on.
    std::optional<Placed> place(const QList<QRectF> &candidates, const QRectF &bounds, bool mayCoverSoft = false);

    // Every rectangle placed so far, in order.
    const QList<QRectF> &placed() const { return m_placed; }

    // Where a label of `size` may stand beside `anchor` (pixels; a point is an empty rectangle),
    // best first: at `position`, on the opposite side, then each of those moved into `bounds` as
    // long as it does not cover the anchor itself (a bar's label is not pushed back over its own
    // bar; a point's may slide along), and last, for a label beside a bar wide enough to hold
    // it, inside the bar's end.
    static QList<QRectF> besideAnchor(const QRectF &anchor, QSizeF size, Chart::LabelPosition position, qreal spacing,
                                      const QRectF &bounds);
    // Where the label of a rule across `plot` may stand, best first, all inside the plot so none
    // sits on the axis rows: a vertical rule's label beside the rule (trailing side, then leading)
    // in the plot's bottom row for a Bottom position, its top row otherwise, then row by row
    // towards the middle; a horizontal rule's label at the plot's trailing end for a Trailing
    // position, its leading end otherwise, then the other end, just above and below the rule
    // (`centred`: on it first) and then row by row further away.
    static QList<QRectF> besideRule(Qt::Orientation orientation, qreal at, QSizeF size, Chart::LabelPosition position,
                                    qreal spacing, bool centred, const QRectF &plot);
    static constexpr qsizetype kNearCandidates = 4;

    // A label of `size` beside `anchor` at `position`, `spacing` away; centred on it for Center.
    static QRectF atPosition(const QRectF &anchor, QSizeF size, Chart::LabelPosition position, qreal spacing);
    // `rect` moved the least that puts it inside `bounds`; one larger than the bounds keeps to
    // their top left edge.
    static QRectF movedInto(QRectF rect, const QRectF &bounds);

private:
    class Grid
    {
    public:
        bool overlaps(const QRectF &rect) const;
        QList<QRectF> overlapping(const QRectF &rect) const;
        void insert(const QRectF &rect);

    private:
        template<typename Visit>
        static void forEachCell(const QRectF &rect, Visit visit);
        QHash<quint64, QList<QRectF>> m_cells;
    };

    Grid m_hard;
    Grid m_soft;
    QList<QRectF> m_placed;
};
