#include "MorvendaApp/timeline/TimelineItemDelegate.h"

#include "MorvendaApp/timeline/TimelineBadge.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"
#include "MorvendaModel/ShownText.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <memory>

namespace {

constexpr int kHorizontalMargin = 8;
constexpr int kVerticalMargin = 5;
constexpr int kBadgeSpacing = 16;
constexpr int kLineSpacing = 2;
constexpr int kFootNoteHorizontalPadding = 4;
constexpr int kFootNoteVerticalPadding = 2;
constexpr qreal kFootNoteOpacity = 0.6;
constexpr qreal kSeparatorOpacity = 0.3;
constexpr qsizetype kMaxCachedSizes = 250'000;
constexpr qint64 kPaintedScreens = 3;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;

QFont titleFont()
{
    QFont font;
    font.setPixelSize(13);
    return font;
}

QFont descriptionFont()
{
    QFont font;
    font.setPixelSize(10);
    return font;
}

QFont footNoteFont()
{
    QFont font = descriptionFont();
    font.setBold(true);
    return font;
}

int textHeight(const QFont &font, const QString &text, int width)
{
    return QFontMetrics(font).boundingRect(QRect(0, 0, std::max(1, width), 1 << 20), kTextFlags, text).height();
}

int viewportWidth(const QStyleOptionViewItem &option)
{
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
        return view->viewport()->width();
    return option.rect.width();
}

TimelineRowState rowState(const QModelIndex &index)
{
    return index.data(TimelineViewModel::RowStateRole).value<TimelineRowState>();
}

// The row's texts as far as it shows them: a path or description an app sent may be megabytes
// long, and is wrapped whole otherwise.
TimelineRowState shown(TimelineRowState state)
{
    state.title = ShownText::cut(state.title);
    state.description = ShownText::cut(state.description);
    return state;
}

} // namespace

TimelineItemDelegate::Layout TimelineItemDelegate::layout(const TimelineRowState &row, int width)
{
    const TimelineRowState state = shown(row);
    Layout result;
    int x = kHorizontalMargin;
    int contentHeight = 0;
    if (state.badge) {
        result.badge = QRect(QPoint(x, kVerticalMargin), TimelineBadge::sizeHint(*state.badge));
        x = result.badge.right() + 1 + kBadgeSpacing;
        contentHeight = result.badge.height();
    }
    const int textWidth = std::max(1, width - kHorizontalMargin - x);
    int y = 0;
    auto next = [&y](int height) {
        const int top = y == 0 ? 0 : y + kLineSpacing;
        y = top + height;
        return top;
    };
    if (state.title) {
        const int height = textHeight(titleFont(), *state.title, textWidth);
        result.title = QRect(x, next(height), textWidth, height);
    }
    if (state.description) {
        const int height = textHeight(descriptionFont(), *state.description, textWidth);
        result.description = QRect(x, next(height), textWidth, height);
    }
    if (state.footNote) {
        const QFontMetrics metrics(footNoteFont());
        const QSize size(metrics.horizontalAdvance(state.footNote->title) + 2 * kFootNoteHorizontalPadding,
                         metrics.height() + 2 * kFootNoteVerticalPadding);
        const int left = std::max(x, x + textWidth - size.width());
        result.footNote = QRect(QPoint(left, next(size.height())), size);
    }
    // The text column is centred beside the badge.
    const int shift = kVerticalMargin + std::max(0, (contentHeight - y) / 2);
    for (QRect *rect : {&result.title, &result.description, &result.footNote}) {
        if (!rect->isNull())
            rect->translate(0, shift);
    }
    result.height = std::max(contentHeight, y) + 2 * kVerticalMargin;
    return result;
}

QSize TimelineItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int width = viewportWidth(option);
    const QUuid id = index.data(TimelineViewModel::MessageIdRole).toUuid();
    const quint64 stamp = index.data(TimelineViewModel::RowStampRole).toULongLong();
    const auto found = m_sizes.constFind(id);
    if (found != m_sizes.cend() && found->stamp == stamp && found->width == width)
        return QSize(width, found->height);
    if (m_sizes.size() >= kMaxCachedSizes)
        m_sizes.clear();
    const int height = layout(rowState(index), width).height;
    m_sizes.insert(id, CachedSize{stamp, width, height});
    return QSize(width, height);
}

void TimelineItemDelegate::reservePaintedRows(qint64 viewportPixels)
{
    const qint64 budget = std::max<qint64>(1, viewportPixels * kPaintedScreens);
    if (budget > m_painted.maxCost())
        m_painted.setMaxCost(budget);
}

// The selected row is drawn directly: its look depends on the selection, and there is only one.
void TimelineItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QSize size = option.rect.size();
    if ((option.state & QStyle::State_Selected) || !painter->device() || size.isEmpty()) {
        paintRow(painter, option, rowState(index));
        return;
    }
    const QUuid id = index.data(TimelineViewModel::MessageIdRole).toUuid();
    const quint64 stamp = index.data(TimelineViewModel::RowStampRole).toULongLong();
    const qreal ratio = painter->device()->devicePixelRatioF();
    const qint64 palette = option.palette.cacheKey();
    // The colour group (an inactive window) may change the background without a new palette.
    const QColor background = option.palette.color(QPalette::Base);
    const PaintedRow *painted = m_painted.object(id);
    if (!painted || painted->stamp != stamp || painted->size != size || painted->palette != palette
        || painted->background != background.rgba() || painted->devicePixelRatio != ratio) {
        const QSize pixels(qCeil(size.width() * ratio), qCeil(size.height() * ratio));
        auto row = std::make_unique<PaintedRow>(
            PaintedRow{stamp, size, palette, background.rgba(), ratio, QPixmap(pixels)});
        row->picture.setDevicePixelRatio(ratio);
        row->picture.fill(background);
        {
            QPainter rowPainter(&row->picture);
            QStyleOptionViewItem at = option;
            at.rect = QRect(QPoint(0, 0), size);
            paintRow(&rowPainter, at, rowState(index));
        }
        const qint64 cost = qint64(pixels.width()) * pixels.height();
        if (cost > m_painted.maxCost()) {
            painter->drawPixmap(option.rect.topLeft(), row->picture);
            return;
        }
        m_painted.insert(id, row.get(), cost);
        painted = row.release();
    }
    painter->drawPixmap(option.rect.topLeft(), painted->picture);
}

void TimelineItemDelegate::paintRow(QPainter *painter, const QStyleOptionViewItem &option, const TimelineRowState &row)
{
    const TimelineRowState state = shown(row);
    const QPalette &palette = option.palette;
    painter->save();
    painter->translate(option.rect.topLeft());
    const QRect bounds(QPoint(0, 0), option.rect.size());
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(bounds, palette.color(QPalette::Active, QPalette::Highlight));

    const Layout parts = layout(state, bounds.width());
    if (state.badge)
        TimelineBadge::paint(*painter, parts.badge, *state.badge, palette);

    const QColor primary = selected ? palette.color(QPalette::Active, QPalette::HighlightedText)
                                    : namedColor(NamedColor::Primary, palette);
    QColor secondary = primary;
    secondary.setAlphaF(selected ? 0.8f : float(namedColor(NamedColor::Secondary, palette).alphaF()));
    if (state.title) {
        painter->setFont(titleFont());
        painter->setPen(primary);
        painter->drawText(parts.title, kTextFlags, *state.title);
    }
    if (state.description) {
        painter->setFont(descriptionFont());
        painter->setPen(secondary);
        painter->drawText(parts.description, kTextFlags, *state.description);
    }
    if (state.footNote) {
        QColor fill = namedColor(state.footNote->color, palette);
        fill.setAlphaF(fill.alphaF() * kFootNoteOpacity);
        QPainterPath path;
        path.addRoundedRect(QRectF(parts.footNote), 2, 2);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillPath(path, fill);
        painter->setFont(footNoteFont());
        painter->setPen(namedColor(NamedColor::Primary, palette));
        painter->drawText(parts.footNote, Qt::AlignCenter | Qt::TextSingleLine, state.footNote->title);
    }

    QColor separator = namedColor(NamedColor::Secondary, palette);
    separator.setAlphaF(separator.alphaF() * kSeparatorOpacity);
    painter->fillRect(QRect(0, bounds.bottom(), bounds.width(), 1), separator);
    painter->restore();
}

QString TimelineItemDelegate::helpAt(const TimelineRowState &state, QPoint position, int width)
{
    const Layout parts = layout(state, width);
    if (state.badge && parts.badge.contains(position))
        return state.badge->help;
    if (state.footNote && parts.footNote.contains(position))
        return state.footNote->help;
    return {};
}
