#include "ChartSeriesStyle.h"

#include "ChartStroke.h"

#include "MorvendaApp/components/NamedColors.h"

#include <QPainter>
#include <QPolygonF>

#include <array>

namespace {

constexpr std::array kHues = {NamedColor::Blue, NamedColor::Green, NamedColor::Orange, NamedColor::Purple,
    NamedColor::Red, NamedColor::Pink, NamedColor::Yellow, NamedColor::Gray};
static_assert(int(kHues.size()) == ChartSeriesStyle::kHueCount);
// Plain, darker, lighter: after that the looks repeat.
constexpr int kRounds = 3;

// A square of the circle's area looks as heavy as the circle, and so does a diamond this far out.
constexpr qreal kSquareHalf = 0.89;
constexpr qreal kDiamondReach = 1.25;

int wrapped(int value, int count)
{
    return ((value % count) + count) % count;
}

int roundOf(int paletteIndex)
{
    return wrapped(paletteIndex / ChartSeriesStyle::kHueCount - (paletteIndex < 0 ? 1 : 0), kRounds);
}

} // namespace

QColor ChartSeriesStyle::color(int paletteIndex, const QPalette &palette)
{
    QColor color = namedColor(kHues[std::size_t(wrapped(paletteIndex, kHueCount))], palette);
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    float alpha = 0;
    color.getHslF(&hue, &saturation, &lightness, &alpha);
    switch (roundOf(paletteIndex)) {
    case 1:
        lightness *= 0.6f;
        break;
    case 2:
        lightness += (1 - lightness) * 0.5f;
        break;
    default:
        return color;
    }
    return QColor::fromHslF(hue, saturation, lightness, alpha);
}

QList<qreal> ChartSeriesStyle::dash(int paletteIndex)
{
    switch (roundOf(paletteIndex)) {
    case 1:
        return {3, 2};
    case 2:
        return {1, 1.5};
    default:
        return {};
    }
}

ChartSeriesStyle::Marker ChartSeriesStyle::marker(int paletteIndex)
{
    switch (roundOf(paletteIndex)) {
    case 1:
        return Marker::Square;
    case 2:
        return Marker::Diamond;
    default:
        return Marker::Circle;
    }
}

void ChartSeriesStyle::paintMarker(QPainter &painter, QPointF center, Marker marker, qreal radius)
{
    switch (marker) {
    case Marker::Circle:
        painter.drawEllipse(center, radius, radius);
        break;
    case Marker::Square: {
        const qreal half = radius * kSquareHalf;
        painter.drawRect(QRectF(center.x() - half, center.y() - half, 2 * half, 2 * half));
        break;
    }
    case Marker::Diamond: {
        const qreal r = radius * kDiamondReach;
        painter.drawPolygon(QPolygonF({center + QPointF(0, -r), center + QPointF(r, 0), center + QPointF(0, r), center + QPointF(-r, 0)}));
        break;
    }
    }
}

void ChartSeriesStyle::paintMarker(ChartStroke &stroke, QPointF center, Marker marker, qreal radius, QRgb color)
{
    switch (marker) {
    case Marker::Circle:
        stroke.disc(center, radius, color);
        break;
    case Marker::Square:
        stroke.square(center, radius * kSquareHalf, color);
        break;
    case Marker::Diamond:
        stroke.diamond(center, radius * kDiamondReach, color);
        break;
    }
}
