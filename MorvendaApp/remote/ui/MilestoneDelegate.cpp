#include "MilestoneDelegate.h"

#include "PanelParts.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/remote/MilestoneListModel.h"

#include <QPainter>
#include <QTextLayout>

#include <cmath>

namespace {

constexpr int kSpacing = 4;
constexpr int kKeyLines = 2;
constexpr qsizetype kMaxMeasuredKeys = 200000;

// Lays `text` out in at most `maxLines` lines of `width`, the last one elided, and draws it at
// `origin`. Returns the height.
int wrappedText(QPainter *painter, const QFont &font, const QString &text, QPoint origin, int width, int maxLines)
{
    const QFontMetrics metrics(font);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    qsizetype consumed = 0;
    while (lines.size() < maxLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lines.append(text.mid(line.textStart(), line.textLength()));
        consumed = line.textStart() + line.textLength();
    }
    layout.endLayout();
    if (lines.isEmpty())
        lines.append(QString());
    if (consumed < text.size())
        lines.last() = metrics.elidedText(lines.last() + text.mid(consumed, 256), Qt::ElideRight, width);
    painter->setFont(font);
    for (qsizetype i = 0; i < lines.size(); ++i)
        painter->drawText(QRect(origin.x(), origin.y() + int(i) * metrics.lineSpacing(), width, metrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter, lines.at(i));
    return int(lines.size()) * metrics.lineSpacing();
}

} // namespace

MilestoneDelegate::Measures &MilestoneDelegate::measures(const QFont &base) const
{
    if (m_measured && base == m_measures.base)
        return m_measures;
    Measures &m = m_measures;
    m.base = base;
    m.body = PanelParts::font(base, PanelParts::kBody);
    m.callout = PanelParts::font(base, PanelParts::kCallout);
    const QFontMetricsF body(m.body);
    m.bodyLine = QFontMetrics(m.body).lineSpacing();
    m.calloutLine = QFontMetrics(m.callout).lineSpacing();
    m.widths.clear();
    m.otherAdvances.clear();
    m.kerned.fill(false);
    for (std::size_t i = 0; i < m.advances.size(); ++i)
        m.advances[i] = body.horizontalAdvance(QChar(char16_t(0x20 + i)));
    m_measured = true;
    return m;
}

int MilestoneDelegate::keyLines(Measures &m, const QString &key, int width) const
{
    // Summed advances and pair kerning of plain ASCII come within a pixel of the shaped width:
    // away from the edge they decide; near it, and for other text, the key is measured.
    qreal estimate = 0;
    bool plain = true;
    int previous = -1;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u > 0x7E) {
            plain = false;
            break;
        }
        const int i = u - 0x20;
        estimate += m.advances[std::size_t(i)];
        if (previous >= 0)
            estimate += kerning(m, previous, i);
        previous = i;
    }
    if (plain && std::abs(estimate - width) > 2)
        return estimate <= width ? 1 : kKeyLines;
    // Other text is summed without its kerning, so only a wide margin from the edge decides.
    if (!plain) {
        if (const std::optional<qreal> other = otherEstimate(m, key);
            other && std::abs(*other - width) > std::max<qreal>(4, *other * 0.08))
            return *other <= width ? 1 : kKeyLines;
    }
    auto known = m.widths.constFind(key);
    if (known == m.widths.cend()) {
        // Bounded: a long session of changing keys starts the cache over.
        if (m.widths.size() >= kMaxMeasuredKeys)
            m.widths.clear();
        known = m.widths.insert(key, QFontMetricsF(m.body).horizontalAdvance(key));
    }
    return *known <= width ? 1 : kKeyLines;
}

std::optional<qreal> MilestoneDelegate::otherEstimate(Measures &m, const QString &key) const
{
    qreal estimate = 0;
    for (const QChar c : key) {
        // Scripts whose characters keep their advance when shaped; marks, surrogates, controls and
        // the joining and reordering scripts are measured whole.
        switch (c.script()) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Greek:
        case QChar::Script_Cyrillic:
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Hangul:
            break;
        default:
            return std::nullopt;
        }
        if (c.isMark() || c.isSurrogate() || !c.isPrint())
            return std::nullopt;
        const char16_t u = c.unicode();
        if (u >= 0x20 && u <= 0x7E) {
            estimate += m.advances[std::size_t(u - 0x20)];
            continue;
        }
        auto known = m.otherAdvances.constFind(u);
        if (known == m.otherAdvances.cend())
            known = m.otherAdvances.insert(u, QFontMetricsF(m.body).horizontalAdvance(c));
        estimate += *known;
    }
    return estimate;
}

qreal MilestoneDelegate::kerning(Measures &m, int first, int second) const
{
    auto &row = m.kerning[std::size_t(first)];
    if (!m.kerned[std::size_t(first)]) {
        const QFontMetricsF metrics(m.body);
        QString pair(2, QChar(char16_t(0x20 + first)));
        for (std::size_t i = 0; i < row.size(); ++i) {
            pair[1] = QChar(char16_t(0x20 + i));
            row[i] = metrics.horizontalAdvance(pair) - m.advances[std::size_t(first)] - m.advances[i];
        }
        m.kerned[std::size_t(first)] = true;
    }
    return row[std::size_t(second)];
}

int MilestoneDelegate::height(const Measures &m, int lines, int dates) const
{
    return 2 * kPadding + lines * m.bodyLine + kSpacing + m.bodyLine + dates * (kSpacing + m.calloutLine);
}

QSize MilestoneDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    Measures &m = measures(option.font);
    const int width = qMax(40, option.rect.width() - 2 * kPadding);
    const QString key = PanelParts::oneLine(index.data(Qt::DisplayRole).toString());
    const int dates = index.data(MilestoneListModel::DateCountRole).toInt();
    return {option.rect.width(), height(m, keyLines(m, key, width), dates)};
}

void MilestoneDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    Measures &m = measures(option.font);
    const QRect rect = option.rect.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const int width = qMax(40, rect.width());
    const QString key = PanelParts::oneLine(index.data(Qt::DisplayRole).toString());
    const int lines = keyLines(m, key, width);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Text));
    int y = rect.top();
    wrappedText(painter, m.body, key, {rect.left(), y}, width, lines);
    y += lines * m.bodyLine + kSpacing;
    y += wrappedText(painter, m.body, index.data(MilestoneListModel::CountTextRole).toString(), {rect.left(), y}, width, 1);
    painter->setPen(namedColor(NamedColor::Secondary, option.palette));
    const auto date = [&](int role, const char *label) {
        const QString text = index.data(role).toString();
        if (text.isEmpty())
            return;
        y += kSpacing;
        y += wrappedText(painter, m.callout, L10n::text(label) + u' ' + text, {rect.left(), y}, width, 1);
    };
    date(MilestoneListModel::CreatedTextRole, "Milestone.createdAt");
    date(MilestoneListModel::UpdatedTextRole, "Milestone.updatedAt");
    painter->restore();
}
