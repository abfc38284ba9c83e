// How a chart label stays readable over whatever lies behind it: a label stands on a plate of the
// background in its tone's colour, or, when its whole text rests on one flat colour of the layer
// (inside a bar), straight on that colour in black or white. Either way its text reaches
// kMinimumContrast against what is directly behind it. Pure functions; any thread.
#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>

#include <optional>

namespace ChartLabelInk {

// WCAG's ratio for body text; the labels are small, so they get no large-text allowance.
inline constexpr double kMinimumContrast = 4.5;
// What a label's ink aims at: glyphs this small rarely cover a whole pixel, so what shows on
// screen is a little fainter than the ink itself.
inline constexpr double kInkContrast = 5.0;

// The WCAG contrast ratio of two opaque colours, from 1 to 21.
double contrast(const QColor &a, const QColor &b);
// `over` (with its alpha) composited on the opaque `under`.
QColor composited(const QColor &over, const QColor &under);

// The opaque colour a label of tone colour `tone` is drawn in on the opaque `background`: the
// tone as it would show there, made more opaque just as far as needed to reach kInkContrast;
// when not even the opaque tone reaches it, black or white, whichever contrasts more (one of
// them always reaches 4.58:1).
QColor readableOn(const QColor &tone, const QColor &background);

// The one opaque colour that every pixel `rect` (logical pixels) touches in a layer's picture
// shows, or none when they show several, or anything transparent.
std::optional<QColor> flatColourBehind(const QImage &layer, const QRectF &rect);

struct Ink
{
    QColor text;
    // Filled under the text, so no mark or rule drawn before it shows between its glyphs: the
    // background, or the one colour of the layer it stands on.
    QColor plate;
};
// The ink of a label whose text occupies `textRect`, over `layer`, on a widget whose background
// is `window`.
Ink inkFor(const QImage &layer, const QRectF &textRect, const QColor &tone, const QColor &window);

} // namespace ChartLabelInk
