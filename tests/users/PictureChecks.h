// What the users screenshots are checked for: a scheme's background, and texts that stand out
// from it.
#pragma once

#include <QImage>
#include <QRect>

#include <cmath>

// Pixels of `rect` in `image` whose lightness is at least 0.3 away from `background` (0 to 1).
inline int contrastingPixels(const QImage &image, const QRect &rect, qreal background)
{
    int count = 0;
    const QRect inside = rect.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            count += std::abs(image.pixelColor(x, y).lightnessF() - background) >= 0.3;
        }
    }
    return count;
}
