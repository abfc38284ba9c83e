#include "ChartRaster.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// A pixel index from a coordinate that may lie far outside the picture (or be as large as a
// double gets), kept within `low`..`high` before it becomes an int.
int clampedIndex(qreal value, int low, int high)
{
    return int(std::clamp<qreal>(value, low, high));
}

// ceil() of a value already within an int's range, without a library call per pixel column.
int ceilOf(qreal value)
{
    const int truncated = int(value);
    return truncated + (qreal(truncated) < value ? 1 : 0);
}

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

void ChartRaster::addLineUnder(const QPolygonF &points, QRgb color, qreal width)
{
    const QRgb opaque = qPremultiply(qRgba(qRed(color), qGreen(color), qBlue(color), 255));
    const qreal half = width / 2;
    for (qsizetype i = 1; i < points.size(); ++i)
        addSegmentUnder(points[i - 1], points[i], opaque, half);
}

// The segment is widened by a square of `half` on every side: a pixel is drawn when its centre
// lies within that reach, so a line of width w is w pixels thick across and along the columns.
void ChartRaster::addSegmentUnder(QPointF a, QPointF b, QRgb color, qreal half)
{
    if (a.x() > b.x())
        std::swap(a, b);
    const qreal dx = b.x() - a.x();
    const qreal slope = dx > 0 ? (b.y() - a.y()) / dx : 0;
    const int first = clampedIndex(std::ceil(a.x() - half - 0.5), 0, m_width);
    const int last = clampedIndex(std::ceil(b.x() + half - 0.5) - 1, -1, m_width - 1);
    for (int column = first; column <= last; ++column) {
        // Where the lines above filled the whole column, nothing is left to draw.
        if (m_filled[size_t(column)] == m_height)
            continue;
        const qreal centre = column + 0.5;
        const qreal from = std::max(a.x(), centre - half);
        const qreal to = std::min(b.x(), centre + half);
        qreal y0 = a.y();
        qreal y1 = b.y();
        if (dx > 0) {
            y0 = a.y() + (from - a.x()) * slope;
            y1 = a.y() + (to - a.x()) * slope;
        }
        // Ends too far out for a double to hold the slope give no height here.
        if (std::isnan(y0) || std::isnan(y1))
            continue;
        if (y0 > y1)
            std::swap(y0, y1);
        const int top = ceilOf(std::clamp<qreal>(y0 - half - 0.5, -1, m_height));
        const int bottom = ceilOf(std::clamp<qreal>(y1 + half - 0.5, -1, m_height)) - 1;
        if (top <= bottom)
            fillUncovered(column, std::max(top, 0), std::min(bottom, m_height - 1), color);
    }
}

void ChartRaster::fillUncovered(int column, int top, int bottom, QRgb color)
{
    quint64 *covered = m_covered.data() + size_t(column) * size_t(m_wordsPerColumn);
    for (int word = top / 64; word <= bottom / 64; ++word) {
        const int low = word == top / 64 ? top % 64 : 0;
        const int high = word == bottom / 64 ? bottom % 64 : 63;
        const quint64 mask = (high == 63 ? ~quint64(0) : (quint64(1) << (high + 1)) - 1) & ~((quint64(1) << low) - 1);
        quint64 fresh = mask & ~covered[word];
        covered[word] |= fresh;
        for (; fresh != 0; fresh &= fresh - 1) {
            const int row = word * 64 + std::countr_zero(fresh);
            reinterpret_cast<QRgb *>(m_bits + row * m_stride)[column] = color;
            ++m_filled[size_t(column)];
        }
    }
}

void ChartRaster::stamp(const QImage &stamp, QPoint at)
{
    Q_ASSERT(stamp.format() == QImage::Format_ARGB32_Premultiplied);
    const int left = std::max(0, -at.x());
    const int right = std::min(stamp.width(), m_width - at.x());
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
