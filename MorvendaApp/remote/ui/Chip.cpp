#include "Chip.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"

#include <QPainter>
#include <QPainterPath>

namespace Chip {
namespace {

constexpr int kPaddingX = 7;
constexpr int kPaddingY = 3;
constexpr int kRadius = 4;

int symbolSize(const QFontMetrics &metrics)
{
    return metrics.height() - 2;
}

} // namespace

QSize sizeFor(const QFontMetrics &metrics, const QString &symbol, const QString &title)
{
    int width = metrics.horizontalAdvance(title) + 2 * kPaddingX;
    if (!symbol.isEmpty())
        width += symbolSize(metrics) + metrics.horizontalAdvance(u' ');
    return {width, metrics.height() + 2 * kPaddingY};
}

void paint(QPainter &painter, const QRect &rect, const QPalette &palette, const QString &symbol,
    const QString &title, bool selected, bool enabled)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = selected ? namedColor(NamedColor::Accent, palette) : namedColor(NamedColor::Secondary, palette);
    fill.setAlphaF(fill.alphaF() * (selected ? 0.5f : 0.35f) * (enabled ? 1.0f : 0.5f));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect), kRadius, kRadius);
    painter.fillPath(shape, fill);

    QColor text = palette.color(QPalette::Text);
    if (!enabled)
        text.setAlphaF(0.4f);
    const QFontMetrics metrics = painter.fontMetrics();
    int x = rect.left() + kPaddingX;
    if (!symbol.isEmpty()) {
        const int size = symbolSize(metrics);
        const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        painter.drawPixmap(x, rect.center().y() - size / 2 + 1, Symbols::pixmap(symbol, text, size, ratio));
        x += size + metrics.horizontalAdvance(u' ');
    }
    painter.setPen(text);
    painter.drawText(QRect(x, rect.top(), rect.right() - x, rect.height()), Qt::AlignVCenter | Qt::AlignLeft, title);
    painter.restore();
}

} // namespace Chip

ChipButton::ChipButton(const QString &symbol, const QString &title, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
{
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ChipButton::setSelected(bool selected)
{
    m_selected = selected;
    update();
}

QSize ChipButton::sizeHint() const
{
    return Chip::sizeFor(fontMetrics(), m_symbol, text());
}

void ChipButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Chip::paint(painter, rect(), palette(), m_symbol, text(), isSelected(), isEnabled());
}
