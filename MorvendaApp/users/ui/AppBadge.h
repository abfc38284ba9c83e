// The small marks of the two shopping apps: a letter on a rounded square of the app's colour
// ("R" for the retailer app, "B" for the brand app). Drawn, not loaded, so they are always there
// and sharp at any size. Main thread (uses fonts).
#pragma once

#include <QPixmap>

namespace AppBadge {

enum class App { Retailer, Brand };

// The badge, `logicalSize` square, cached per (app, size, device pixel ratio).
QPixmap pixmap(App app, int logicalSize, qreal devicePixelRatio);

} // namespace AppBadge
