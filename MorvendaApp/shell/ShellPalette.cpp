#include "ShellPalette.h"

namespace ShellPalette {
namespace {

struct Colours
{
    QColor window, base, alternateBase, text, button, highlight, highlightedText, link, linkVisited;
    QColor placeholder, disabledText, toolTipBase, light, midlight, mid, dark, shadow;
};

QPalette build(const Colours &c)
{
    QPalette p;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor text = disabled ? c.disabledText : c.text;
        p.setColor(group, QPalette::Window, c.window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, c.base);
        p.setColor(group, QPalette::AlternateBase, c.alternateBase);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::BrightText, Qt::white);
        p.setColor(group, QPalette::Button, c.button);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::Highlight, disabled ? c.mid : c.highlight);
        p.setColor(group, QPalette::HighlightedText, c.highlightedText);
        p.setColor(group, QPalette::Link, c.link);
        p.setColor(group, QPalette::LinkVisited, c.linkVisited);
        p.setColor(group, QPalette::PlaceholderText, c.placeholder);
        p.setColor(group, QPalette::ToolTipBase, c.toolTipBase);
        p.setColor(group, QPalette::ToolTipText, c.text);
        p.setColor(group, QPalette::Light, c.light);
        p.setColor(group, QPalette::Midlight, c.midlight);
        p.setColor(group, QPalette::Mid, c.mid);
        p.setColor(group, QPalette::Dark, c.dark);
        p.setColor(group, QPalette::Shadow, c.shadow);
    }
    return p;
}

} // namespace

QPalette light()
{
    static const QPalette palette = build({
        .window = QColor(0xEC, 0xEC, 0xEC),
        .base = QColor(0xFF, 0xFF, 0xFF),
        .alternateBase = QColor(0xF4, 0xF5, 0xF5),
        .text = QColor(0x1F, 0x1F, 0x21),
        .button = QColor(0xF8, 0xF8, 0xF8),
        .highlight = QColor(0x0A, 0x64, 0xD6),
        .highlightedText = QColor(0xFF, 0xFF, 0xFF),
        .link = QColor(0x0A, 0x64, 0xD6),
        .linkVisited = QColor(0x6E, 0x3F, 0xB5),
        .placeholder = QColor(0x8C, 0x8C, 0x90),
        .disabledText = QColor(0xA4, 0xA4, 0xA8),
        .toolTipBase = QColor(0xFB, 0xFB, 0xFB),
        .light = QColor(0xFF, 0xFF, 0xFF),
        .midlight = QColor(0xF2, 0xF2, 0xF2),
        .mid = QColor(0xC4, 0xC4, 0xC6),
        .dark = QColor(0x9E, 0x9E, 0xA2),
        .shadow = QColor(0x6B, 0x6B, 0x70),
    });
    return palette;
}

QPalette dark()
{
    static const QPalette palette = build({
        .window = QColor(0x2A, 0x2A, 0x2D),
        .base = QColor(0x1E, 0x1E, 0x20),
        .alternateBase = QColor(0x26, 0x26, 0x29),
        .text = QColor(0xE8, 0xE8, 0xEA),
        .button = QColor(0x3A, 0x3A, 0x3E),
        .highlight = QColor(0x2F, 0x7F, 0xE6),
        .highlightedText = QColor(0xFF, 0xFF, 0xFF),
        .link = QColor(0x5A, 0xA9, 0xFF),
        .linkVisited = QColor(0xB3, 0x8C, 0xF0),
        .placeholder = QColor(0x8A, 0x8A, 0x90),
        .disabledText = QColor(0x6C, 0x6C, 0x72),
        .toolTipBase = QColor(0x3A, 0x3A, 0x3E),
        .light = QColor(0x4A, 0x4A, 0x4F),
        .midlight = QColor(0x3F, 0x3F, 0x44),
        .mid = QColor(0x52, 0x52, 0x58),
        .dark = QColor(0x18, 0x18, 0x1A),
        .shadow = QColor(0x0C, 0x0C, 0x0D),
    });
    return palette;
}

QPalette forScheme(ColorScheme scheme)
{
    return scheme == ColorScheme::Dark ? dark() : light();
}

} // namespace ShellPalette
