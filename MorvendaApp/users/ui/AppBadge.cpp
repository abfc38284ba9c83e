#include "AppBadge.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace AppBadge {

QPixmap pixmap(App app, int logicalSize, qreal devicePixelRatio)
{
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1/%2/%3").arg(int(app)).arg(logicalSize).arg(devicePixelRatio);
    if (const auto found = cache.constFind(key); found != cache.cend()) {
        return *found;
    }
    const int pixels = qMax(1, qRound(logicalSize * devicePixelRatio));
    QPixmap badge(pixels, pixels);
    badge.fill(Qt::transparent);
    QPainter painter(&badge);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath square;
    // The corner radius is a fifth of the side: 3 at the list's 15 points.
    square.addRoundedRect(QRectF(0, 0, pixels, pixels), pixels / 5.0, pixels / 5.0);
    painter.fillPath(square, app == App::Retailer ? QColor(0xF2, 0x8C, 0x28) : QColor(0x7A, 0x4B, 0xD8));
    QFont font;
    font.setBold(true);
    font.setPixelSize(qMax(1, qRound(pixels * 0.7)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, pixels, pixels), Qt::AlignCenter,
        app == App::Retailer ? QStringLiteral("R") : QStringLiteral("B"));
    painter.end();
    badge.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, badge);
    return badge;
}

} // namespace AppBadge
