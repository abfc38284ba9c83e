#include "ChartLabelPlacement.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr qreal kCell = 64;
// Rectangles of labels only touching along an edge do not overprint.
bool overprints(const QRectF &a, const QRectF &b)
{
    return a.intersected(b).width() > 0.01 && a.intersected(b).height() > 0.01;
}
// Bounds are met within a fraction of a pixel, so a label placed flush against an edge fits.
bool inside(const QRectF &bounds, const QRectF &rect)
{
    return bounds.adjusted(-0.01, -0.01, 0.01, 0.01).contains(rect);
}
} // namespace

template<typename Visit>
void ChartLabelPlacement::Grid::forEachCell(const QRectF &rect, Visit visit)
{
    const qint64 left = qint64(std::floor(rect.left() / kCell));
    const qint64 right = qint64(std::floor(rect.right() / kCell));
    const qint64 top = qint64(std::floor(rect.top() / kCell));
    const qint64 bottom = qint64(std::floor(rect.bottom() / kCell));
    for (qint64 x = left; x <= right; ++x) {
        for (qint64 y = top; y <= bottom; ++y)
            visit((quint64(quint32(x)) << 32) | quint32(y));
    }
}

bool ChartLabelPlacement::Grid::overlaps(const QRectF &rect) const
{
    bool hit = false;
    forEachCell(rect, [&](quint64 key) {
        const auto cell = m_cells.constFind(key);
        if (hit || cell == m_cells.cend())
            return;
        for (const QRectF &taken : *cell) {
            if (overprints(taken, rect)) {
                hit = true;
                return;
            }
        }
    });
    return hit;
}

QList<QRectF> ChartLabelPlacement::Grid::overlapping(const QRectF &rect) const
{
    QList<QRectF> found;
    forEachCell(rect, [&](quint64 key) {
        for (const QRectF &taken : m_cells.value(key)) {
            if (overprints(taken, rect) && !found.contains(taken))
                found.append(taken);
        }
    });
    return found;
}

void ChartLabelPlacement::Grid::insert(const QRectF &rect)
{
    if (!rect.isValid() || !std::isfinite(rect.left()) || !std::isfinite(rect.top()) || !std::isfinite(rect.right())
        || !std::isfinite(rect.bottom()))
        return;
    forEachCell(rect, [&](quint64 key) { m_cells[key].append(rect); });
}

void ChartLabelPlacement::block(const QRectF &rect)
{
    m_hard.insert(rect);
}

void ChartLabelPlacement::addSoft(const QRectF &rect)
{
    m_soft.insert(rect);
}

std::optional<ChartLabelPlacement::Placed> ChartLabelPlacement::place(const QList<QRectF> &candidates, const QRectF &bounds,
                                                                      bool mayCoverSoft)
{
    const auto take = [&](const QRectF &rect, QList<QRectF> covered) {
        m_hard.insert(rect);
        m_placed.append(rect);
        return Placed{rect, std::move(covered)};
    };
    // A label that may cover soft rectangles takes a near place over them rather than a free
    // place far from its mark: the first kNearCandidates are tried both ways before the rest.
    std::optional<QRectF> nearCovering;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const QRectF &candidate = candidates.at(i);
        if (mayCoverSoft && i == kNearCandidates && nearCovering)
            return take(*nearCovering, m_soft.overlapping(*nearCovering));
        if (!inside(bounds, candidate) || m_hard.overlaps(candidate))
            continue;
        if (!m_soft.overlaps(candidate))
            return take(candidate, {});
        if (!nearCovering)
            nearCovering = candidate;
    }
    if (!mayCoverSoft || !nearCovering)
        return std::nullopt;
    return take(*nearCovering, m_soft.overlapping(*nearCovering));
}

namespace {

Chart::LabelPosition opposite(Chart::LabelPosition position)
{
    switch (position) {
    case Chart::LabelPosition::Top:
        return Chart::LabelPosition::Bottom;
    case Chart::LabelPosition::Bottom:
        return Chart::LabelPosition::Top;
    case Chart::LabelPosition::Leading:
        return Chart::LabelPosition::Trailing;
    case Chart::LabelPosition::Trailing:
        return Chart::LabelPosition::Leading;
    case Chart::LabelPosition::Center:
        break;
    }
    return position;
}

// Rows of a label's height between the first row and the plot's middle.
int rowsTowardsMiddle(const QRectF &plot, qreal height)
{
    return height > 0 ? std::max(0, int(plot.height() / 2 / height)) : 0;
}

} // namespace

QRectF ChartLabelPlacement::atPosition(const QRectF &anchor, QSizeF size, Chart::LabelPosition position, qreal spacing)
{
    QRectF rect(QPointF(0, 0), size);
    rect.moveCenter(anchor.center());
    switch (position) {
    case Chart::LabelPosition::Top:
        rect.moveBottom(anchor.top() - spacing);
        break;
    case Chart::LabelPosition::Bottom:
        rect.moveTop(anchor.bottom() + spacing);
        break;
    case Chart::LabelPosition::Leading:
        rect.moveRight(anchor.left() - spacing);
        break;
    case Chart::LabelPosition::Trailing:
        rect.moveLeft(anchor.right() + spacing);
        break;
    case Chart::LabelPosition::Center:
        break;
    }
    return rect;
}

QRectF ChartLabelPlacement::movedInto(QRectF rect, const QRectF &bounds)
{
    rect.moveLeft(std::clamp(rect.left(), bounds.left(), std::max(bounds.left(), bounds.right() - rect.width())));
    rect.moveTop(std::clamp(rect.top(), bounds.top(), std::max(bounds.top(), bounds.bottom() - rect.height())));
    return rect;
}

QList<QRectF> ChartLabelPlacement::besideAnchor(const QRectF &anchor, QSizeF size, Chart::LabelPosition position,
                                                qreal spacing, const QRectF &bounds)
{
    const QRectF preferred = atPosition(anchor, size, position, spacing);
    QList<QRectF> candidates{preferred};
    if (position == Chart::LabelPosition::Center)
        return candidates;
    const QRectF flipped = atPosition(anchor, size, opposite(position), spacing);
    candidates.append(flipped);
    // A bar's anchor is its middle line, a point's a point: what a label must not cover is that
    // line or point at least a pixel thick.
    QRectF body = anchor;
    if (body.height() < 1)
        body.adjust(0, -0.5, 0, 0.5);
    if (body.width() < 1)
        body.adjust(-0.5, 0, 0.5, 0);
    for (const QRectF &rect : {preferred, flipped}) {
        const QRectF moved = movedInto(rect, bounds);
        if (moved != rect && !overprints(moved, body))
            candidates.append(moved);
    }
    // A bar with no room on either side (one spanning the whole axis) still shows its label,
    // inside its own end, rather than none at all.
    const bool sideways = position == Chart::LabelPosition::Leading || position == Chart::LabelPosition::Trailing;
    if (sideways && anchor.width() >= size.width() + 2 * spacing) {
        QRectF inner(QPointF(0, 0), size);
        inner.moveCenter(anchor.center());
        if (position == Chart::LabelPosition::Trailing)
            inner.moveRight(anchor.right() - spacing);
        else
            inner.moveLeft(anchor.left() + spacing);
        candidates.append(inner);
    }
    return candidates;
}

QList<QRectF> ChartLabelPlacement::besideRule(Qt::Orientation orientation, qreal at, QSizeF size,
                                              Chart::LabelPosition position, qreal spacing, bool centred,
                                              const QRectF &plot)
{
    QList<QRectF> candidates;
    const qreal w = size.width();
    const qreal h = size.height();
    const int rows = rowsTowardsMiddle(plot, h);
    if (orientation == Qt::Vertical) {
        const bool bottom = position == Chart::LabelPosition::Bottom;
        for (int row = 0; row <= rows; ++row) {
            const qreal top = bottom ? plot.bottom() - (row + 1) * h : plot.top() + row * h;
            for (const qreal left : {at + spacing, at - spacing - w})
                candidates.append(QRectF(left, top, w, h));
        }
        return candidates;
    }
    const bool trailing = position != Chart::LabelPosition::Leading;
    const qreal trailingLeft = plot.right() - w;
    const qreal leadingLeft = plot.left();
    for (int row = 0; row <= rows; ++row) {
        // Just above the rule, then just below it, then one row further each time (a label
        // padded at its top stands centred on the rule first: its text is below the padding).
        QList<qreal> tops{at - spacing - (row + 1) * h, at + spacing + row * h};
        if (centred && row == 0)
            tops.prepend(at - h / 2);
        for (const qreal left : {trailing ? trailingLeft : leadingLeft, trailing ? leadingLeft : trailingLeft}) {
            for (const qreal top : std::as_const(tops))
                candidates.append(QRectF(left, top, w, h));
        }
    }
    return candidates;
}
