// The tool's own images, kept as SVG in the resources and looked up by asset name.
#pragma once

#include <QPixmap>
#include <QString>

namespace Asset {

inline const QString logo = QStringLiteral("M");
inline const QString watermark = QStringLiteral("watermark");
inline const QString retailerStageSmall = QStringLiteral("retailer-stage-small");
inline const QString brandStageSmall = QStringLiteral("brand-stage-small");

// Resource path of an asset name (":/morvenda/assets/<name>.svg").
QString path(const QString &name);

// The asset drawn at `logicalSize` for `devicePixelRatio`, aspect kept and centred; cached.
// An unknown name gives a null pixmap and one log line.
QPixmap pixmap(const QString &name, QSize logicalSize, qreal devicePixelRatio = 1.0);

} // namespace Asset
