#include "MilestoneDelegate.h"

#include "PanelParts.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/remote/MilestoneListModel.h"

#include <QPainter>
#include <QTextLayout>

namespace {

constexpr int kPad = 11;
constexpr int kSpacing = 4;
constexpr int kKeyLines = 2;

// Lays `text` out in at most `maxLines` lines of `width`, the last one elided; draws it at
// `origin` when `painter` is given. Returns the height.
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
    if (painter) {
        painter->setFont(font);
        for (qsizetype i = 0; i < lines.size(); ++i)
            painter->drawText(QRect(origin.x(), origin.y() + int(i) * metrics.lineSpacing(), width, metrics.height()),
                Qt::AlignLeft | Qt::AlignVCenter, lines.at(i));
    }
    return int(lines.size()) * metrics.lineSpacing();
}

} // namespace

int MilestoneDelegate::layout(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QRect rect = option.rect.adjusted(kPad, kPad, -kPad, -kPad);
    const int width = qMax(40, rect.width());
    const QFont body = PanelParts::font(option.font, PanelParts::kBody);
    const QFont callout = PanelParts::font(option.font, PanelParts::kCallout);
    const QColor primary = option.palette.color(QPalette::Text);
    const QColor secondary = namedColor(NamedColor::Secondary, option.palette);
    int y = rect.top();
    if (painter)
        painter->setPen(primary);
    y += wrappedText(painter, body, PanelParts::oneLine(index.data(Qt::DisplayRole).toString()), {rect.left(), y}, width,
        kKeyLines);
    y += kSpacing;
    y += wrappedText(painter, body, index.data(MilestoneListModel::CountTextRole).toString(), {rect.left(), y}, width, 1);
    if (painter)
        painter->setPen(secondary);
    const auto date = [&](int role, const char *label) {
        const QString text = index.data(role).toString();
        if (text.isEmpty())
            return;
        y += kSpacing;
        y += wrappedText(painter, callout, L10n::text(label) + u' ' + text, {rect.left(), y}, width, 1);
    };
    date(MilestoneListModel::CreatedTextRole, "Milestone.createdAt");
    date(MilestoneListModel::UpdatedTextRole, "Milestone.updatedAt");
    return y + kPad - option.rect.top();
}

QSize MilestoneDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    opt.rect.moveTopLeft({0, 0});
    return {opt.rect.width(), layout(nullptr, opt, index)};
}

void MilestoneDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->save();
    layout(painter, option, index);
    painter->restore();
}
