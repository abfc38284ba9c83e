#include "ConnectionEntryDelegate.h"

#include "ConnectionListModel.h"

#include "ListSizing.h"

#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/users/ui/UserImages.h"
#include "MorvendaApp/users/ui/UserTags.h"
#include "MorvendaApp/users/CountryFlagMapper.h"

#include <QAbstractItemView>
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
    QList<UserTag> tags;
    UserImages::Content images;
    QSize imagesSize;
    bool hasUser = false;
    QString badge;
    QFont font;
    int textLeft = 0;
    int height = 0;
};

ConnectionEntryDelegate::ConnectionEntryDelegate(AvatarLoader &avatars, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_avatars(avatars)
{
}

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
        for (const QString &raw : index.data(ConnectionListModel::UserTagsRole).toStringList()) {
            if (const std::optional<UserTag> tag = userTagFromRawValue(raw)) {
                l.tags.append(*tag);
            }
        }
        const QUrl picture = index.data(ConnectionListModel::UserImageUrlRole).toUrl();
        const QVariant country = index.data(ConnectionListModel::UserCountryRole);
        const qreal dpr = option.widget ? option.widget->devicePixelRatioF() : qApp->devicePixelRatio();
        if (!picture.isEmpty()) {
            l.images.picture = m_avatars.picture(picture, qRound(kPictureSize * dpr));
        }
        const QString countryText = country.toString();
        l.images.flag = CountryFlagMapper().flag(countryText.isNull() ? std::nullopt : std::optional(countryText));
        l.imagesSize = UserImages::sizeFor(l.images, kPictureSize, l.font);
    }
    l.badge = index.data(ConnectionListModel::StateTextRole).toString().toUpper();
    l.textLeft = kMarkSize + kSpacing;

    const QFontMetrics base(l.font);
    int height = base.height();
    if (l.hasUser) {
        height += kLineSpacing + std::max(QFontMetrics(calloutFont(l.font)).height(), l.imagesSize.height());
        // Before the list's first layout the option may carry no width: the viewport's is the row's.
        const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
        const int rowWidth = view ? view->viewport()->width() : option.rect.width();
        const int width = rowWidth - 8 - l.textLeft;
        if (const int tags = UserTags::heightForWidth(l.tags, footnoteFont(l.font), std::max(width, 40)); tags > 0) {
            height += kLineSpacing + tags;
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
        // The picture and flag lead the user's line; the name and token follow, centred on it.
        const QFont callout = calloutFont(l.font);
        const int lineHeight = std::max(QFontMetrics(callout).height(), l.imagesSize.height());
        UserImages::paint(painter, QPoint(left, y + (lineHeight - l.imagesSize.height()) / 2), kPictureSize, l.images,
            option.palette, l.font);
        const int shift = l.imagesSize.width() > 0 ? l.imagesSize.width() + kSpacing : 0;
        const QFontMetrics metrics(callout);
        painter->setFont(callout);
        painter->setPen(secondary);
        painter->drawText(QRect(left + shift, y, width - shift, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(l.userLine, Qt::ElideRight, width - shift));
        y += lineHeight + kLineSpacing;
        const int tags = UserTags::paint(painter, QPoint(left, y), width, l.tags, footnoteFont(l.font), option.palette);
        if (tags > 0) {
            y += tags + kLineSpacing;
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
