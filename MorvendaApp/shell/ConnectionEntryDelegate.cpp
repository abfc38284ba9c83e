#include "ConnectionEntryDelegate.h"

#include "ConnectionListModel.h"

#include "ListSizing.h"

#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kVerticalPadding = 12;
constexpr int kSpacing = 8;
constexpr int kLineSpacing = 4;
constexpr int kMarkSize = 16;
constexpr int kBadgePadding = 2;

QFont calloutFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.92);
    return font;
}

QFont footnoteFont(const QFont &base)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.85);
    return font;
}

QFont badgeFont(const QFont &base)
{
    QFont font = calloutFont(base);
    font.setBold(true);
    return font;
}
} // namespace

struct ConnectionEntryDelegate::Layout
{
    QString title;
    QString userLine; // name and token, each left out when absent
    QString tagLine;
    bool hasUser = false;
    QString badge;
    QFont font;
    int textLeft = 0;
    int height = 0;
};

NamedColor ConnectionEntryDelegate::stateColor(MorvendaConnection::State state)
{
    switch (state) {
    case MorvendaConnection::State::Setup:
    case MorvendaConnection::State::Preparing:
        return NamedColor::Yellow;
    case MorvendaConnection::State::Waiting:
        return NamedColor::Orange;
    case MorvendaConnection::State::Ready:
        return NamedColor::Green;
    case MorvendaConnection::State::Failed:
        return NamedColor::Red;
    case MorvendaConnection::State::Cancelled:
        return NamedColor::Purple;
    }
    return NamedColor::Blue;
}

ConnectionEntryDelegate::Layout ConnectionEntryDelegate::layout(const QStyleOptionViewItem &option,
    const QModelIndex &index) const
{
    Layout l;
    l.font = option.font;
    l.title = L10n::tr("ID: %@", index.data(ConnectionListModel::DisplayNameRole).toString());
    l.hasUser = index.data(ConnectionListModel::HasUserRole).toBool();
    if (l.hasUser) {
        QStringList parts;
        for (const int role : {ConnectionListModel::UserNameRole, ConnectionListModel::UserTokenRole}) {
            const QString part = index.data(role).toString();
            if (!part.isEmpty()) {
                parts.append(part);
            }
        }
        l.userLine = parts.join(QLatin1Char(' '));
        l.tagLine = index.data(ConnectionListModel::UserTagsRole).toStringList().join(QStringLiteral("  "));
    }
    l.badge = index.data(ConnectionListModel::StateTextRole).toString().toUpper();
    l.textLeft = kMarkSize + kSpacing;

    const QFontMetrics base(l.font);
    int height = base.height();
    if (l.hasUser) {
        height += kLineSpacing + QFontMetrics(calloutFont(l.font)).height();
        if (!l.tagLine.isEmpty()) {
            height += kLineSpacing + QFontMetrics(footnoteFont(l.font)).height();
        }
    }
    height += kLineSpacing + QFontMetrics(badgeFont(l.font)).height() + 2 * kBadgePadding;
    l.height = height + 2 * kVerticalPadding;
    return l;
}

QSize ConnectionEntryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Layout l = layout(option, index);
    const QFontMetrics metrics(l.font);
    const int width = l.textLeft + std::max(metrics.horizontalAdvance(l.title),
        QFontMetrics(badgeFont(l.font)).horizontalAdvance(l.badge) + 2 * kBadgePadding);
    return {width + 8, l.height};
}

void ConnectionEntryDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = {};
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

    const Layout l = layout(option, index);
    const QRect rect = option.rect.adjusted(4, kVerticalPadding, -4, -kVerticalPadding);
    // On the selection highlight the texts take the highlight's text colour to stay legible.
    const bool highlighted = option.state.testFlag(QStyle::State_Selected);
    const QColor text = option.palette.color(highlighted ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = namedColor(NamedColor::Secondary, option.palette);
    if (highlighted) {
        secondary = text;
        secondary.setAlphaF(0.75f);
    }

    painter->save();
    const bool selected = index.data(ConnectionListModel::IsSelectedRole).toBool();
    const QPixmap mark = Symbols::pixmap(selected ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"),
        text, kMarkSize, painter->device()->devicePixelRatioF());
    painter->drawPixmap(rect.left(), rect.center().y() - kMarkSize / 2, mark);

    const int left = rect.left() + l.textLeft;
    const int width = rect.right() - left;
    int y = rect.top();
    const auto drawLine = [&](const QFont &font, const QColor &colour, const QString &line) {
        const QFontMetrics metrics(font);
        painter->setFont(font);
        painter->setPen(colour);
        // Plain text only: what an app sends is never interpreted.
        painter->drawText(QRect(left, y, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(line, Qt::ElideRight, width));
        y += metrics.height() + kLineSpacing;
    };
    drawLine(l.font, text, l.title);
    if (l.hasUser) {
        drawLine(calloutFont(l.font), secondary, l.userLine);
        if (!l.tagLine.isEmpty()) {
            drawLine(footnoteFont(l.font), text, l.tagLine);
        }
    }

    const QFont font = badgeFont(l.font);
    const QFontMetrics metrics(font);
    const QString badge = metrics.elidedText(l.badge, Qt::ElideRight, width - 2 * kBadgePadding);
    const QRect badgeRect(left, y, metrics.horizontalAdvance(badge) + 2 * kBadgePadding,
        metrics.height() + 2 * kBadgePadding);
    const auto state = MorvendaConnection::State(index.data(ConnectionListModel::StateRole).toInt());
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(badgeRect, 2, 2);
    painter->fillPath(path, namedColor(stateColor(state), option.palette));
    painter->setFont(font);
    painter->setPen(Qt::black);
    painter->drawText(badgeRect, Qt::AlignCenter, badge);
    drawRowSeparator(painter, option);
    painter->restore();
}
