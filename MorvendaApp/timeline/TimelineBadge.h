// Draws the status badge at the start of a timeline row: a two-glyph icon beside the method
// above the status code, on a tinted rounded background. Painting only; main thread.
#pragma once

#include "MorvendaApp/timeline/TimelineRowState.h"

#include <QFont>
#include <QSize>

class QPainter;
class QPalette;
class QRect;

namespace TimelineBadge {

// Width of the content of every badge with a colour, in logical pixels.
constexpr int kFixedContentWidth = 75;
constexpr int kPadding = 4;

QFont mainFont();
QFont subFont();

// The whole badge, padding included.
QSize sizeHint(const TimelineBadgeState &state);
// Paints the badge with its top-left corner at `rect`'s, at the size sizeHint gives.
void paint(QPainter &painter, const QRect &rect, const TimelineBadgeState &state, const QPalette &palette);

// The glyph names of an icon: the request place (one or two glyphs laid over each other), then
// the response place, and which of the two places are faded.
struct Glyphs
{
    QStringList request;
    QString response;
    bool requestFaded = false;
    bool responseFaded = false;
    bool bottomAligned = false;
};
Glyphs glyphs(TimelineBadgeState::Icon icon);

} // namespace TimelineBadge
