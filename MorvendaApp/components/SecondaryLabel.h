// A plain-text label in the secondary text colour of its parent's palette, kept in step when the
// palette or the parent changes. Main thread.
#pragma once

#include <QLabel>

class SecondaryLabel : public QLabel
{
    Q_OBJECT

public:
    // `pixelSize` is the font's size in logical pixels.
    SecondaryLabel(int pixelSize, QWidget *parent = nullptr);
};
