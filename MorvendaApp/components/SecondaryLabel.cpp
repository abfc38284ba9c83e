#include "MorvendaApp/components/SecondaryLabel.h"

#include "MorvendaApp/components/PaletteFollower.h"

SecondaryLabel::SecondaryLabel(int pixelSize, QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    QFont own = font();
    own.setPixelSize(pixelSize);
    setFont(own);
    PaletteFollower::followSecondaryText(this);
}
