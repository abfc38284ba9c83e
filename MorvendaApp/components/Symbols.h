// Symbol images keyed by the symbol names the views use ("questionmark.circle", "chevron.down"):
// each name maps to a committed SVG (icons/symbols.txt), rendered in one colour at any size.
// Pixmaps are cached per (name, colour, size, device pixel ratio). Main thread only.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace Symbols {

// Whether `name` has an image.
bool contains(const QString &name);

// Every mapped name, sorted.
QStringList names();

// The symbol drawn in `color` (its alpha included) in a square of `logicalSize` logical pixels.
// An unmapped name logs an error once and gives a transparent pixmap of the same size, so a
// missing icon never breaks a layout.
QPixmap pixmap(const QString &name, const QColor &color, int logicalSize, qreal devicePixelRatio);

// An icon for buttons and actions, rendered for the application's device pixel ratio.
QIcon icon(const QString &name, const QColor &color, int logicalSize = 16);

} // namespace Symbols
