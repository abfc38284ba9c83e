#include "ImpersonateUserDelegate.h"

#include "AppBadge.h"
#include "AvatarLoader.h"
#include "ImpersonationListModel.h"
#include "UserImages.h"
#include "UserTags.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/ActiveApp.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/users/CountryFlagMapper.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace {

constexpr int kRowPaddingX = 4;
constexpr int kRowPaddingY = 2;
constexpr int kAvatarPadding = 4;
constexpr int kStarSize = 16;
constexpr int kBadgeSize = 15;
constexpr int kCornerOffset = 30; // flag and badge sit this far down (and the flag right) of the block
constexpr int kColumnGap = 8;
constexpr int kLineGap = 3;
constexpr int kRingWidth = 3;
constexpr int kNotesPadding = 4;
constexpr int kHeaderHeight = 28;
constexpr int kHeaderSymbolSize = 14;

QFont sized(const QFont &base, int pixelSize, bool bold = false)
{
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont captionFont(const QFont &base) { return sized(base, 10); }
QFont subheadlineFont(const QFont &base) { return sized(base, 11); }
QFont title3Font(const QFont &base) { return sized(base, 15); }

// What the darkening for the light scheme does to a colour: brightness lowered by 0.4.
QColor darkenedForLightMode(QColor colour, const QPalette &palette)
{
    if (isDarkPalette(palette)) {
        return colour;
    }
    return QColor::fromRgbF(colour.redF() * 0.6f, colour.greenF() * 0.6f, colour.blueF() * 0.6f, colour.alphaF());
}

std::optional<AppBadge::App> badgeApp(const ImpersonateUserData &user)
{
    if (user.retailerToken) {
        return AppBadge::App::Retailer;
    }
    if (user.brandToken) {
        return AppBadge::App::Brand;
    }
    return std::nullopt;
}

QString tokensLine(const ImpersonateUserData &user)
{
    QStringList parts;
    for (const std::optional<QString> &token : {std::optional<QString>(user.userToken), user.brandToken, user.retailerToken}) {
        if (token && !token->isEmpty()) {
            parts.append(*token);
        }
    }
    return parts.join(QStringLiteral("  "));
}

QString nameSymbol(bool current)
{
    return current ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("arrow.up.and.person.rectangle.portrait");
}

} // namespace

ImpersonateUserDelegate::ImpersonateUserDelegate(MorvendaListener &session, const ActiveApp &app,
    UserManager &userManager, AvatarLoader &avatars, Actions actions, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_session(session)
    , m_app(app)
    , m_userManager(userManager)
    , m_avatars(avatars)
    , m_actions(std::move(actions))
{
}

bool ImpersonateUserDelegate::isCurrentUser(const MorvendaListener &session, const UserManager &userManager,
    const ImpersonateUserData &user)
{
    const MorvendaListener::ConnectionPtr connection = session.activeConnection();
    if (!connection) {
        return false;
    }
    const auto found = userManager.users().constFind(connection->displayName());
    return found != userManager.users().cend() && found->token() && *found->token() == user.userToken;
}

ImpersonateUserDelegate::Geometry ImpersonateUserDelegate::geometry(const QStyleOptionViewItem &option,
    const ImpersonateUserData &user) const
{
    Geometry g;
    const QRect row = option.rect;
    const int left = row.left() + kRowPaddingX;
    const int right = row.right() - kRowPaddingX;
    const int top = row.top() + kRowPaddingY;

    const QPoint block(left, top);
    g.avatar = QRect(block + QPoint(kAvatarPadding, kAvatarPadding), QSize(kAvatarSize, kAvatarSize));
    g.star = QRect(block, QSize(kStarSize, kStarSize));
    if (const std::optional<QString> flag = CountryFlagMapper().flag(user.country)) {
        const QFontMetrics metrics(title3Font(option.font));
        g.flag = QRect(block + QPoint(kCornerOffset, kCornerOffset), QSize(metrics.horizontalAdvance(*flag), metrics.height()));
    }
    if (badgeApp(user)) {
        g.badge = QRect(block + QPoint(0, kCornerOffset), QSize(kBadgeSize, kBadgeSize));
    }
    const int blockBottom = std::max({g.avatar.bottom() + kAvatarPadding, g.flag.isValid() ? g.flag.bottom() : 0,
        g.badge.isValid() ? g.badge.bottom() : 0});

    const int x = left + kAvatarSize + 2 * kAvatarPadding + kColumnGap;
    const int width = std::max(40, right - x);
    int y = top;
    const QFontMetrics body(option.font);
    const int nameWidth = body.horizontalAdvance(user.name) + body.height() + 4;
    g.name = QRect(x, y, std::min(width, nameWidth), body.height());
    y = g.name.bottom() + 1 + kLineGap;
    if (user.tags) {
        const int height = UserTags::heightForWidth(*user.tags, captionFont(option.font), width);
        g.tags = QRect(x, y, width, height);
        y += height + (height > 0 ? kLineGap : 0);
    }
    if (user.email && !user.email->isEmpty()) {
        g.email = QRect(x, y, width, QFontMetrics(subheadlineFont(option.font)).height());
        y = g.email.bottom() + 1 + kLineGap;
    }
    g.tokens = QRect(x, y, width, QFontMetrics(captionFont(option.font)).height());
    y = g.tokens.bottom() + 1;

    const int notesTop = std::max(y, blockBottom + 1) + 2;
    g.notes = QRect(left, notesTop, right - left, QFontMetrics(captionFont(option.font)).height() + 2 * kNotesPadding);
    g.height = g.notes.bottom() + 1 + kRowPaddingY - row.top();
    return g;
}

QSize ImpersonateUserDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (index.data(ImpersonationListModel::IsHeaderRole).toBool()) {
        return {option.rect.width(), kHeaderHeight};
    }
    const auto user = index.data(ImpersonationListModel::RecordRole).value<ImpersonateUserData>();
    QStyleOptionViewItem sized = option;
    // The list gives each row its whole width; before the first layout the rect may be empty.
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget)) {
        sized.rect.setWidth(view->viewport()->width());
    }
    sized.rect.moveTopLeft({0, 0});
    return {sized.rect.width(), geometry(sized, user).height};
}

void ImpersonateUserDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (index.data(ImpersonationListModel::IsHeaderRole).toBool()) {
        paintHeader(painter, option, index);
        return;
    }
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);
    paintUser(painter, option, index.data(ImpersonationListModel::RecordRole).value<ImpersonateUserData>());
}

void ImpersonateUserDelegate::paintHeader(QPainter *painter, const QStyleOptionViewItem &option,
    const QModelIndex &index) const
{
    painter->save();
    const QColor colour = namedColor(NamedColor::Secondary, option.palette);
    const QRect rect = option.rect.adjusted(kRowPaddingX, 0, -kRowPaddingX, 0);
    const QPixmap symbol = Symbols::pixmap(index.data(ImpersonationListModel::SymbolRole).toString(), colour,
        kHeaderSymbolSize, painter->device()->devicePixelRatioF());
    painter->drawPixmap(rect.left(), rect.center().y() - kHeaderSymbolSize / 2, symbol);
    painter->setFont(sized(option.font, 11, true));
    painter->setPen(colour);
    painter->drawText(rect.adjusted(kHeaderSymbolSize + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
        index.data(Qt::DisplayRole).toString());
    painter->restore();
}

void ImpersonateUserDelegate::paintUser(QPainter *painter, const QStyleOptionViewItem &option,
    const ImpersonateUserData &user) const
{
    const Geometry g = geometry(option, user);
    const QPalette &palette = option.palette;
    const bool highlighted = option.state.testFlag(QStyle::State_Selected);
    const QColor primary = highlighted ? palette.color(QPalette::HighlightedText) : namedColor(NamedColor::Primary, palette);
    QColor secondary = namedColor(NamedColor::Secondary, palette);
    if (highlighted) {
        secondary = primary;
        secondary.setAlphaF(0.75f);
    }
    const bool current = isCurrentUser(m_session, m_userManager, user);
    const bool connected = m_app.isReachable();
    const qreal dpr = painter->device()->devicePixelRatioF();
    const QColor green = darkenedForLightMode(namedColor(NamedColor::Green, palette), palette);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // Avatar, with its ring for the user the app is signed in as.
    std::optional<AvatarLoader::Picture> picture;
    if (user.imageURL) {
        picture = m_avatars.picture(user.imageURL->qurl(), qRound(kAvatarSize * dpr));
    }
    UserImages::paintPicture(painter, g.avatar, picture ? &*picture : nullptr, palette);
    if (current) {
        painter->setPen(QPen(green, kRingWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter->setBrush(Qt::NoBrush);
        const qreal inset = kRingWidth / 2.0;
        painter->drawEllipse(QRectF(g.avatar).adjusted(inset, inset, -inset, -inset));
    }

    // Favourite star: a yellow fill under the outline when marked.
    if (user.favorite) {
        painter->drawPixmap(g.star.topLeft(),
            Symbols::pixmap(QStringLiteral("star.fill"), namedColor(NamedColor::Yellow, palette), kStarSize, dpr));
    }
    painter->drawPixmap(g.star.topLeft(), Symbols::pixmap(QStringLiteral("star"), primary, kStarSize, dpr));

    if (g.flag.isValid()) {
        painter->setFont(title3Font(option.font));
        painter->setPen(primary);
        painter->drawText(g.flag, Qt::AlignCenter, *CountryFlagMapper().flag(user.country));
    }
    if (const std::optional<AppBadge::App> app = badgeApp(user)) {
        painter->drawPixmap(g.badge.topLeft(), AppBadge::pixmap(*app, kBadgeSize, dpr));
    }

    // Name button: green with a check for the current user, dimmed while no app is connected.
    QColor nameColour = current ? green : darkenedForLightMode(primary, palette);
    if (!connected) {
        nameColour = secondary;
    }
    const QFontMetrics body(option.font);
    const int symbolSize = body.height() - 2;
    const QString name = body.elidedText(user.name, Qt::ElideRight, g.name.width() - symbolSize - 4);
    painter->setFont(option.font);
    painter->setPen(nameColour);
    painter->drawText(g.name, Qt::AlignLeft | Qt::AlignVCenter, name);
    const int symbolX = g.name.left() + body.horizontalAdvance(name) + (name.isEmpty() ? 0 : 4);
    painter->drawPixmap(symbolX, g.name.center().y() - symbolSize / 2 + 1,
        Symbols::pixmap(nameSymbol(current), nameColour, symbolSize, dpr));

    if (user.tags && g.tags.height() > 0) {
        UserTags::paint(painter, g.tags.topLeft(), g.tags.width(), *user.tags, captionFont(option.font), palette);
    }
    if (g.email.isValid()) {
        const QFont font = subheadlineFont(option.font);
        painter->setFont(font);
        painter->setPen(secondary);
        painter->drawText(g.email, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(font).elidedText(*user.email, Qt::ElideRight, g.email.width()));
    }
    const QFont caption = captionFont(option.font);
    painter->setFont(caption);
    painter->setPen(secondary);
    painter->drawText(g.tokens, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(caption).elidedText(tokensLine(user), Qt::ElideMiddle, g.tokens.width()));

    // The notes field as it looks until it is clicked.
    QPainterPath field;
    field.addRoundedRect(QRectF(g.notes).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter->fillPath(field, palette.color(QPalette::Base));
    painter->setPen(palette.color(QPalette::Mid));
    painter->drawPath(field);
    const QRect text = g.notes.adjusted(kNotesPadding + 2, 0, -kNotesPadding, 0);
    const bool hasNotes = user.notes && !user.notes->isEmpty();
    painter->setPen(hasNotes ? palette.color(QPalette::Text) : namedColor(NamedColor::Secondary, palette));
    const QString shown = hasNotes ? user.notes->simplified() : L10n::text("Impersonation.addNotes");
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QFontMetrics(caption).elidedText(shown, Qt::ElideRight, text.width()));
    painter->restore();
}

bool ImpersonateUserDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
    const QModelIndex &index)
{
    if (event->type() != QEvent::MouseButtonRelease || index.data(ImpersonationListModel::IsHeaderRole).toBool()) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const auto user = index.data(ImpersonationListModel::RecordRole).value<ImpersonateUserData>();
    const Geometry g = geometry(option, user);
    const QPoint at = mouse->position().toPoint();
    if (g.star.contains(at)) {
        if (m_actions.toggleFavorite) {
            m_actions.toggleFavorite(user);
        }
        return true;
    }
    if (g.name.contains(at)) {
        // Disabled while no app is connected; nothing to do for the user the app already is.
        if (m_app.isReachable() && !isCurrentUser(m_session, m_userManager, user) && m_actions.impersonate) {
            m_actions.impersonate(user);
        }
        return true;
    }
    if (g.notes.contains(at)) {
        emit notesClicked(index);
        return true;
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

bool ImpersonateUserDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
    const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && !index.data(ImpersonationListModel::IsHeaderRole).toBool()) {
        const auto user = index.data(ImpersonationListModel::RecordRole).value<ImpersonateUserData>();
        const Geometry g = geometry(option, user);
        if (g.badge.isValid() && g.badge.contains(event->pos())) {
            QToolTip::showText(event->globalPos(),
                user.retailerToken ? QStringLiteral("Retailer") : QStringLiteral("Brand"), view);
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

QWidget *ImpersonateUserDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
    const QModelIndex &index) const
{
    const auto user = index.data(ImpersonationListModel::RecordRole).value<ImpersonateUserData>();
    auto *editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("notesEditor"));
    editor->setFont(captionFont(option.font));
    editor->setPlaceholderText(L10n::text("Impersonation.addNotes"));
    // Every change is stored as typed, never only when the editor closes.
    connect(editor, &QLineEdit::textEdited, this, [this, user](const QString &text) {
        if (m_actions.setNotes) {
            m_actions.setNotes(text, user);
        }
    });
    return editor;
}

void ImpersonateUserDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const auto user = index.data(ImpersonationListModel::RecordRole).value<ImpersonateUserData>();
    auto *line = static_cast<QLineEdit *>(editor);
    // Seeded once when the editor opens; the model's resets do not write into a field being typed in.
    if (!line->isModified()) {
        line->setText(user.notes.value_or(QString()));
    }
}

void ImpersonateUserDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const
{
    // Nothing to commit: each change was stored as it was typed.
}

void ImpersonateUserDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
    const QModelIndex &index) const
{
    const auto user = index.data(ImpersonationListModel::RecordRole).value<ImpersonateUserData>();
    editor->setGeometry(geometry(option, user).notes);
}
