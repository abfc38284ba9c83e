#include "ChartStroke.h"

#include <algorithm>
#include <cmath>

namespace {

// floor() and ceil() of values already within an int's reach, without a library call per pixel.
int floorOf(qreal value)
{
    const int truncated = int(value);
    return truncated - (qreal(truncated) > value ? 1 : 0);
}

int ceilOf(qreal value)
{
    const int truncated = int(value);
    return truncated + (qreal(truncated) < value ? 1 : 0);
}

qreal unitClamp(qreal value)
{
    return std::clamp<qreal>(value, 0, 1);
}

// A premultiplied colour times `alpha` out of 255, two channels at a time.
QRgb scaled(QRgb color, quint32 alpha)
{
    quint32 redBlue = (color & 0xff00ff) * alpha;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    quint32 alphaGreen = ((color >> 8) & 0xff00ff) * alpha;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return alphaGreen | redBlue;
}

// The part of a..b within `box` as parameters from 0 to 1 along it; false when none is.
bool cut(QPointF a, QPointF b, const QRectF &box, qreal &from, qreal &to)
{
    from = 0;
    to = 1;
    const QPointF d = b - a;
    const auto edge = [&](qreal p, qreal q) {
        if (p == 0)
            return q >= 0;
        const qreal t = q / p;
        if (p < 0)
            from = std::max(from, t);
        else
            to = std::min(to, t);
        return from <= to;
    };
    return edge(-d.x(), a.x() - box.left()) && edge(d.x(), box.right() - a.x()) && edge(-d.y(), a.y() - box.top())
        && edge(d.y(), box.bottom() - a.y());
}

// Ends past this many pixels off the picture cannot show.
constexpr qreal kFar = 1e7;

bool finite(QPointF point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

} // namespace

ChartStroke::ChartStroke(QImage &image, const QRect &clip)
{
    Q_ASSERT(image.format() == QImage::Format_ARGB32_Premultiplied);
    m_clip = clip & image.rect();
    if (!m_clip.isEmpty()) {
        m_bits = image.bits();
        m_stride = image.bytesPerLine();
    }
}

bool ChartStroke::pixelsIn(qreal left, qreal top, qreal right, qreal bottom, QRect &pixels) const
{
    if (m_clip.isEmpty() || !(left <= right) || !(top <= bottom) || left > kFar || right < -kFar || top > kFar || bottom < -kFar)
        return false;
    // Pixel x takes part when its centre x + 0.5 lies within left..right.
    const int x0 = std::max(m_clip.left(), ceilOf(std::max(left, -kFar) - 0.5));
    const int x1 = std::min(m_clip.right(), floorOf(std::min(right, kFar) - 0.5));
    const int y0 = std::max(m_clip.top(), ceilOf(std::max(top, -kFar) - 0.5));
    const int y1 = std::min(m_clip.bottom(), floorOf(std::min(bottom, kFar) - 0.5));
    if (x0 > x1 || y0 > y1)
        return false;
    pixels = QRect(QPoint(x0, y0), QPoint(x1, y1));
    return true;
}

inline void ChartStroke::blend(int x, int y, qreal coverage, QRgb color)
{
    const quint32 alpha = quint32(coverage * 255 + 0.5);
    if (alpha == 0)
        return;
    QRgb &target = reinterpret_cast<QRgb *>(m_bits + qsizetype(y) * m_stride)[x];
    const QRgb source = alpha >= 255 ? color : scaled(color, alpha);
    target = qAlpha(source) == 255 ? source : source + scaled(target, 255 - qAlpha(source));
}

void ChartStroke::segment(QPointF a, QPointF b, qreal width, const QList<qreal> &dash, QRgb color)
{
    if (m_clip.isEmpty() || !(width > 0) || !finite(a) || !finite(b))
        return;
    // A stroke wider than the clip's diagonal covers all of it where it passes; wider still only
    // makes the stretch that can show, and its dashes, longer.
    const qreal half = std::min(width, qreal(m_clip.width() + m_clip.height())) / 2;
    const QPointF d = b - a;
    const qreal length = std::hypot(d.x(), d.y());
    if (!(length > 0) || !std::isfinite(length))
        return;
    // Only the stretch within reach of the clip can show.
    const qreal reach = half + 2;
    qreal from = 0;
    qreal to = 1;
    if (!cut(a, b, QRectF(m_clip).adjusted(-reach, -reach, 1 + reach, 1 + reach), from, to))
        return;
    // The stretch that can show, measured from its own start: a segment reaching far off the
    // picture would otherwise step its dashes in values too large to step by a pixel.
    const QPointF first = a + d * from;
    const QPointF along = d / length;
    const qreal visible = length * (to - from);
    qreal period = 0;
    for (const qreal part : dash)
        period += std::max<qreal>(0, part) * width;
    // A pattern finer than a pixel reads as a solid line.
    if (!(period >= 1) || !std::isfinite(period)) {
        solid(first, a + d * to, half, color);
        return;
    }
    // Where the pattern stands at that start, as it started afresh at `a`.
    const qreal phase = std::fmod(from * length, period);
    for (qreal at = -phase; at < visible; at += period) {
        qreal on = at;
        for (qsizetype i = 0; i < dash.size(); ++i) {
            const qreal stretch = std::max<qreal>(0, dash.at(i)) * width;
            if (i % 2 == 0) {
                const qreal begin = std::max<qreal>(on, 0);
                const qreal end = std::min(on + stretch, visible);
                if (begin < end)
                    solid(first + along * begin, first + along * end, half, color);
            }
            on += stretch;
        }
    }
}

void ChartStroke::solid(QPointF a, QPointF b, qreal half, QRgb color)
{
    const qreal dx = b.x() - a.x();
    const qreal dy = b.y() - a.y();
    const qreal length = std::sqrt(dx * dx + dy * dy);
    if (!(length > 0))
        return;
    const qreal tx = dx / length;
    const qreal ty = dy / length;
    // A pixel centre takes a share while it lies within half a pixel of the stroke's rectangle:
    // across, |v| < half + 0.5 from the middle; along, -0.5 < u < length + 0.5 from a.
    const qreal reach = half + 0.5;
    const qreal growX = std::abs(ty) * reach + std::abs(tx) * 0.5;
    const qreal growY = std::abs(tx) * reach + std::abs(ty) * 0.5;
    QRect pixels;
    if (!pixelsIn(std::min(a.x(), b.x()) - growX, std::min(a.y(), b.y()) - growY, std::max(a.x(), b.x()) + growX,
                  std::max(a.y(), b.y()) + growY, pixels))
        return;
    const auto cover = [&](int x, int y, qreal u, qreal v) {
        const qreal across = std::min<qreal>(reach - std::abs(v), 1);
        if (across <= 0)
            return;
        blend(x, y, across * unitClamp(u + 0.5) * unitClamp(length - u + 0.5), color);
    };
    // Along the major axis (across the columns of a shallow stroke, down the rows of a steep one)
    // each step holds the band |v| < reach, a few pixels across the minor axis; u and v change by
    // fixed steps from one pixel of it to the next. Only |v| counts, so its sign may follow the axes.
    const bool shallow = std::abs(dx) >= std::abs(dy);
    const qreal majorStart = shallow ? a.x() : a.y();
    const qreal minorStart = shallow ? a.y() : a.x();
    const qreal majorStep = shallow ? tx : ty;
    const qreal minorStep = shallow ? ty : tx;
    const qreal slope = minorStep / majorStep;
    const qreal band = reach / std::abs(majorStep);
    const int firstMinor = shallow ? pixels.top() : pixels.left();
    const int lastMinor = shallow ? pixels.bottom() : pixels.right();
    for (int major = shallow ? pixels.left() : pixels.top(); major <= (shallow ? pixels.right() : pixels.bottom()); ++major) {
        const qreal alongMajor = major + 0.5 - majorStart;
        const qreal middle = minorStart + alongMajor * slope;
        const int from = std::max(firstMinor, ceilOf(middle - band - 0.5));
        const int to = std::min(lastMinor, floorOf(middle + band - 0.5));
        const qreal alongMinor = from + 0.5 - minorStart;
        qreal u = alongMajor * majorStep + alongMinor * minorStep;
        qreal v = alongMinor * majorStep - alongMajor * minorStep;
        for (int minor = from; minor <= to; ++minor, u += minorStep, v += majorStep) {
            if (shallow)
                cover(major, minor, u, v);
            else
                cover(minor, major, u, v);
        }
    }
}

template<typename Coverage>
void ChartStroke::shape(QPointF centre, qreal reach, QRgb color, Coverage coverage)
{
    QRect pixels;
    if (!finite(centre) || !(reach > 0)
        || !pixelsIn(centre.x() - reach - 0.5, centre.y() - reach - 0.5, centre.x() + reach + 0.5, centre.y() + reach + 0.5, pixels))
        return;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        const qreal dy = std::abs(y + 0.5 - centre.y());
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            const qreal share = coverage(std::abs(x + 0.5 - centre.x()), dy);
            if (share > 0)
                blend(x, y, std::min<qreal>(share, 1), color);
        }
    }
}

void ChartStroke::disc(QPointF centre, qreal radius, QRgb color)
{
    shape(centre, radius, color, [radius](qreal dx, qreal dy) { return radius + 0.5 - std::sqrt(dx * dx + dy * dy); });
}

void ChartStroke::square(QPointF centre, qreal half, QRgb color)
{
    shape(centre, half, color, [half](qreal dx, qreal dy) { return unitClamp(half + 0.5 - dx) * unitClamp(half + 0.5 - dy); });
}

void ChartStroke::diamond(QPointF centre, qreal radius, QRgb color)
{
    // The distance from its edges is the distance along the axes over the square root of two.
    constexpr qreal kHalfRoot = 0.70710678118654752;
    shape(centre, radius, color, [radius](qreal dx, qreal dy) { return (radius - dx - dy) * kHalfRoot + 0.5; });
}

void ChartStroke::fill(const QRect &pixels, QRgb color)
{
    const QRect cut = pixels & m_clip;
    for (int y = cut.top(); y <= cut.bottom(); ++y) {
        for (int x = cut.left(); x <= cut.right(); ++x)
            blend(x, y, 1, color);
    }
}
