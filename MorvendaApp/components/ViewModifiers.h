// The common look-and-feel helpers applied to existing widgets. Main thread only.
#pragma once

#include <functional>

class QWidget;

// Draws the widget 0.4 darker (every colour channel lowered by 40 %) while its palette is light,
// unchanged while it is dark. The palette is read at every paint, so a scheme switch applies at once.
void applyDarkenedForLightMode(QWidget *widget);

// Makes the widget a `size` by `size` square clipped to a circle of that diameter (antialiased).
void applyRoundView(QWidget *widget, int size);

// Makes the widget's whole rectangle, empty gaps between its children included, react to a
// click: a left-button press and release inside the widget calls `onTap`. Children that handle
// clicks themselves (buttons) keep them.
void applyTappable(QWidget *widget, std::function<void()> onTap);
