#include "ChartLabelInk.h"

#include <algorithm>
#include <cmath>

namespace {

double channel(float value)
{
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

// How far a label's tone is made more opaque at a time while it does not read.
constexpr float kAlphaStep = 0.05f;

} // namespace

double ChartLabelInk::contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ChartLabelInk::composited(const QColor &over, const QColor &under)
{
    const float alpha = over.alphaF();
    const QColor o = over.toRgb();
    const QColor u = under.toRgb();
    return QColor::fromRgbF(o.redF() * alpha + u.redF() * (1 - alpha), o.greenF() * alpha + u.greenF() * (1 - alpha),
                            o.blueF() * alpha + u.blueF() * (1 - alpha));
}

QColor ChartLabelInk::readableOn(const QColor &tone, const QColor &background)
{
    QColor opaque = tone;
    opaque.setAlphaF(1);
    if (contrast(opaque, background) < kInkContrast) {
        const QColor black(Qt::black);
        const QColor white(Qt::white);
        return contrast(black, background) >= contrast(white, background) ? black : white;
    }
    QColor stronger = tone;
    for (float alpha = tone.alphaF(); alpha < 1; alpha += kAlphaStep) {
        stronger.setAlphaF(alpha);
        const QColor shown = composited(stronger, background);
        if (contrast(shown, background) >= kInkContrast)
            return shown;
    }
    return opaque;
}

std::optional<QColor> ChartLabelInk::flatColourBehind(const QImage &layer, const QRectF &rect)
{
    const qreal ratio = layer.devicePixelRatio();
    const QRectF device(rect.topLeft() * ratio, rect.size() * ratio);
    const int left = int(std::floor(device.left()));
    const int top = int(std::floor(device.top()));
    const int right = int(std::ceil(device.right())) - 1;
    const int bottom = int(std::ceil(device.bottom())) - 1;
    if (rect.isEmpty() || !layer.rect().contains(QRect(QPoint(left, top), QPoint(right, bottom))))
        return std::nullopt;
    const QRgb first = layer.pixel(left, top);
    if (qAlpha(first) != 255)
        return std::nullopt;
    // Every pixel: a one-pixel column of another series would read as badly as a whole band.
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            if (layer.pixel(x, y) != first)
                return std::nullopt;
        }
    }
    return QColor::fromRgb(first);
}

ChartLabelInk::Ink ChartLabelInk::inkFor(const QImage &layer, const QRectF &textRect, const QColor &tone,
                                         const QColor &window)
{
    const QColor plate = flatColourBehind(layer, textRect).value_or(window);
    return {readableOn(tone, plate), plate};
}
