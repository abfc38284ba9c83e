#include "ChartLegend.h"

#include "ChartSeriesStyle.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/core/L10n.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {
constexpr qreal kSymbol = 8;
constexpr qreal kSymbolGap = 4;
constexpr qreal kEntryGap = 12;

QString moreTextFor(int hidden)
{
    return L10n::tr("Chart.legendMore", qint64(hidden));
}
} // namespace

ChartLegend::ChartLegend(const QList<Chart::Series> &series, const QRectF &area, const QFont &font)
    : m_font(font)
{
    if (area.isEmpty() || series.isEmpty())
        return;
    const QFontMetricsF metrics(font);
    const qreal centerY = area.center().y();
    const auto entryWidth = [&](const QString &name) { return kSymbol + kSymbolGap + metrics.horizontalAdvance(name); };
    qreal x = area.left();
    const qsizetype count = series.size();
    for (qsizetype i = 0; i < count; ++i) {
        const qreal width = entryWidth(series.at(i).name);
        // The last entry needs only its own room; any other must leave room for the "+N more"
        // that would follow it.
        const bool last = i == count - 1;
        const qreal reserve = last ? 0 : kEntryGap + metrics.horizontalAdvance(moreTextFor(int(count - i - 1)));
        if (x + width + reserve > area.right()) {
            m_hidden = int(count - i);
            break;
        }
        m_entries.push_back(Entry{int(i), QRectF(x, centerY - kSymbol / 2, kSymbol, kSymbol),
                                  QRectF(x + kSymbol + kSymbolGap, area.top(), width - kSymbol - kSymbolGap, area.height())});
        x += width + kEntryGap;
    }
    if (m_hidden > 0) {
        const qreal width = metrics.horizontalAdvance(moreTextFor(m_hidden));
        m_more = QRectF(x, area.top(), width, area.height());
    }
}

QString ChartLegend::moreText() const
{
    return m_hidden > 0 ? moreTextFor(m_hidden) : QString();
}

void ChartLegend::paint(QPainter &painter, const QList<Chart::Series> &series, const QPalette &palette) const
{
    painter.save();
    painter.setFont(m_font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QColor text = namedColor(NamedColor::Secondary, palette);
    for (const Entry &entry : m_entries) {
        const Chart::Series &one = series.at(entry.series);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ChartSeriesStyle::color(one.paletteIndex, palette));
        ChartSeriesStyle::paintMarker(painter, entry.symbol.center(), ChartSeriesStyle::marker(one.paletteIndex), kSymbol / 2);
        painter.setPen(text);
        painter.drawText(entry.text.adjusted(0, 0, 2, 0), Qt::AlignVCenter | Qt::AlignLeft, one.name);
    }
    if (m_hidden > 0) {
        painter.setPen(text);
        painter.drawText(m_more.adjusted(0, 0, 2, 0), Qt::AlignVCenter | Qt::AlignLeft, moreText());
    }
    painter.restore();
}
