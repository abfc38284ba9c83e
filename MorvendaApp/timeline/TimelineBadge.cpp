#include "MorvendaApp/timeline/TimelineBadge.h"

#include "MorvendaApp/components/Symbols.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace {

constexpr int kGlyphSize = 12;
constexpr int kIconPadding = 4;
constexpr int kSpacing = 1;
constexpr qreal kFadedOpacity = 0.4;
constexpr qreal kBackgroundOpacity = 0.6;
constexpr qreal kRuleOpacity = 0.5;
const QString kMissingText = QStringLiteral("bolt.horizontal");

int iconSide()
{
    return 2 * kGlyphSize + 2 * kIconPadding;
}

int columnHeight()
{
    const int text = QFontMetrics(TimelineBadge::mainFont()).height() + QFontMetrics(TimelineBadge::subFont()).height();
    return std::max(iconSide(), text + 1 + 2 * kSpacing);
}

int naturalTextWidth(const std::optional<QString> &text, const QFont &font)
{
    return text ? QFontMetrics(font).horizontalAdvance(*text) : kGlyphSize;
}

// One line of the text column: the text, shrunk down to half its size to fit and then cut off,
// or the placeholder glyph when there is no text.
void paintLine(QPainter &painter, const QRect &line, const std::optional<QString> &text, QFont font,
               const QColor &color, qreal dpr)
{
    if (!text) {
        const QPixmap glyph = Symbols::pixmap(kMissingText, color, kGlyphSize, dpr);
        painter.drawPixmap(QRect(line.center().x() - kGlyphSize / 2 + 1, line.center().y() - kGlyphSize / 2 + 1,
                                 kGlyphSize, kGlyphSize),
                           glyph);
        return;
    }
    const qreal full = font.pixelSize();
    int width = QFontMetrics(font).horizontalAdvance(*text);
    while (width > line.width() && font.pixelSize() > int(full / 2)) {
        font.setPixelSize(font.pixelSize() - 1);
        width = QFontMetrics(font).horizontalAdvance(*text);
    }
    painter.setFont(font);
    painter.setPen(color);
    const QString shown = QFontMetrics(font).elidedText(*text, Qt::ElideRight, line.width());
    painter.drawText(line, Qt::AlignCenter | Qt::TextSingleLine, shown);
}

} // namespace

namespace TimelineBadge {

QFont mainFont()
{
    QFont font;
    font.setPixelSize(12);
    font.setBold(true);
    return font;
}

QFont subFont()
{
    QFont font;
    font.setPixelSize(10);
    font.setBold(true);
    return font;
}

Glyphs glyphs(TimelineBadgeState::Icon icon)
{
    using Icon = TimelineBadgeState::Icon;
    const QString up = QStringLiteral("arrow.up");
    const QString down = QStringLiteral("arrow.down");
    switch (icon) {
    case Icon::NoRequest: return {{up}, down, true, false, true};
    case Icon::NoResponse: return {{up}, down, false, true, false};
    case Icon::Batch:
        return {{QStringLiteral("arrow.turn.right.up"), QStringLiteral("arrow.turn.left.up")}, down, false, false,
                false};
    case Icon::Cache:
        return {{QStringLiteral("arrow.up.to.line")}, QStringLiteral("arrow.turn.right.down"), false, false, true};
    case Icon::Network: return {{up}, down, false, false, false};
    case Icon::Error: return {{up}, QStringLiteral("xmark.app"), true, false, true};
    }
    return {};
}

QSize sizeHint(const TimelineBadgeState &state)
{
    int content = kFixedContentWidth;
    if (!state.color) {
        const int text = std::max(naturalTextWidth(state.mainText, mainFont()), naturalTextWidth(state.subText, subFont()));
        content = iconSide() + kSpacing + text;
    }
    return QSize(content + 2 * kPadding, columnHeight() + 2 * kPadding);
}

void paint(QPainter &painter, const QRect &rect, const TimelineBadgeState &state, const QPalette &palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QSize size = sizeHint(state);
    const QRect badge(rect.topLeft(), size);
    if (state.color) {
        QColor fill = namedColor(*state.color, palette);
        fill.setAlphaF(fill.alphaF() * kBackgroundOpacity);
        QPainterPath path;
        path.addRoundedRect(QRectF(badge), 4, 4);
        painter.fillPath(path, fill);
    }

    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QColor primary = namedColor(NamedColor::Primary, palette);
    const QRect content = badge.adjusted(kPadding, kPadding, -kPadding, -kPadding);

    // Icon: the request place and the response place side by side in a padded square.
    const int side = iconSide();
    const QRect icon(content.left(), content.center().y() - side / 2 + 1, side, side);
    const Glyphs pair = glyphs(state.icon);
    const int top = pair.bottomAligned ? icon.bottom() - kIconPadding - kGlyphSize + 1
                                       : icon.center().y() - kGlyphSize / 2 + 1;
    const QRect requestPlace(icon.left() + kIconPadding, top, kGlyphSize, kGlyphSize);
    const QRect responsePlace = requestPlace.translated(kGlyphSize, 0);
    painter.setOpacity(pair.requestFaded ? kFadedOpacity : 1.0);
    for (const QString &name : pair.request)
        painter.drawPixmap(requestPlace, Symbols::pixmap(name, primary, kGlyphSize, dpr));
    painter.setOpacity(pair.responseFaded ? kFadedOpacity : 1.0);
    painter.drawPixmap(responsePlace, Symbols::pixmap(pair.response, primary, kGlyphSize, dpr));
    painter.setOpacity(1.0);

    // Text column: method, rule, status code.
    const QRect column(icon.right() + 1 + kSpacing, content.top(), content.right() - icon.right() - kSpacing,
                       content.height());
    const int mainHeight = QFontMetrics(mainFont()).height();
    const int subHeight = QFontMetrics(subFont()).height();
    const int used = mainHeight + subHeight + 1 + 2 * kSpacing;
    const int y = column.top() + (column.height() - used) / 2;
    paintLine(painter, QRect(column.left(), y, column.width(), mainHeight), state.mainText, mainFont(), primary, dpr);
    QColor rule = primary;
    rule.setAlphaF(rule.alphaF() * kRuleOpacity);
    painter.fillRect(QRect(column.left(), y + mainHeight + kSpacing, column.width(), 1), rule);
    paintLine(painter, QRect(column.left(), y + mainHeight + 1 + 2 * kSpacing, column.width(), subHeight),
              state.subText, subFont(), primary, dpr);
    painter.restore();
}

} // namespace TimelineBadge
