// A label that shows a symbol in a named colour, redrawn when the palette or the style changes,
// so a scheme switch never leaves it in the old scheme's colour. Main thread only.
#pragma once

#include "NamedColors.h"

#include <QLabel>

class SymbolLabel : public QLabel
{
    Q_OBJECT

public:
    SymbolLabel(const QString &symbol, NamedColor tint, int logicalSize, QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void refreshPixmap();

    QString m_symbol;
    NamedColor m_tint;
    int m_size;
};
