// Counting the pixels of a colour in a picture, for tests that assert what a screenshot shows.
#pragma once

#include <QColor>
#include <QImage>

#include <cstdlib>

// Pixels within `tolerance` levels of `color` in each of red, green and blue.
inline qint64 pixelsNear(const QImage &image, const QColor &color, int tolerance = 4)
{
    qint64 count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) <= tolerance && std::abs(pixel.green() - color.green()) <= tolerance
                && std::abs(pixel.blue() - color.blue()) <= tolerance)
                ++count;
        }
    }
    return count;
}
