#include "Symbols.h"

#include <QCache>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

#include <cmath>

Q_LOGGING_CATEGORY(lcSymbols, "morvenda.Symbols")

namespace {

const QString kResourceDir = QStringLiteral(":/morvenda/symbols/");

struct Key
{
    QString name;
    QRgb rgba;
    int size;
    int dprPercent;

    friend bool operator==(const Key &, const Key &) = default;
};

size_t qHash(const Key &key, size_t seed = 0)
{
    return qHashMulti(seed, key.name, key.rgba, key.size, key.dprPercent);
}

struct Store
{
    QHash<QString, QByteArray> svgText;  // the file once per name, "currentColor" still in it
    QCache<Key, QPixmap> pixmaps{8 * 1024}; // cost in KiB of pixel data
    QSet<QString> reportedMissing;
};

void releasePixmaps();

Store &store()
{
    static Store instance;
    // Pixmaps must go before the GUI application does, not at static destruction.
    static const bool releasedAtExit = (qAddPostRoutine(releasePixmaps), true);
    Q_UNUSED(releasedAtExit);
    return instance;
}

void releasePixmaps()
{
    store().pixmaps.clear();
}

QString resourcePath(const QString &name)
{
    return kResourceDir + name + QStringLiteral(".svg");
}

// The SVG text, or empty when the name is not mapped. Names are looked up only as file names
// inside the resource folder: a name with a path separator is never mapped.
QByteArray svgText(const QString &name)
{
    Store &s = store();
    const auto found = s.svgText.constFind(name);
    if (found != s.svgText.cend())
        return *found;
    QByteArray text;
    if (!name.isEmpty() && !name.contains(QLatin1Char('/'))) {
        QFile file(resourcePath(name));
        if (file.open(QIODevice::ReadOnly))
            text = file.readAll();
    }
    if (text.isEmpty() && !s.reportedMissing.contains(name)) {
        s.reportedMissing.insert(name);
        qCCritical(lcSymbols) << "no image for symbol" << name;
    }
    s.svgText.insert(name, text);
    return text;
}

QPixmap render(const QByteArray &text, const QColor &color, int size, qreal dpr)
{
    const int pixels = std::max(0, int(std::lround(size * dpr)));
    QPixmap result(pixels, pixels);
    result.setDevicePixelRatio(dpr);
    result.fill(Qt::transparent);
    if (text.isEmpty() || pixels == 0)
        return result;

    // QtSvg paints `currentColor` black: put the opaque colour in, apply its alpha as opacity.
    QByteArray tinted = text;
    tinted.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(tinted);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(color.alphaF());
    renderer.render(&painter, QRectF(0, 0, size, size));
    return result;
}

} // namespace

namespace Symbols {

bool contains(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && QFile::exists(resourcePath(name));
}

QStringList names()
{
    QStringList result;
    const QStringList files = QDir(kResourceDir).entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        result << file.chopped(4);
    return result;
}

QPixmap pixmap(const QString &name, const QColor &color, int logicalSize, qreal devicePixelRatio)
{
    const Key key{name, color.rgba(), logicalSize, int(std::lround(devicePixelRatio * 100))};
    Store &s = store();
    if (const QPixmap *cached = s.pixmaps.object(key))
        return *cached;
    const QPixmap result = render(svgText(name), color, logicalSize, devicePixelRatio);
    const qsizetype costKiB = std::max<qsizetype>(1, qsizetype(result.width()) * result.height() * 4 / 1024);
    s.pixmaps.insert(key, new QPixmap(result), costKiB);
    return result;
}

QIcon icon(const QString &name, const QColor &color, int logicalSize)
{
    return QIcon(pixmap(name, color, logicalSize, qApp ? qApp->devicePixelRatio() : 1.0));
}

} // namespace Symbols
