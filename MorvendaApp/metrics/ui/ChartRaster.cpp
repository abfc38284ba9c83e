#include "ChartRaster.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// ceil() of a value already within an int's range, without a library call per pixel column.
int ceilOf(qreal value)
{
    const int truncated = int(value);
    return truncated + (qreal(truncated) < value ? 1 : 0);
}

// Past this many pixels a column, a segment is nearly upright.
constexpr qreal kSteepest = 1e6;

// One premultiplied channel of the destination under a source of alpha `alpha`.
quint32 under(quint32 channel, quint32 alpha)
{
    const quint32 t = channel * (255 - alpha) + 128;
    return (t + (t >> 8)) >> 8;
}

} // namespace

ChartRaster::ChartRaster(QSize size, qreal ratio)
    : m_image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied)
{
    m_image.setDevicePixelRatio(ratio);
    m_image.fill(Qt::transparent);
    m_bits = m_image.bits();
    m_stride = m_image.bytesPerLine();
    m_width = m_image.width();
    m_height = m_image.height();
    m_wordsPerColumn = (m_height + 63) / 64;
    m_covered.assign(size_t(m_width) * size_t(m_wordsPerColumn), 0);
    m_filled.assign(size_t(m_width), 0);
}

inline void ChartRaster::fillRows(int column, int top, int bottom, QRgb color)
{
    top = std::max(top, 0);
    bottom = std::min(bottom, m_height - 1);
    if (top > bottom || m_filled[size_t(column)] == m_height)
        return;
    quint64 *covered = m_covered.data() + size_t(column) * size_t(m_wordsPerColumn);
    const int firstWord = top >> 6;
    const int lastWord = bottom >> 6;
    for (int word = firstWord; word <= lastWord; ++word) {
        const quint64 fromTop = ~quint64(0) << (word == firstWord ? top & 63 : 0);
        const quint64 toBottom = ~quint64(0) >> (word == lastWord ? 63 - (bottom & 63) : 0);
        quint64 fresh = fromTop & toBottom & ~covered[word];
        if (fresh == 0)
            continue;
        // Rare next to the checks above: a pixel is written once in the picture's life.
        covered[word] |= fresh;
        m_filled[size_t(column)] += std::popcount(fresh);
        auto *pixels = reinterpret_cast<QRgb *>(m_bits) + column;
        const qsizetype stride = m_stride / qsizetype(sizeof(QRgb));
        for (; fresh != 0; fresh &= fresh - 1)
            pixels[(word * 64 + std::countr_zero(fresh)) * stride] = color;
    }
}

void ChartRaster::addLineUnder(const QPolygonF &points, QRgb color, qreal width)
{
    addLineUnder(points, color, width, 0, m_width - 1);
}

void ChartRaster::addLineUnder(const QPolygonF &points, QRgb color, qreal width, int from, int to)
{
    const QRgb opaque = qPremultiply(qRgba(qRed(color), qGreen(color), qBlue(color), 255));
    const qreal half = width / 2;
    from = std::max(from, 0);
    to = std::min(to, m_width - 1);
    // A segment wholly beside the columns is passed over at two comparisons.
    const qreal left = from - half - 1;
    const qreal right = to + half + 2;
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF &a = points[i - 1];
        const QPointF &b = points[i];
        if ((a.x() < left && b.x() < left) || (a.x() > right && b.x() > right))
            continue;
        addSegmentUnder(a, b, opaque, half, from, to);
    }
}

// The segment is widened by a square of `half` on every side: a pixel is drawn when its centre
// lies within that reach, so a line of width w is w pixels thick across and along the columns.
void ChartRaster::addSegmentUnder(QPointF a, QPointF b, QRgb color, qreal half, int from, int to)
{
    if (a.x() > b.x())
        std::swap(a, b);
    // Ends far outside the picture are first cut to its columns, so every value below stays finite
    // and within an int's reach.
    const qreal left = -half - 1;
    const qreal right = m_width + half + 1;
    if (b.x() < left || a.x() > right)
        return;
    const auto cut = [&](qreal x) { return a.y() + (b.y() - a.y()) * ((x - a.x()) / (b.x() - a.x())); };
    if (a.x() < left)
        a = QPointF(left, cut(left));
    if (b.x() > right)
        b = QPointF(right, cut(right));
    const qreal far = 4.0 * m_height + 64;
    a.setY(std::clamp(a.y(), -far, far));
    b.setY(std::clamp(b.y(), -far, far));
    if (std::isnan(a.y()) || std::isnan(b.y()))
        return;

    const qreal dx = b.x() - a.x();
    const qreal slope = dx > 0 ? (b.y() - a.y()) / dx : 0;
    const int first = std::max(from, ceilOf(a.x() - half - 0.5));
    const int last = std::min(to, ceilOf(b.x() + half - 0.5) - 1);
    // The line's height where a column's reach begins.
    const auto heightAt = [&](int column) { return a.y() + (column + 0.5 - half - a.x()) * slope; };
    const qreal across = 2 * half * slope;
    const auto endColumn = [&](int column) {
        const qreal low = column + 0.5 - half;
        const qreal atLow = heightAt(column);
        const qreal y0 = dx > 0 && low >= a.x() ? atLow : a.y();
        const qreal y1 = dx > 0 && low + 2 * half <= b.x() ? atLow + across : b.y();
        fillRows(column, ceilOf(std::min(y0, y1) - half - 0.5), ceilOf(std::max(y0, y1) + half - 0.5) - 1, color);
    };
    // Nearly upright, a segment crosses a column or two: each is worked out on its own.
    if (!(dx > 0) || std::abs(slope) > kSteepest) {
        for (int column = first; column <= last; ++column)
            endColumn(column);
        return;
    }
    // A column's reach spans the line from its height where the reach begins to that plus
    // `across`, cut to the segment's lowest and highest points (the line is straight, so that is
    // the cut at its ends). A thousand lines can cross every column of the plot, so every column
    // steps its rows in fixed point, a handful of integer operations (2^-24 of a pixel a step: far
    // below a pixel over any picture's width).
    constexpr int kShift = 24;
    constexpr qreal kOne = qreal(qint64(1) << kShift);
    constexpr qint64 kCeil = (qint64(1) << kShift) - 1;
    const auto fixed = [](qreal value) { return value >= 0 ? qint64(value * kOne + 0.5) : -qint64(-value * kOne + 0.5); };
    const qreal atLow = heightAt(first);
    qint64 upper = fixed(std::min(atLow, atLow + across) - half - 0.5);
    qint64 lower = fixed(std::max(atLow, atLow + across) + half - 0.5);
    const qint64 step = fixed(slope);
    const qint64 highest = fixed(std::min(a.y(), b.y()) - half - 0.5);
    const qint64 lowest = fixed(std::max(a.y(), b.y()) + half - 0.5);
    for (int column = first; column <= last; ++column, upper += step, lower += step)
        fillRows(column, int((std::max(upper, highest) + kCeil) >> kShift), int((std::min(lower, lowest) + kCeil) >> kShift) - 1, color);
}

void ChartRaster::stamp(const QImage &stamp, QPoint at, int from, int to)
{
    Q_ASSERT(stamp.format() == QImage::Format_ARGB32_Premultiplied);
    const int left = std::max(std::max(0, from) - at.x(), 0);
    const int right = std::min(stamp.width(), std::min(m_width - 1, to) + 1 - at.x());
    for (int sy = std::max(0, -at.y()); sy < std::min(stamp.height(), m_height - at.y()); ++sy) {
        const auto *source = reinterpret_cast<const QRgb *>(stamp.constScanLine(sy));
        auto *target = reinterpret_cast<QRgb *>(m_bits + (at.y() + sy) * m_stride) + at.x();
        for (int sx = left; sx < right; ++sx) {
            const QRgb s = source[sx];
            const quint32 alpha = qAlpha(s);
            if (alpha == 255) {
                target[sx] = s;
            } else if (alpha > 0) {
                const QRgb d = target[sx];
                target[sx] = qRgba(qRed(s) + under(qRed(d), alpha), qGreen(s) + under(qGreen(d), alpha),
                                   qBlue(s) + under(qBlue(d), alpha), int(alpha + under(qAlpha(d), alpha)));
            }
        }
    }
}
