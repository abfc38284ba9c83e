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
#include "MorvendaApp/users/CountryFlagMapper.h"
#include "MorvendaApp/users/PeerText.h"

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

// A text line's full height: glyphs such as the underscore reach below the font's descent, and
// clipping a line at the font's height would erase them.
int lineHeight(const QFontMetrics &metrics)
{
    return std::max(metrics.height(), metrics.lineSpacing()) + 2;
}

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
            parts.append(PeerText::oneLine(*token));
        }
    }
    return parts.join(QStringLiteral("  "));
}

QString nameSymbol(bool current)
{
    return current ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("arrow.up.and.person.rectangle.portrait");
}

} // namespace

// The row's fonts and their metrics, measured once per font instead of once per row.
class ImpersonateUserDelegate::Fonts
{
public:
    explicit Fonts(const QFont &font)
        : base(font)
        , caption(captionFont(font))
        , subheadline(subheadlineFont(font))
        , title3(title3Font(font))
        , header(sized(font, 11, true))
        , body(font)
        , captionMetrics(caption)
        , subheadlineMetrics(subheadline)
        , title3Metrics(title3)
        , bodyLine(lineHeight(body))
        , captionLine(lineHeight(captionMetrics))
        , subheadlineLine(lineHeight(subheadlineMetrics))
        , title3Line(lineHeight(title3Metrics))
        , tags(caption)
    {
    }

    QFont base;
    QFont caption;
    QFont subheadline;
    QFont title3;
    QFont header;
    QFontMetrics body;
    QFontMetrics captionMetrics;
    QFontMetrics subheadlineMetrics;
    QFontMetrics title3Metrics;
    int bodyLine;
    int captionLine;
    int subheadlineLine;
    int title3Line;
    UserTags::Metrics tags;
};

ImpersonateUserDelegate::ImpersonateUserDelegate(const ImpersonationListModel &model, const ActiveApp &app,
    AvatarLoader &avatars, Actions actions, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_model(model)
    , m_app(app)
    , m_avatars(avatars)
    , m_actions(std::move(actions))
{
}

ImpersonateUserDelegate::~ImpersonateUserDelegate() = default;

const ImpersonateUserDelegate::Fonts &ImpersonateUserDelegate::fonts(const QFont &base) const
{
    if (!m_fonts || m_fonts->base != base) {
        m_fonts = std::make_unique<Fonts>(base);
        m_heights.clear();
    }
    return *m_fonts;
}

void ImpersonateUserDelegate::setRowWidth(int width)
{
    if (width != m_rowWidth) {
        m_heights.clear();
    }
    m_rowWidth = width;
}

bool ImpersonateUserDelegate::Height::holdsFor(const ImpersonateUserData &user) const
{
    return hasEmail == (user.email && !user.email->isEmpty()) && hasBadge == badgeApp(user).has_value()
        && country == user.country && tags == user.tags;
}

QRect ImpersonateUserDelegate::rowRect(const QStyleOptionViewItem &option) const
{
    return {option.rect.topLeft(), QSize(m_rowWidth > 0 ? m_rowWidth : option.rect.width(), option.rect.height())};
}

const ImpersonateUserData *ImpersonateUserDelegate::recordOf(const QModelIndex &index) const
{
    return index.model() == &m_model ? m_model.recordAt(index.row()) : nullptr;
}

ImpersonateUserDelegate::Geometry ImpersonateUserDelegate::geometry(const QStyleOptionViewItem &option,
    const ImpersonateUserData &user) const
{
    return layout(rowRect(option), fonts(option.font), user, true);
}

ImpersonateUserDelegate::Geometry ImpersonateUserDelegate::layout(const QRect &row, const Fonts &f,
    const ImpersonateUserData &user, bool withName) const
{
    Geometry g;
    const int left = row.left() + kRowPaddingX;
    const int right = row.right() - kRowPaddingX;
    const int top = row.top() + kRowPaddingY;

    const QPoint block(left, top);
    g.avatar = QRect(block + QPoint(kAvatarPadding, kAvatarPadding), QSize(kAvatarSize, kAvatarSize));
    g.star = QRect(block, QSize(kStarSize, kStarSize));
    if (const std::optional<QString> flag = CountryFlagMapper().flag(user.country)) {
        // Measuring only matters where the flag is drawn or hovered; its height is the line's.
        const int width = withName ? f.title3Metrics.horizontalAdvance(*flag) : f.title3Line;
        g.flag = QRect(block + QPoint(kCornerOffset, kCornerOffset), QSize(width, f.title3Line));
    }
    if (badgeApp(user)) {
        g.badge = QRect(block + QPoint(0, kCornerOffset), QSize(kBadgeSize, kBadgeSize));
    }
    const int blockBottom = std::max({g.avatar.bottom() + kAvatarPadding, g.flag.isValid() ? g.flag.bottom() : 0,
        g.badge.isValid() ? g.badge.bottom() : 0});

    const int x = left + kAvatarSize + 2 * kAvatarPadding + kColumnGap;
    const int width = std::max(40, right - x);
    int y = top;
    int nameWidth = width;
    if (withName) {
        nameWidth = std::min(width, f.body.horizontalAdvance(PeerText::oneLine(user.name)) + f.bodyLine + 4);
    }
    g.name = QRect(x, y, nameWidth, f.bodyLine);
    y = g.name.bottom() + 1 + kLineGap;
    if (user.tags) {
        const int height = UserTags::heightForWidth(*user.tags, f.tags, width);
        g.tags = QRect(x, y, width, height);
        y += height + (height > 0 ? kLineGap : 0);
    }
    if (user.email && !user.email->isEmpty()) {
        g.email = QRect(x, y, width, f.subheadlineLine);
        y = g.email.bottom() + 1 + kLineGap;
    }
    g.tokens = QRect(x, y, width, f.captionLine);
    y = g.tokens.bottom() + 1;

    const int notesTop = std::max(y, blockBottom + 1) + 2;
    g.notes = QRect(left, notesTop, right - left, f.captionLine + 2 * kNotesPadding);
    g.height = g.notes.bottom() + 1 + kRowPaddingY - row.top();
    return g;
}

QSize ImpersonateUserDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QRect row = rowRect(option);
    row.moveTopLeft({0, 0});
    const ImpersonateUserData *user = recordOf(index);
    if (!user) {
        return {row.width(), kHeaderHeight};
    }
    const Fonts &f = fonts(option.font);
    // Only rows at the row width are kept: before the view sets it, rows take the option's.
    if (m_rowWidth <= 0 || !user->isStored()) {
        return {row.width(), layout(row, f, *user, false).height};
    }
    Height &known = m_heights[user->id];
    if (known.height <= 0 || !known.holdsFor(*user)) {
        known = Height{user->tags, user->email && !user->email->isEmpty(), user->country, badgeApp(*user).has_value(),
            layout(row, f, *user, false).height};
    }
    return {row.width(), known.height};
}

void ImpersonateUserDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const ImpersonateUserData *user = recordOf(index);
    if (!user) {
        paintHeader(painter, option, index);
        return;
    }
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.rect = rowRect(option);
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);
    paintUser(painter, option, *user, m_model.isCurrentUser(index.row()));
}

void ImpersonateUserDelegate::paintHeader(QPainter *painter, const QStyleOptionViewItem &option,
    const QModelIndex &index) const
{
    painter->save();
    const QColor colour = namedColor(NamedColor::Secondary, option.palette);
    const QRect rect = rowRect(option).adjusted(kRowPaddingX, 0, -kRowPaddingX, 0);
    const QPixmap symbol = Symbols::pixmap(index.data(ImpersonationListModel::SymbolRole).toString(), colour,
        kHeaderSymbolSize, painter->device()->devicePixelRatioF());
    painter->drawPixmap(rect.left(), rect.center().y() - kHeaderSymbolSize / 2, symbol);
    painter->setFont(fonts(option.font).header);
    painter->setPen(colour);
    painter->drawText(rect.adjusted(kHeaderSymbolSize + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
        index.data(Qt::DisplayRole).toString());
    painter->restore();
}

void ImpersonateUserDelegate::paintUser(QPainter *painter, const QStyleOptionViewItem &option,
    const ImpersonateUserData &user, bool current) const
{
    const Fonts &f = fonts(option.font);
    const Geometry g = layout(rowRect(option), f, user, true);
    const QPalette &palette = option.palette;
    // On the selection's highlight every text takes the highlighted text colour; the ring and the
    // check still mark the app's own user.
    const bool highlighted = option.state.testFlag(QStyle::State_Selected);
    const QColor primary = highlighted ? palette.color(QPalette::HighlightedText) : namedColor(NamedColor::Primary, palette);
    QColor secondary = namedColor(NamedColor::Secondary, palette);
    if (highlighted) {
        secondary = primary;
        secondary.setAlphaF(0.75f);
    }
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
        painter->setFont(f.title3);
        painter->setPen(primary);
        painter->drawText(g.flag, Qt::AlignCenter | Qt::TextDontClip, *CountryFlagMapper().flag(user.country));
    }
    if (const std::optional<AppBadge::App> app = badgeApp(user)) {
        painter->drawPixmap(g.badge.topLeft(), AppBadge::pixmap(*app, kBadgeSize, dpr));
    }

    // Name button: green with a check for the current user, dimmed while no app is connected.
    QColor nameColour = current ? green : darkenedForLightMode(primary, palette);
    if (highlighted) {
        nameColour = primary;
    }
    if (!connected) {
        nameColour = secondary;
    }
    const int symbolSize = f.body.height() - 2;
    const QString name = f.body.elidedText(PeerText::oneLine(user.name), Qt::ElideRight, g.name.width() - symbolSize - 4);
    painter->setFont(option.font);
    painter->setPen(nameColour);
    painter->drawText(g.name, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, name);
    const int symbolX = g.name.left() + f.body.horizontalAdvance(name) + (name.isEmpty() ? 0 : 4);
    painter->drawPixmap(symbolX, g.name.center().y() - symbolSize / 2 + 1,
        Symbols::pixmap(nameSymbol(current), nameColour, symbolSize, dpr));

    if (user.tags && g.tags.height() > 0) {
        // A user may carry thousands of tags: only the chip rows inside the list are drawn.
        painter->save();
        if (option.widget) {
            painter->setClipRect(option.widget->rect(), Qt::IntersectClip);
        }
        UserTags::paint(painter, g.tags.topLeft(), g.tags.width(), *user.tags, f.tags, palette);
        painter->restore();
    }
    if (g.email.isValid()) {
        painter->setFont(f.subheadline);
        painter->setPen(secondary);
        painter->drawText(g.email, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
            f.subheadlineMetrics.elidedText(PeerText::oneLine(*user.email), Qt::ElideRight, g.email.width()));
    }
    painter->setFont(f.caption);
    painter->setPen(secondary);
    painter->drawText(g.tokens, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
        f.captionMetrics.elidedText(tokensLine(user), Qt::ElideMiddle, g.tokens.width()));

    // The notes field as it looks until it is clicked.
    QPainterPath field;
    field.addRoundedRect(QRectF(g.notes).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter->fillPath(field, palette.color(QPalette::Base));
    painter->setPen(palette.color(QPalette::Mid));
    painter->drawPath(field);
    const QRect text = g.notes.adjusted(kNotesPadding + 2, 0, -kNotesPadding, 0);
    const bool hasNotes = user.notes && !user.notes->isEmpty();
    painter->setPen(hasNotes ? palette.color(QPalette::Text) : namedColor(NamedColor::Secondary, palette));
    const QString shown = hasNotes ? PeerText::oneLine(*user.notes) : L10n::text("Impersonation.addNotes");
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
        f.captionMetrics.elidedText(shown, Qt::ElideRight, text.width()));
    painter->restore();
}

bool ImpersonateUserDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
    const QModelIndex &index)
{
    const ImpersonateUserData *record = recordOf(index);
    if (event->type() != QEvent::MouseButtonRelease || !record) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton) {
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }
    // A copy: the actions change the rows.
    const ImpersonateUserData user = *record;
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
        if (m_app.isReachable() && !m_model.isCurrentUser(index.row()) && m_actions.impersonate) {
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
    const ImpersonateUserData *user = recordOf(index);
    if (event->type() == QEvent::ToolTip && user) {
        const Geometry g = geometry(option, *user);
        if (g.badge.isValid() && g.badge.contains(event->pos())) {
            QToolTip::showText(event->globalPos(),
                user->retailerToken ? QStringLiteral("Retailer") : QStringLiteral("Brand"), view);
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
    if (const ImpersonateUserData *user = recordOf(index)) {
        editor->setGeometry(geometry(option, *user).notes);
    }
}
