#include "gallery/ComponentGallery.h"
#include "gallery/GalleryPalettes.h"

#include "MorvendaApp/core/WindowManager.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QSet>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>


namespace {

struct Shot
{
    QImage image;
    double meanLightness = 0;
    int distinctColours = 0;
};

Shot takeShot(const QString &name)
{
    WindowManager windowManager;
    std::unique_ptr<QWidget> gallery(buildComponentGallery(windowManager));
    // The flow stack's rows need the height for the page's width, which a size hint leaves out.
    const int width = std::max(720, gallery->sizeHint().width());
    gallery->resize(width, std::max(gallery->sizeHint().height(), gallery->heightForWidth(width)));
    gallery->show();
    Shot shot;
    shot.image = gallery->grab().toImage();
    const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS", QDir::tempPath());
    QDir().mkpath(dir);
    shot.image.save(dir + QStringLiteral("/components-gallery-") + name + QStringLiteral(".png"));

    QSet<QRgb> colours;
    qint64 lightness = 0;
    for (int y = 0; y < shot.image.height(); ++y) {
        for (int x = 0; x < shot.image.width(); ++x) {
            const QRgb p = shot.image.pixel(x, y);
            colours.insert(p);
            lightness += QColor(p).lightness();
        }
    }
    shot.distinctColours = int(colours.size());
    shot.meanLightness = double(lightness) / (qint64(shot.image.width()) * shot.image.height());
    return shot;
}

} // namespace

class TestGallery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void screenshotsInLightAndDark();
};

void TestGallery::initTestCase()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

void TestGallery::screenshotsInLightAndDark()
{
    QApplication::setPalette(QApplication::style()->standardPalette());
    const Shot light = takeShot(QStringLiteral("light"));
    QApplication::setPalette(galleryDarkPalette());
    const Shot dark = takeShot(QStringLiteral("dark"));

    for (const Shot *shot : {&light, &dark}) {
        QVERIFY(!shot->image.isNull());
        QVERIFY(shot->image.width() >= 600 && shot->image.height() >= 400);
        // Text, icons and tints give many colours; a blank or single-colour grab gives a handful.
        QVERIFY2(shot->distinctColours > 200, qPrintable(QString::number(shot->distinctColours)));
    }
    QVERIFY(light.meanLightness > 150);
    QVERIFY(dark.meanLightness < 100);
}

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
