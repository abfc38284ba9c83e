#include "MorvendaApp/timeline/ColoredMenuAction.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"

#include <QMenu>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

namespace {

constexpr int kSymbolSize = 14;
constexpr int kHorizontalPadding = 12;
constexpr int kVerticalPadding = 4;
constexpr int kGap = 6;

class ColoredMenuRow : public QWidget
{
public:
    ColoredMenuRow(ColoredMenuAction &action, QWidget *parent)
        : QWidget(parent)
        , m_action(action)
    {
        setAttribute(Qt::WA_Hover);
        setMouseTracking(true);
        // The menu's arrow keys focus the row; Return or Space chooses it.
        setFocusPolicy(Qt::StrongFocus);
        // No hover help: the row already shows its whole text, and QAction's default tool tip (the
        // text with every "&" dropped) would be drawn as markup for a name like "<b>Shop</b> & Co".
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        const int note = m_action.note().isEmpty() ? 0 : kGap + QFontMetrics(noteFont()).horizontalAdvance(m_action.note());
        return QSize(kHorizontalPadding * 2 + kSymbolSize + kGap + metrics.horizontalAdvance(m_action.text()) + note,
                     std::max(kSymbolSize, metrics.height()) + 2 * kVerticalPadding);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const bool hovered = (underMouse() || hasFocus()) && isEnabled();
        if (hovered)
            painter.fillRect(rect(), palette().color(QPalette::Highlight));
        const QColor color = hovered ? palette().color(QPalette::HighlightedText) : m_action.color(palette());
        const QRect symbol(kHorizontalPadding, (height() - kSymbolSize) / 2, kSymbolSize, kSymbolSize);
        painter.drawPixmap(symbol, Symbols::pixmap(m_action.symbol(), color, kSymbolSize, devicePixelRatioF()));
        painter.setPen(color);
        const QRect text = rect().adjusted(symbol.right() + 1 + kGap, 0, -kHorizontalPadding, 0);
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, m_action.text());
        if (!m_action.note().isEmpty()) {
            QColor faint = hovered ? color : namedColor(NamedColor::Secondary, palette());
            faint.setAlphaF(faint.alphaF() * 0.8f);
            painter.setPen(faint);
            painter.setFont(noteFont());
            painter.drawText(text.adjusted(QFontMetrics(font()).horizontalAdvance(m_action.text()) + kGap, 0, 0, 0),
                             Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, m_action.note());
        }
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            choose();
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)
            choose();
        else
            QWidget::keyPressEvent(event);
    }

    void focusInEvent(QFocusEvent *event) override
    {
        QWidget::focusInEvent(event);
        update();
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        QWidget::focusOutEvent(event);
        update();
    }

private:
    QFont noteFont() const
    {
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        return small;
    }

    void choose()
    {
        // Close first: the action may rebuild the menu that holds this row.
        for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
            if (auto *menu = qobject_cast<QMenu *>(w)) {
                menu->close();
                break;
            }
        }
        m_action.trigger();
    }

    ColoredMenuAction &m_action;
};

} // namespace

ColoredMenuAction::ColoredMenuAction(const QString &symbol, const QString &text,
                                     std::function<QColor(const QPalette &)> color, QObject *parent)
    : QWidgetAction(parent)
    , m_symbol(symbol)
    , m_color(std::move(color))
{
    setText(text);
}

QWidget *ColoredMenuAction::createWidget(QWidget *parent)
{
    return new ColoredMenuRow(*this, parent);
}
