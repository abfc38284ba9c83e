#include "SelectionChipButton.h"

#include "Symbols.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr qreal kCornerRadius = 4;
constexpr int kPaddingX = 8;
constexpr int kPaddingY = 4;
} // namespace

SelectionChipButton::SelectionChipButton(const QString &symbol, QWidget *parent)
    : SymbolButton(symbol, parent)
{
    setCursor(Qt::PointingHandCursor);
}

void SelectionChipButton::setCurrent(bool current)
{
    m_current = current;
    update();
}

QColor SelectionChipButton::fillColor() const
{
    QColor fill = namedColor(m_current ? NamedColor::Accent : NamedColor::Secondary, palette());
    if (m_current)
        fill.setAlphaF(0.5f);
    return fill;
}

QSize SelectionChipButton::sizeHint() const
{
    return iconSize() + QSize(2 * kPaddingX, 2 * kPaddingY);
}

void SelectionChipButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
    QColor fill = fillColor();
    if (isDown())
        fill = fill.darker(120);
    painter.fillPath(shape, fill);
    // The symbol stays readable on the fill as it looks over the window: dark on a light fill.
    const QColor window = palette().color(QPalette::Window);
    const auto blend = [&](int over, int under) { return fill.alphaF() * over + (1 - fill.alphaF()) * under; };
    const qreal luminance = (0.299 * blend(fill.red(), window.red()) + 0.587 * blend(fill.green(), window.green())
                                + 0.114 * blend(fill.blue(), window.blue())) / 255;
    const QColor symbol = luminance > 0.6 ? QColor(30, 30, 30) : QColor(Qt::white);
    const QSize size = iconSize();
    const QPixmap pixmap = Symbols::pixmap(this->symbol(), symbol, size.width(), devicePixelRatioF());
    painter.drawPixmap(QPointF((width() - size.width()) / 2.0, (height() - size.height()) / 2.0), pixmap);
}
