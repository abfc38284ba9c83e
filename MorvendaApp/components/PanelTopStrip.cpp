#include "PanelTopStrip.h"

#include "ExternalWindowButton.h"
#include "NamedColors.h"

#include <QPainter>

namespace {

// The note: left of it, and its text size.
constexpr int kNoteInset = 12;
constexpr int kNotePixelSize = 10;

} // namespace

PanelTopStrip::PanelTopStrip(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(externalWindowStripHeight());
    QFont caption = font();
    caption.setPixelSize(kNotePixelSize);
    caption.setBold(true);
    setFont(caption);
}

void PanelTopStrip::setNote(const QString &note)
{
    m_note = note;
    setToolTip(m_note);
    setAccessibleName(m_note);
    update();
}

void PanelTopStrip::paintEvent(QPaintEvent *)
{
    if (m_note.isEmpty())
        return;
    QPainter painter(this);
    QColor color = namedColor(NamedColor::Red, palette());
    if (!isDarkPalette(palette()))
        color = color.darker(140);
    painter.setPen(color);
    const QRect area = rect().adjusted(kNoteInset, 0, -externalWindowButtonPlace(), 0);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(m_note, Qt::ElideRight, area.width()));
}
