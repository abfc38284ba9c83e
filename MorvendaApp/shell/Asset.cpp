#include "Asset.h"

#include <QFile>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

Q_LOGGING_CATEGORY(lcAsset, "morvenda.Asset")

namespace Asset {

QString path(const QString &name)
{
    return QStringLiteral(":/morvenda/assets/") + name + QStringLiteral(".svg");
}

QPixmap pixmap(const QString &name, QSize logicalSize, qreal devicePixelRatio)
{
    const QSize pixels = (QSizeF(logicalSize) * devicePixelRatio).toSize();
    if (pixels.isEmpty())
        return {};
    const QString key = QStringLiteral("morvenda-asset:%1:%2x%3").arg(name).arg(pixels.width()).arg(pixels.height());
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;

    if (!QFile::exists(path(name))) {
        qCWarning(lcAsset) << "no image asset named" << name;
        return {};
    }
    QSvgRenderer renderer(path(name));
    if (!renderer.isValid()) {
        qCWarning(lcAsset) << "no image asset named" << name;
        return {};
    }
    QPixmap image(pixels);
    image.fill(Qt::transparent);
    QSizeF drawn = renderer.defaultSize();
    drawn.scale(QSizeF(pixels), Qt::KeepAspectRatio);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(QPointF((pixels.width() - drawn.width()) / 2, (pixels.height() - drawn.height()) / 2), drawn));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, image);
    return image;
}

} // namespace Asset
