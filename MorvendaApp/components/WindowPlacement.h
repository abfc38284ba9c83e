// Where the tool's windows open: inside the available area of a screen (the one the main window
// is on), never larger than that area, cascaded or centred. Frame sizes are those the platform
// reports for the window, else those of the anchor window (every window of the tool gets the same
// decoration). Stateless helpers; main thread.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace WindowPlacement {

// The available geometry of the screen `anchor` is on; the primary screen's without an anchor.
QRect availableArea(const QWidget *anchor);

// The frame the platform puts around `window`; `fallback`'s when `window` has none yet.
QMargins frameMargins(const QWidget *window, const QWidget *fallback);

// Gives the top-level `window` at most `preferred` (its size when empty), cut down to the area of
// `anchor`'s screen, with its frame's top-left at `wanted` or as close as stays inside.
void place(QWidget *window, QPoint wanted, const QWidget *anchor, QSize preferred = {});

// Where the platform reports a window's frame only once the window is on screen (a window
// manager's decoration), checks `window` again then, once: a frame that reaches past the area of
// its screen moves and shrinks it back inside.
void keepInsideOnceFramed(QWidget *window);

// Centres the top-level `window` on `anchor`'s frame, inside the area of `anchor`'s screen.
void centreOn(QWidget *window, const QWidget *anchor);

} // namespace WindowPlacement
