#include "ChartThinning.h"


#include <algorithm>
#include <cmath>
#include <vector>

namespace ChartThinning {

namespace {
quint64 cellKey(qint64 x, qint64 y)
{
    return (quint64(quint32(x)) << 32) | quint32(y);
}
} // namespace

QPolygonF columnExtremes(const QPolygonF &points)
{
    QPolygonF kept;
    kept.reserve(std::min<qsizetype>(points.size(), 4096));
    qsizetype runStart = 0;
    const auto keepRun = [&](qsizetype end) {
        if (end - runStart <= 4) {
            for (qsizetype i = runStart; i < end; ++i)
                kept.append(points[i]);
            return;
        }
        qsizetype low = runStart;
        qsizetype high = runStart;
        for (qsizetype i = runStart + 1; i < end; ++i) {
            // Pixel y grows downwards: the lowest value stands highest on screen.
            if (points[i].y() < points[low].y())
                low = i;
            if (points[i].y() > points[high].y())
                high = i;
        }
        const qsizetype last = end - 1;
        kept.append(points[runStart]);
        const qsizetype first = std::min(low, high);
        const qsizetype second = std::max(low, high);
        if (first != runStart && first != last)
            kept.append(points[first]);
        if (second != first && second != runStart && second != last)
            kept.append(points[second]);
        kept.append(points[last]);
    };
    for (qsizetype i = 1; i <= points.size(); ++i) {
        if (i == points.size() || std::floor(points[i].x()) != std::floor(points[runStart].x())) {
            keepRun(i);
            runStart = i;
        }
    }
    return kept;
}

QPolygonF distinctSymbols(const QPolygonF &points, qreal spacing, const QRectF &bounds)
{
    QPolygonF kept;
    for (const qsizetype index : distinctSymbolIndexes(points, spacing, bounds))
        kept.append(points[index]);
    return kept;
}

std::vector<qsizetype> distinctSymbolIndexes(const QPolygonF &points, qreal spacing, const QRectF &bounds)
{
    if (!(spacing > 0) || bounds.isEmpty())
        return {};
    // Kept centres on a grid whose cells are too small to hold two of them (their diagonal is the
    // spacing): a closer centre lies within two cells of a point's own.
    const qreal cell = spacing / std::sqrt(2.0);
    const qint64 columns = qint64(std::ceil(bounds.width() / cell)) + 1;
    const qint64 rows = qint64(std::ceil(bounds.height() / cell)) + 1;
    std::vector<qint32> grid(size_t(columns * rows), -1);
    const qreal limit = spacing * spacing;
    // Where points crowd, most of them fall inside a symbol already kept. The unit squares that lie
    // wholly inside a kept symbol are marked, so such a point is dropped at one look; the rest are
    // measured against the kept centres around them.
    const qint64 inkColumns = qint64(std::ceil(bounds.width())) + 1;
    const qint64 inkRows = qint64(std::ceil(bounds.height())) + 1;
    std::vector<bool> inside(size_t(inkColumns * inkRows), false);
    const auto markInside = [&](const QPointF &centre) {
        const qreal cx = centre.x() - bounds.left();
        const qreal cy = centre.y() - bounds.top();
        const qint64 reach = qint64(std::ceil(spacing));
        const qint64 x0 = std::max<qint64>(0, qint64(cx) - reach);
        const qint64 y0 = std::max<qint64>(0, qint64(cy) - reach);
        for (qint64 y = y0; y <= std::min(inkRows - 1, qint64(cy) + reach); ++y) {
            const qreal dy = std::max(std::abs(qreal(y) - cy), std::abs(qreal(y + 1) - cy));
            for (qint64 x = x0; x <= std::min(inkColumns - 1, qint64(cx) + reach); ++x) {
                const qreal dx = std::max(std::abs(qreal(x) - cx), std::abs(qreal(x + 1) - cx));
                if (dx * dx + dy * dy < limit)
                    inside[size_t(y * inkColumns + x)] = true;
            }
        }
    };
    std::vector<qsizetype> kept;
    for (qsizetype index = 0; index < points.size(); ++index) {
        const QPointF &point = points[index];
        const qreal px = point.x() - bounds.left();
        const qreal py = point.y() - bounds.top();
        // Written so a NaN fails it, as QRectF::contains does.
        if (!(px >= 0 && py >= 0 && px <= bounds.width() && py <= bounds.height()))
            continue;
        if (inside[size_t(qint64(py) * inkColumns + qint64(px))])
            continue;
        const qint64 cx = qint64(px / cell);
        const qint64 cy = qint64(py / cell);
        // A kept centre in the point's own cell covers it for certain.
        if (grid[size_t(cy * columns + cx)] >= 0)
            continue;
        bool covered = false;
        for (qint64 y = std::max<qint64>(0, cy - 2); y <= std::min(rows - 1, cy + 2) && !covered; ++y) {
            for (qint64 x = std::max<qint64>(0, cx - 2); x <= std::min(columns - 1, cx + 2); ++x) {
                const qint32 other = grid[size_t(y * columns + x)];
                if (other < 0)
                    continue;
                const QPointF d = points[kept[size_t(other)]] - point;
                if (d.x() * d.x() + d.y() * d.y() < limit) {
                    covered = true;
                    break;
                }
            }
        }
        if (covered)
            continue;
        grid[size_t(cy * columns + cx)] = qint32(kept.size());
        kept.push_back(index);
        markInside(point);
    }
    return kept;
}

void RectMerger::add(const QRect &rect)
{
    if (rect.isEmpty())
        return;
    if (m_last.isEmpty()) {
        m_last = rect;
        return;
    }
    if (m_last.contains(rect))
        return;
    const bool sameColumns = rect.left() == m_last.left() && rect.right() == m_last.right();
    const bool sameRows = rect.top() == m_last.top() && rect.bottom() == m_last.bottom();
    // QRect's right and bottom are inclusive: touching means the next pixel.
    const bool touchVertically = rect.top() <= m_last.bottom() + 1 && rect.bottom() >= m_last.top() - 1;
    const bool touchHorizontally = rect.left() <= m_last.right() + 1 && rect.right() >= m_last.left() - 1;
    if ((sameColumns && touchVertically) || (sameRows && touchHorizontally)) {
        m_last = m_last.united(rect);
        return;
    }
    m_rects.append(m_last);
    m_last = rect;
}

QList<QRect> RectMerger::take()
{
    if (!m_last.isEmpty())
        m_rects.append(m_last);
    m_last = QRect();
    return std::exchange(m_rects, {});
}

LabelCells::LabelCells(qreal cell, const QRectF &area)
    : m_cell(cell), m_area(area)
{
    if (!(cell > 0) || area.isEmpty())
        return;
    m_columns = qint64(std::ceil(area.width() / cell)) + 1;
    m_rows = qint64(std::ceil(area.height() / cell)) + 1;
    m_grid.assign(size_t(m_columns * m_rows), false);
}

bool LabelCells::claim(const QPointF &point)
{
    if (!(m_cell > 0))
        return true;
    // Far-off points (a value far outside the domain, or none) share cells at a far but finite edge.
    const auto cellOf = [this](qreal offset) {
        constexpr qreal kFar = 1e9;
        const qreal cells = offset / m_cell;
        return qint64(std::floor(cells > -kFar ? std::min(cells, kFar) : -kFar));
    };
    const qint64 x = cellOf(point.x() - m_area.left());
    const qint64 y = cellOf(point.y() - m_area.top());
    if (x >= 0 && y >= 0 && x < m_columns && y < m_rows) {
        const size_t at = size_t(y * m_columns + x);
        if (m_grid[at])
            return false;
        m_grid[at] = true;
        return true;
    }
    const quint64 key = cellKey(x, y);
    if (m_outside.contains(key))
        return false;
    m_outside.insert(key);
    return true;
}

} // namespace ChartThinning
