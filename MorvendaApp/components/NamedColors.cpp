#include "NamedColors.h"

namespace {

struct Pair
{
    QRgb light;
    QRgb dark;
};

// The dark variants are lighter and a little less saturated, so they keep their contrast on a
// dark window.
Pair fixedColor(NamedColor color)
{
    switch (color) {
    case NamedColor::Red: return {0xffff3b30, 0xffff453a};
    case NamedColor::Orange: return {0xffff9500, 0xffff9f0a};
    case NamedColor::Yellow: return {0xffffcc00, 0xffffd60a};
    case NamedColor::Green: return {0xff28cd41, 0xff32d74b};
    case NamedColor::Blue: return {0xff007aff, 0xff0a84ff};
    case NamedColor::Purple: return {0xffaf52de, 0xffbf5af2};
    case NamedColor::Pink: return {0xffff2d55, 0xffff375f};
    case NamedColor::Gray: return {0xff8e8e93, 0xff98989d};
    case NamedColor::Cyan: return {0xff32ade6, 0xff64d2ff};
    case NamedColor::Indigo: return {0xff5856d6, 0xff5e5ce6};
    case NamedColor::Teal: return {0xff30b0c7, 0xff40c8e0};
    case NamedColor::Primary:
    case NamedColor::Secondary:
    case NamedColor::Accent: break;
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace

bool isDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
}

QColor namedColor(NamedColor color, const QPalette &palette)
{
    switch (color) {
    case NamedColor::Primary: return palette.color(QPalette::Active, QPalette::WindowText);
    case NamedColor::Secondary: {
        QColor text = palette.color(QPalette::Active, QPalette::WindowText);
        text.setAlphaF(0.55f);
        return text;
    }
    case NamedColor::Accent: return palette.color(QPalette::Active, QPalette::Highlight);
    default: break;
    }
    const Pair pair = fixedColor(color);
    return QColor::fromRgba(isDarkPalette(palette) ? pair.dark : pair.light);
}
