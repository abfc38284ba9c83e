// The named colours the views use, in a light and a dark variant chosen by the palette's
// lightness. Accent and the text colours follow the palette itself. Any thread.
#pragma once

#include <QColor>
#include <QPalette>

enum class NamedColor {
    Primary,
    Secondary,
    Accent,
    Red,
    Orange,
    Yellow,
    Green,
    Blue,
    Purple,
    Pink,
    Gray,
    Cyan,
    Indigo,
    Teal,
};

// A palette is dark when its window colour is dark.
bool isDarkPalette(const QPalette &palette);

// Primary is the palette's text colour; Secondary is that colour at 55 % opacity; Accent is the
// palette's highlight colour.
QColor namedColor(NamedColor color, const QPalette &palette);
