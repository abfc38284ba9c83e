#include "MorvendaApp/shell/Asset.h"

#include <QTest>

namespace {

int opaquePixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0;
    }
    return count;
}

} // namespace

class TestAssets : public QObject
{
    Q_OBJECT

private slots:
    void everyNamedAssetIsDrawn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addRow("the logo is named M") << Asset::logo;
        QTest::addRow("the connect screen's watermark") << Asset::watermark;
        QTest::addRow("the retailer app's small logo") << Asset::retailerStageSmall;
        QTest::addRow("the brand app's small logo") << Asset::brandStageSmall;
    }

    void everyNamedAssetIsDrawn()
    {
        QFETCH(QString, name);
        const QPixmap sharp = Asset::pixmap(name, QSize(64, 64), 2.0);
        QCOMPARE(sharp.size(), QSize(128, 128));
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        const QImage image = sharp.toImage();
        QVERIFY2(opaquePixels(image) > 128 * 128 / 25, "the image is (nearly) empty");

        // Wider than tall: the aspect is kept and the drawing centred.
        const QImage wide = Asset::pixmap(name, QSize(120, 40)).toImage();
        QCOMPARE(qAlpha(wide.pixel(2, 20)), 0);
        QCOMPARE(qAlpha(wide.pixel(117, 20)), 0);

        QVERIFY(image.save(qEnvironmentVariable("MORVENDA_ARTIFACTS") + QStringLiteral("/asset-") + name + u".png"));
    }

    void unknownNameGivesNothing()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no image asset named")));
        QVERIFY(Asset::pixmap(QStringLiteral("no-such-asset"), QSize(16, 16)).isNull());
    }
};

QTEST_MAIN(TestAssets)
#include "tst_assets.moc"
