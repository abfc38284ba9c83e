#include "tests/support/Pixels.h"

#include "MorvendaApp/components/Symbols.h"

#include <QTest>


namespace {

// Every symbol name the views draw. A view that starts using a new name adds it here; the test
// then fails until icons/symbols.txt maps it.
const QStringList kUsedSymbols = {
    QStringLiteral("a.circle"), QStringLiteral("align.horizontal.left.fill"), QStringLiteral("app.badge"), QStringLiteral("arrow.counterclockwise"),
    QStringLiteral("arrow.down"), QStringLiteral("arrow.down.left.square"), QStringLiteral("arrow.forward.circle"), QStringLiteral("arrow.right"),
    QStringLiteral("arrow.turn.left.up"), QStringLiteral("arrow.turn.right.down"), QStringLiteral("arrow.turn.right.up"), QStringLiteral("arrow.up"),
    QStringLiteral("arrow.up.and.person.rectangle.portrait"), QStringLiteral("arrow.up.arrow.down"), QStringLiteral("arrow.up.forward.app"),
    QStringLiteral("arrow.up.to.line"), QStringLiteral("bolt"), QStringLiteral("bolt.horizontal"), QStringLiteral("bolt.slash"), QStringLiteral("calendar.day.timeline.left"),
    QStringLiteral("chart.bar.fill"), QStringLiteral("chart.bar.xaxis"), QStringLiteral("chart.xyaxis.line"), QStringLiteral("checkmark.circle.fill"),
    QStringLiteral("checkmark.square.fill"), QStringLiteral("chevron.down"), QStringLiteral("chevron.up"), QStringLiteral("circle"), QStringLiteral("circle.fill"),
    QStringLiteral("circle.lefthalf.filled"), QStringLiteral("clock.fill"), QStringLiteral("doc.fill"), QStringLiteral("flag.fill"), QStringLiteral("folder.fill"), QStringLiteral("gear"),
    QStringLiteral("globe"), QStringLiteral("line.3.horizontal.decrease.circle"), QStringLiteral("line.3.horizontal.decrease.circle.fill"), QStringLiteral("link"),
    QStringLiteral("network"), QStringLiteral("number.circle"), QStringLiteral("pause.circle"), QStringLiteral("person.2.gobackward"), QStringLiteral("person.crop.circle"),
    QStringLiteral("person.crop.rectangle.badge.plus.fill"), QStringLiteral("questionmark.circle"), QStringLiteral("record.circle"),
    QStringLiteral("rectangle.compress.vertical"), QStringLiteral("rectangle.expand.vertical"), QStringLiteral("square"), QStringLiteral("square.and.arrow.down"),
    QStringLiteral("square.and.arrow.up"), QStringLiteral("square.and.pencil"), QStringLiteral("square.bottomthird.inset.filled"),
    QStringLiteral("square.on.square"), QStringLiteral("square.split.1x2"), QStringLiteral("square.split.2x1"), QStringLiteral("star"), QStringLiteral("star.fill"),
    QStringLiteral("testtube.2"), QStringLiteral("text.magnifyingglass"), QStringLiteral("timer.circle.fill"), QStringLiteral("trash"), QStringLiteral("xmark"), QStringLiteral("xmark.app"),
    QStringLiteral("xmark.shield"),
};

// Pixels drawn with at least `minAlpha` of opacity.
int inkedPixels(const QImage &image, int minAlpha = 1)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) >= minAlpha ? 1 : 0;
    }
    return count;
}

} // namespace

class TestSymbols : public QObject
{
    Q_OBJECT

private slots:
    void everyUsedSymbolIsMapped_data();
    void everyUsedSymbolIsMapped();
    void rendersInTheGivenColourAndSize();
    void pixmapsAreCachedPerColourSizeAndRatio();
    void unmappedNameGivesTransparentPixmap_data();
    void unmappedNameGivesTransparentPixmap();
};

void TestSymbols::everyUsedSymbolIsMapped_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : kUsedSymbols)
        QTest::addRow("%s", qPrintable(name)) << name;
}

void TestSymbols::everyUsedSymbolIsMapped()
{
    QFETCH(QString, name);
    QVERIFY2(Symbols::contains(name), qPrintable(name + QStringLiteral(" has no image in icons/symbols.txt")));
    QVERIFY2(inkedPixels(Symbols::pixmap(name, Qt::black, 24, 1.0).toImage()) > 10, "the symbol draws nothing");
}

void TestSymbols::rendersInTheGivenColourAndSize()
{
    const QColor red(0xff, 0x3b, 0x30);
    const QPixmap pixmap = Symbols::pixmap(QStringLiteral("square"), red, 20, 2.0);
    QCOMPARE(pixmap.size(), QSize(40, 40));
    QCOMPARE(pixmap.devicePixelRatio(), 2.0);
    QVERIFY(pixelsNear(pixmap.toImage(), red, 7) > 20);

    QColor halfRed = red;
    halfRed.setAlphaF(0.5f);
    const QImage faded = Symbols::pixmap(QStringLiteral("square"), halfRed, 20, 1.0).toImage();
    QVERIFY(inkedPixels(faded, 101) > 0);
    QCOMPARE(inkedPixels(faded, 140), 0);
}

void TestSymbols::pixmapsAreCachedPerColourSizeAndRatio()
{
    const QPixmap first = Symbols::pixmap(QStringLiteral("link"), Qt::blue, 16, 1.0);
    QCOMPARE(Symbols::pixmap(QStringLiteral("link"), Qt::blue, 16, 1.0).cacheKey(), first.cacheKey());
    QVERIFY(Symbols::pixmap(QStringLiteral("link"), Qt::red, 16, 1.0).cacheKey() != first.cacheKey());
    QVERIFY(Symbols::pixmap(QStringLiteral("link"), Qt::blue, 18, 1.0).cacheKey() != first.cacheKey());
    QCOMPARE(Symbols::pixmap(QStringLiteral("link"), Qt::blue, 16, 1.5).size(), QSize(24, 24));
}

void TestSymbols::unmappedNameGivesTransparentPixmap_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("an unknown symbol") << QStringLiteral("no.such.symbol");
    QTest::addRow("a path that leaves the symbol folder") << QStringLiteral("../symbols/link");
    QTest::addRow("the empty name") << QString();
}

void TestSymbols::unmappedNameGivesTransparentPixmap()
{
    QFETCH(QString, name);
    QVERIFY(!Symbols::contains(name));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("no image for symbol")));
    const QImage image = Symbols::pixmap(name, Qt::black, 12, 1.0).toImage();
    QCOMPARE(image.size(), QSize(12, 12));
    QCOMPARE(inkedPixels(image), 0);
}

QTEST_MAIN(TestSymbols)
#include "tst_symbols.moc"
