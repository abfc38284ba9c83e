#include "ConnectionEntryDelegate.h"

#include "ConnectionListModel.h"

#include "ListSizing.h"

#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/users/ui/UserImages.h"
#include "MorvendaApp/users/ui/UserTags.h"
#include "MorvendaApp/users/CountryFlagMapper.h"
#include "MorvendaModel/ShownText.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <limits>

namespace {
constexpr int kVerticalPadding = 12;
constexpr int kSpacing = 8;
constexpr int kLineSpacing = 4;
constexpr int kMarkSize = 16;
constexpr int kBadgePadding = 2;
// A row shows this many rows of tag chips at most, the last one ending in the count of the
// others: an app may report tens of thousands of tags, and the row stays a row.
constexpr int kMaxTagRows = 3;

// The width a row's tags wrap in: the row less its margins and the selection mark, at least 40.
int tagWidthIn(int rowWidth)
{
    return std::max(rowWidth - 8 - (kMarkSize + kSpacing), 40);
}

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
    QList<UserTag> tags; // those shown
    qsizetype moreTags = 0; // those left out, counted on the last chip
    UserImages::Content images;
    QSize imagesSize;
    bool hasUser = false;
    QString badge;
    QFont font;
    int textLeft = 0;
    int tagWidth = 0;        // the width the tags wrap in
    int oneLineTagWidth = 0; // the width the tags take on one line; 0 without tags
    int height = 0;
};

ConnectionEntryDelegate::ConnectionEntryDelegate(AvatarLoader &avatars, QAbstractItemView *view)
    : QStyledItemDelegate(view)
    , m_avatars(avatars)
    , m_view(view)
{
    if (view && view->model()) {
        followModel();
        view->viewport()->installEventFilter(this);
        m_viewportWidth = view->viewport()->width();
    }
}

void ConnectionEntryDelegate::followModel()
{
    QAbstractItemModel *model = m_view->model();
    m_sizes.resize(model->rowCount());
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &parent, int first, int last) {
        if (!parent.isValid() && first <= m_sizes.size())
            m_sizes.insert(first, last - first + 1, std::nullopt);
        else
            forgetAllRows();
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &parent, int first, int last) {
        if (!parent.isValid() && last < m_sizes.size())
            m_sizes.remove(first, last - first + 1);
        else
            forgetAllRows();
    });
    connect(model, &QAbstractItemModel::rowsMoved, this, &ConnectionEntryDelegate::forgetAllRows);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ConnectionEntryDelegate::forgetAllRows);
    connect(model, &QAbstractItemModel::modelReset, this, &ConnectionEntryDelegate::forgetAllRows);
    connect(model, &QAbstractItemModel::dataChanged, this, &ConnectionEntryDelegate::rowsChanged);
}

void ConnectionEntryDelegate::forgetAllRows()
{
    m_sizes.clear();
    m_elided.clear();
    if (m_view && m_view->model())
        m_sizes.resize(m_view->model()->rowCount());
}

// The remembered size serves only rows of the followed model while it is in step with it: a
// structural change still being announced is measured afresh.
bool ConnectionEntryDelegate::caches(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return m_view && option.widget == m_view && index.model() == m_view->model() && !index.parent().isValid()
        && m_sizes.size() == index.model()->rowCount();
}

// The option the view hands its delegate, as far as measuring reads it (font and width).
QStyleOptionViewItem ConnectionEntryDelegate::viewOption() const
{
    QStyleOptionViewItem option;
    option.initFrom(m_view);
    option.font = m_view->font();
    option.widget = m_view;
    return option;
}

// A row's data changed: measure it again at once, and lay the view out again only when its height
// changed. The selection mark and the badge's colour never change a size.
void ConnectionEntryDelegate::rowsChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
    const QList<int> &roles)
{
    static const QList<int> sizeless = {ConnectionListModel::IsSelectedRole, ConnectionListModel::StateRole};
    if (!roles.isEmpty() && std::all_of(roles.cbegin(), roles.cend(), [](int role) { return sizeless.contains(role); }))
        return;
    if (!m_view)
        return;
    const QStyleOptionViewItem option = viewOption();
    if (!caches(option, topLeft))
        return;
    for (int row = topLeft.row(); row <= bottomRight.row() && row < m_sizes.size(); ++row) {
        if (!m_sizes[row])
            continue;
        const int before = m_sizes[row]->size.height();
        m_sizes[row].reset();
        const QModelIndex index = topLeft.siblingAtRow(row);
        if (sizeHint(option, index).height() != before)
            relayoutSoon(index);
    }
}

bool ConnectionEntryDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && m_view && watched == m_view->viewport()) {
        const int width = m_view->viewport()->width();
        if (width != m_viewportWidth) {
            m_viewportWidth = width;
            widthChanged();
        }
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

// Only rows whose tags wrap differently at the new width are measured again.
void ConnectionEntryDelegate::widthChanged()
{
    const int tagWidth = tagWidthIn(m_viewportWidth);
    int stale = -1;
    for (int row = 0; row < m_sizes.size(); ++row) {
        if (m_sizes[row] && !m_sizes[row]->holdsAt(tagWidth)) {
            m_sizes[row].reset();
            if (stale < 0)
                stale = row;
        }
    }
    if (stale >= 0)
        relayoutSoon(m_view->model()->index(stale, 0));
}

// Once per turn of the event loop, and never from inside the viewport's own resize.
void ConnectionEntryDelegate::relayoutSoon(const QModelIndex &index)
{
    if (m_relayoutPending)
        return;
    m_relayoutPending = true;
    QMetaObject::invokeMethod(this, [this, index = QPersistentModelIndex(index)] {
        m_relayoutPending = false;
        emit sizeHintChanged(index);
    }, Qt::QueuedConnection);
}

QString ConnectionEntryDelegate::elided(const QModelIndex &index, int line, const QString &text, const QFont &font,
    int width) const
{
    ElidedLine &known = m_elided[qint64(index.row()) * 2 + line];
    if (known.width != width || known.font != font || known.text != text) {
        known = ElidedLine{text, font, width, QFontMetrics(font).elidedText(text, Qt::ElideRight, width)};
    }
    return known.shown;
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
    const QModelIndex &index, bool loadPicture) const
{
    Layout l;
    l.font = option.font;
    l.title = L10n::tr("ID: %@", ShownText::cut(index.data(ConnectionListModel::DisplayNameRole).toString()));
    l.hasUser = index.data(ConnectionListModel::HasUserRole).toBool();
    if (l.hasUser) {
        QStringList parts;
        for (const int role : {ConnectionListModel::UserNameRole, ConnectionListModel::UserTokenRole}) {
            const QString part = ShownText::cut(index.data(role).toString());
            if (!part.isEmpty()) {
                parts.append(part);
            }
        }
        l.userLine = parts.join(QLatin1Char(' '));
        const QUrl picture = index.data(ConnectionListModel::UserImageUrlRole).toUrl();
        const QVariant country = index.data(ConnectionListModel::UserCountryRole);
        const qreal dpr = option.widget ? option.widget->devicePixelRatioF() : qApp->devicePixelRatio();
        if (!picture.isEmpty()) {
            l.images.picture = loadPicture ? m_avatars.picture(picture, qRound(kPictureSize * dpr)) : AvatarLoader::Picture();
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
        l.tagWidth = tagWidthIn(rowWidth);
        const UserTags::Metrics tagMetrics(footnoteFont(l.font));
        const QList<UserTag> all = index.data(ConnectionListModel::UserTagsRole).value<QList<UserTag>>();
        // Only the tags the rows can show are read.
        const qsizetype considered = std::min(all.size(), UserTags::capacity(tagMetrics, l.tagWidth, kMaxTagRows) + 1);
        UserTags::Shown shown = UserTags::firstRows(all.first(considered), all.size(), tagMetrics, l.tagWidth, kMaxTagRows);
        l.tags = std::move(shown.tags);
        l.moreTags = shown.more;
        if (const int tagsHeight = UserTags::heightForWidth(l.tags, tagMetrics, l.tagWidth, l.moreTags); tagsHeight > 0) {
            height += kLineSpacing + tagsHeight;
            // With tags left out the rows are full at any width: only this width's size holds.
            l.oneLineTagWidth = l.moreTags > 0 ? std::numeric_limits<int>::max() : UserTags::oneRowWidth(l.tags, tagMetrics.font());
        }
    }
    height += kLineSpacing + QFontMetrics(badgeFont(l.font)).height() + 2 * kBadgePadding;
    l.height = height + 2 * kVerticalPadding;
    return l;
}

ConnectionEntryDelegate::Measured ConnectionEntryDelegate::measure(const QStyleOptionViewItem &option,
    const QModelIndex &index) const
{
    const Layout l = layout(option, index, false);
    const QFontMetrics metrics(l.font);
    const int width = l.textLeft + std::max(metrics.horizontalAdvance(l.title),
        QFontMetrics(badgeFont(l.font)).horizontalAdvance(l.badge) + 2 * kBadgePadding);
    return {QSize(width + 8, l.height), l.tagWidth, l.oneLineTagWidth};
}

QSize ConnectionEntryDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!caches(option, index))
        return measure(option, index).size;
    if (option.font != m_sizesFont) {
        m_sizes.fill(std::nullopt);
        m_sizesFont = option.font;
    }
    std::optional<Measured> &known = m_sizes[index.row()];
    const int tagWidth = tagWidthIn(m_view->viewport()->width());
    if (!known || !known->holdsAt(tagWidth))
        known = measure(option, index);
    return known->size;
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

    const Layout l = layout(option, index, true);
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
    {
        const QFontMetrics metrics(l.font);
        painter->setFont(l.font);
        painter->setPen(text);
        // Plain text only: what an app sends is never interpreted.
        painter->drawText(QRect(left, y, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
            elided(index, 0, l.title, l.font, width));
        y += metrics.height() + kLineSpacing;
    }
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
            elided(index, 1, l.userLine, callout, width - shift));
        y += lineHeight + kLineSpacing;
        // At the width the row was measured at, so the chips take the rows it made room for.
        const int tags = UserTags::paint(painter, QPoint(left, y), l.tagWidth, l.tags, footnoteFont(l.font), option.palette,
            l.moreTags);
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
