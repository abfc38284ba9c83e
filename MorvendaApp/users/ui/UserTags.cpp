#include "UserTags.h"

#include "MorvendaApp/components/FlowStack.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPaintEvent>

#include <algorithm>
#include <limits>

namespace {

constexpr qreal kChipOpacity = 0.5;
constexpr int kChipRadius = 4;

QColor chipFill(UserTag tag, const QPalette &palette)
{
    QColor fill = namedColor(UserTags::color(tag), palette);
    fill.setAlphaF(kChipOpacity);
    return fill;
}

QString moreText(qsizetype more)
{
    return QStringLiteral("+") + QString::number(more);
}

// The rows of the chips, and of the counting chip last (its index is tags.size()) when `more` is
// above 0.
QList<QList<int>> chipRows(const QList<UserTag> &tags, const UserTags::Metrics &metrics, int width, qsizetype more = 0)
{
    QList<int> widths;
    widths.reserve(tags.size() + 1);
    for (const UserTag tag : tags) {
        widths.append(metrics.chipWidth(tag));
    }
    if (more > 0) {
        widths.append(metrics.moreChipWidth(more));
    }
    return flowRows(widths, width, UserTags::kSpacing);
}

} // namespace

UserTags::Metrics::Metrics(const QFont &font)
    : m_font(font)
{
    const QFontMetrics metrics(font);
    m_chipHeight = metrics.height() + 2 * kPadding;
    for (size_t tag = 0; tag < m_widths.size(); ++tag) {
        m_widths[tag] = chipSize(metrics, UserTag(tag)).width();
    }
}

int UserTags::Metrics::moreChipWidth(qsizetype more) const
{
    return QFontMetrics(m_font).horizontalAdvance(moreText(more)) + 2 * kPadding;
}

UserTags::UserTags(const QList<UserTag> &tags, QWidget *parent)
    : QWidget(parent)
    , m_metrics(font())
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setTags(tags);
}

void UserTags::setTags(const QList<UserTag> &tags)
{
    m_tags = tags;
    updateGeometry();
    update();
}

int UserTags::heightForWidth(int width) const
{
    return heightForWidth(m_tags, m_metrics, width);
}

QSize UserTags::sizeHint() const
{
    // Asked for one row; the layout asks heightForWidth for the width it gives.
    const int width = std::min(oneRowWidth(m_tags, font()), 400);
    return {width, heightForWidth(width)};
}

QSize UserTags::minimumSizeHint() const
{
    return {0, 0};
}

void UserTags::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setClipRect(event->rect());
    paint(&painter, QPoint(0, 0), width(), m_tags, m_metrics, palette());
}

void UserTags::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_metrics = Metrics(font());
        updateGeometry();
    }
}

NamedColor UserTags::color(UserTag tag)
{
    switch (tag) {
    case UserTag::Impersonating: return NamedColor::Orange;
    case UserTag::Subuser: return NamedColor::Cyan;
    case UserTag::AccountOwner: return NamedColor::Indigo;
    case UserTag::Admin: return NamedColor::Red;
    case UserTag::Active: return NamedColor::Green;
    case UserTag::PlaceOrder: return NamedColor::Green;
    case UserTag::CantPlaceOrder: return NamedColor::Red;
    case UserTag::Ostrane: return NamedColor::Teal;
    case UserTag::OstraneChurned: return NamedColor::Pink;
    case UserTag::OstraneEligible: return NamedColor::Blue;
    case UserTag::OstraneUnpaid: return NamedColor::Pink;
    case UserTag::OstranePaused: return NamedColor::Pink;
    case UserTag::LoggedOut: return NamedColor::Red;
    }
    return NamedColor::Gray;
}

QSize UserTags::chipSize(const QFontMetrics &metrics, UserTag tag)
{
    return {metrics.horizontalAdvance(rawValue(tag)) + 2 * kPadding, metrics.height() + 2 * kPadding};
}

int UserTags::heightForWidth(const QList<UserTag> &tags, const QFont &font, int width, qsizetype more)
{
    return heightForWidth(tags, Metrics(font), width, more);
}

int UserTags::heightForWidth(const QList<UserTag> &tags, const Metrics &metrics, int width, qsizetype more)
{
    if (tags.isEmpty() && more <= 0) {
        return 0;
    }
    // The rows as paint() and FlowStack break them (flowRows), counted without building them:
    // a list measures thousands of users' tags at once.
    qint64 rows = 0;
    qint64 x = 0;
    bool open = false;
    const auto place = [&](qint64 chipWidth) {
        if (open && x + chipWidth + kSpacing > width) {
            ++rows;
            x = chipWidth;
        } else {
            x += chipWidth + kSpacing;
            open = true;
        }
    };
    for (const UserTag tag : tags) {
        place(metrics.chipWidth(tag));
    }
    if (more > 0) {
        place(metrics.moreChipWidth(more));
    }
    rows += open ? 1 : 0;
    return int(std::min<qint64>(rows * (metrics.chipHeight() + kSpacing) - kSpacing, std::numeric_limits<int>::max()));
}

int UserTags::oneRowWidth(const QList<UserTag> &tags, const QFont &font)
{
    // The flow counts a spacing after every chip, the last included.
    const Metrics metrics(font);
    int width = 0;
    for (const UserTag tag : tags) {
        width += metrics.chipWidth(tag) + kSpacing;
    }
    return width;
}

qsizetype UserTags::capacity(const Metrics &metrics, int width, int rows)
{
    // A row holds at most one chip more than the narrowest chips with their spacing fill.
    const qsizetype perRow = std::max(width, 0) / (metrics.narrowestChip() + kSpacing) + 1;
    return std::max(rows, 0) * perRow;
}

UserTags::Shown UserTags::firstRows(const QList<UserTag> &tags, qsizetype total, const Metrics &metrics, int width,
    int maxRows)
{
    const QList<UserTag> head = tags.mid(0, capacity(metrics, width, maxRows) + 1);
    const QList<QList<int>> rows = chipRows(head, metrics, width);
    if (rows.size() <= maxRows && head.size() == total) {
        return {head, 0};
    }
    qsizetype shown = 0;
    for (int row = 0; row < std::min<qsizetype>(maxRows, rows.size()); ++row) {
        shown += rows.at(row).size();
    }
    // Room for the counting chip on the last row, one chip at a time: it is a few chips wide.
    while (shown > 0 && chipRows(head.mid(0, shown), metrics, width, total - shown).size() > maxRows) {
        --shown;
    }
    return {head.mid(0, shown), total - shown};
}

int UserTags::paint(QPainter *painter, const QPoint &topLeft, int width, const QList<UserTag> &tags,
    const QFont &font, const QPalette &palette, qsizetype more)
{
    return paint(painter, topLeft, width, tags, Metrics(font), palette, more);
}

int UserTags::paint(QPainter *painter, const QPoint &topLeft, int width, const QList<UserTag> &tags,
    const Metrics &metrics, const QPalette &palette, qsizetype more)
{
    if (tags.isEmpty() && more <= 0) {
        return 0;
    }
    const int chipHeight = metrics.chipHeight();
    // Only the rows inside the clip are drawn: thousands of chips cost nothing out of sight.
    const QRect clip = painter->hasClipping() ? painter->clipBoundingRect().toAlignedRect() : QRect();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setFont(metrics.font());
    painter->setPen(namedColor(NamedColor::Primary, palette));
    int y = topLeft.y();
    for (const QList<int> &row : chipRows(tags, metrics, width, more)) {
        if (clip.isValid() && (y > clip.bottom() || y + chipHeight < clip.top())) {
            y += chipHeight + kSpacing;
            continue;
        }
        int x = topLeft.x();
        for (const int index : row) {
            const bool counting = index == tags.size();
            const QRect chip(QPoint(x, y),
                QSize(counting ? metrics.moreChipWidth(more) : metrics.chipWidth(tags.at(index)), chipHeight));
            QPainterPath path;
            path.addRoundedRect(QRectF(chip), kChipRadius, kChipRadius);
            QColor fill = counting ? namedColor(NamedColor::Gray, palette) : chipFill(tags.at(index), palette);
            if (counting) {
                fill.setAlphaF(kChipOpacity);
            }
            painter->fillPath(path, fill);
            painter->drawText(chip, Qt::AlignCenter | Qt::TextDontClip, counting ? moreText(more) : rawValue(tags.at(index)));
            x += chip.width() + kSpacing;
        }
        y += chipHeight + kSpacing;
    }
    painter->restore();
    return y - kSpacing - topLeft.y();
}
