#include "UserTags.h"

#include "MorvendaApp/components/FlowStack.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal kChipOpacity = 0.5;
constexpr int kChipRadius = 4;

QColor chipFill(UserTag tag, const QPalette &palette)
{
    QColor fill = namedColor(UserTags::color(tag), palette);
    fill.setAlphaF(kChipOpacity);
    return fill;
}

// A chip as a widget: it paints the same rounded fill the delegates paint.
class TagChip : public QLabel
{
public:
    TagChip(UserTag tag, QWidget *parent)
        : QLabel(rawValue(tag), parent)
        , m_tag(tag)
    {
        setTextFormat(Qt::PlainText);
        setContentsMargins(UserTags::kPadding, UserTags::kPadding, UserTags::kPadding, UserTags::kPadding);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), kChipRadius, kChipRadius);
        painter.fillPath(path, chipFill(m_tag, palette()));
        painter.end();
        QLabel::paintEvent(event);
    }

private:
    UserTag m_tag;
};

} // namespace

UserTags::UserTags(const QList<UserTag> &tags, QWidget *parent)
    : QWidget(parent)
    , m_flow(new FlowStack(this, Qt::AlignLeft, kSpacing, kSpacing))
{
    m_flow->setContentsMargins(0, 0, 0, 0);
    setTags(tags);
}

void UserTags::setTags(const QList<UserTag> &tags)
{
    m_tags = tags;
    rebuild();
}

void UserTags::rebuild()
{
    while (QLayoutItem *item = m_flow->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const UserTag tag : std::as_const(m_tags)) {
        m_flow->addWidget(new TagChip(tag, this));
    }
    updateGeometry();
}

void UserTags::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        rebuild();
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

namespace {

QList<QList<int>> chipRows(const QList<UserTag> &tags, const QFontMetrics &metrics, int width)
{
    QList<int> widths;
    widths.reserve(tags.size());
    for (const UserTag tag : tags) {
        widths.append(UserTags::chipSize(metrics, tag).width());
    }
    return flowRows(widths, width, UserTags::kSpacing);
}

} // namespace

int UserTags::heightForWidth(const QList<UserTag> &tags, const QFont &font, int width)
{
    if (tags.isEmpty()) {
        return 0;
    }
    const QFontMetrics metrics(font);
    const qsizetype rows = chipRows(tags, metrics, width).size();
    return int(rows) * (metrics.height() + 2 * kPadding) + int(rows - 1) * kSpacing;
}

int UserTags::oneRowWidth(const QList<UserTag> &tags, const QFont &font)
{
    // The flow counts a spacing after every chip, the last included.
    const QFontMetrics metrics(font);
    int width = 0;
    for (const UserTag tag : tags) {
        width += chipSize(metrics, tag).width() + kSpacing;
    }
    return width;
}

int UserTags::paint(QPainter *painter, const QPoint &topLeft, int width, const QList<UserTag> &tags,
    const QFont &font, const QPalette &palette)
{
    if (tags.isEmpty()) {
        return 0;
    }
    const QFontMetrics metrics(font);
    const int chipHeight = metrics.height() + 2 * kPadding;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setFont(font);
    painter->setPen(namedColor(NamedColor::Primary, palette));
    int y = topLeft.y();
    for (const QList<int> &row : chipRows(tags, metrics, width)) {
        int x = topLeft.x();
        for (const int index : row) {
            const UserTag tag = tags.at(index);
            const QRect chip(QPoint(x, y), chipSize(metrics, tag));
            QPainterPath path;
            path.addRoundedRect(QRectF(chip), kChipRadius, kChipRadius);
            painter->fillPath(path, chipFill(tag, palette));
            painter->drawText(chip, Qt::AlignCenter, rawValue(tag));
            x += chip.width() + kSpacing;
        }
        y += chipHeight + kSpacing;
    }
    painter->restore();
    return y - kSpacing - topLeft.y();
}
