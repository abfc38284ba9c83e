// How a chart tells its series apart: eight hues in a fixed order, then the same hues again in a
// darker and in a lighter shade, each round with its own dash and symbol for lines, so series
// past the eighth never repeat a look until the twenty-fifth. Pure functions; any thread.
#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QPointF>

class ChartStroke;
class QPainter;

namespace ChartSeriesStyle {

enum class Marker { Circle, Square, Diamond };

// The number of hues before the shades start over.
inline constexpr int kHueCount = 8;

QColor color(int paletteIndex, const QPalette &palette);
// A line's dash pattern in units of its width; empty for a solid line.
QList<qreal> dash(int paletteIndex);
Marker marker(int paletteIndex);

// A filled symbol centred on `center`, about 2 × `radius` across, in the painter's brush.
void paintMarker(QPainter &painter, QPointF center, Marker marker, qreal radius);
// The same symbol drawn straight into pixels in a premultiplied colour.
void paintMarker(ChartStroke &stroke, QPointF center, Marker marker, qreal radius, QRgb color);

} // namespace ChartSeriesStyle
