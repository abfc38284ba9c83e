#include "SymbolLabel.h"

#include "Symbols.h"

#include <QEvent>

SymbolLabel::SymbolLabel(const QString &symbol, NamedColor tint, int logicalSize, QWidget *parent)
    : QLabel(parent), m_symbol(symbol), m_tint(tint), m_size(logicalSize)
{
    refreshPixmap();
}

void SymbolLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        refreshPixmap();
}

void SymbolLabel::refreshPixmap()
{
    setPixmap(Symbols::pixmap(m_symbol, namedColor(m_tint, palette()), m_size, devicePixelRatioF()));
}
