// A dark palette for looking at the widgets without the application's appearance service.
#pragma once

#include <QPalette>

inline QPalette galleryDarkPalette()
{
    QPalette p;
    const QColor window(0x1e, 0x1e, 0x1e);
    const QColor base(0x2a, 0x2a, 0x2a);
    const QColor text(0xe6, 0xe6, 0xe6);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x33, 0x33, 0x33));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    p.setColor(QPalette::Light, QColor(0x44, 0x44, 0x44));
    p.setColor(QPalette::Mid, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::Dark, QColor(0x15, 0x15, 0x15));
    p.setColor(QPalette::Shadow, Qt::black);
    return p;
}
