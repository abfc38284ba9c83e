#include "MorvendaApp/components/SecondaryLabel.h"

#include "MorvendaApp/components/NamedColors.h"

#include <QApplication>
#include <QEvent>

SecondaryLabel::SecondaryLabel(int pixelSize, QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    QFont own = font();
    own.setPixelSize(pixelSize);
    setFont(own);
    applyColor();
}

void SecondaryLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
        applyColor();
}

void SecondaryLabel::applyColor()
{
    // Derived from the surrounding palette, not our own, so repeated changes never compound.
    const QPalette source = parentWidget() ? parentWidget()->palette() : QApplication::palette();
    const QColor secondary = namedColor(NamedColor::Secondary, source);
    if (palette().color(QPalette::WindowText) == secondary)
        return;
    QPalette own = palette();
    own.setColor(QPalette::WindowText, secondary);
    setPalette(own);
}
