#include "SymbolButton.h"

#include "Symbols.h"

#include <QEvent>

SymbolButton::SymbolButton(const QString &symbol, QWidget *parent)
    : QToolButton(parent)
    , m_symbol(symbol)
{
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    refreshIcon();
}

void SymbolButton::setSymbol(const QString &symbol)
{
    m_symbol = symbol;
    refreshIcon();
}

void SymbolButton::setTint(std::optional<NamedColor> tint, qreal opacity)
{
    m_tint = tint;
    m_opacity = opacity;
    refreshIcon();
}

void SymbolButton::setSymbolSize(int size)
{
    m_size = size;
    refreshIcon();
}

QColor SymbolButton::symbolColor() const
{
    QColor color = namedColor(m_tint.value_or(NamedColor::Primary), palette());
    color.setAlphaF(float(color.alphaF() * m_opacity));
    return color;
}

void SymbolButton::changeEvent(QEvent *event)
{
    QToolButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        refreshIcon();
}

void SymbolButton::refreshIcon()
{
    setIconSize(QSize(m_size, m_size));
    setIcon(QIcon(Symbols::pixmap(m_symbol, symbolColor(), m_size, devicePixelRatioF())));
}
