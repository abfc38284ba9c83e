#include "MorvendaApp/timeline/QuickFilterChip.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

QuickFilterChip::QuickFilterChip(QuickFilter filter, QWidget *parent)
    : QToolButton(parent)
    , m_filter(filter)
{
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setAutoRaise(true);
    setText(QuickFilters::title(filter));
    setToolTip(QuickFilters::hover(filter).toHtmlEscaped());
    setIconSize(QSize(14, 14));
    refreshIcon();
}

void QuickFilterChip::setChosen(bool chosen)
{
    m_chosen = chosen;
    update();
}

void QuickFilterChip::paintEvent(QPaintEvent *event)
{
    if (m_chosen) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = namedColor(NamedColor::Accent, palette());
        fill.setAlphaF(0.5f);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 4, 4);
        painter.fillPath(path, fill);
    }
    QToolButton::paintEvent(event);
}

void QuickFilterChip::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        refreshIcon();
    QToolButton::changeEvent(event);
}

void QuickFilterChip::refreshIcon()
{
    setIcon(Symbols::icon(QuickFilters::symbol(m_filter), namedColor(NamedColor::Primary, palette()), 14));
}
