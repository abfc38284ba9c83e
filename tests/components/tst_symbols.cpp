#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"

#include <QApplication>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Every symbol name the views draw. A view that starts using a new name adds it here; the test
// then fails until icons/symbols.txt maps it.
const QStringList kUsedSymbols = {
    u"a.circle"_s, u"align.horizontal.left.fill"_s, u"app.badge"_s, u"arrow.counterclockwise"_s,
    u"arrow.down"_s, u"arrow.down.left.square"_s, u"arrow.forward.circle"_s, u"arrow.right"_s,
    u"arrow.turn.left.up"_s, u"arrow.turn.right.down"_s, u"arrow.turn.right.up"_s, u"arrow.up"_s,
    u"arrow.up.and.person.rectangle.portrait"_s, u"arrow.up.arrow.down"_s, u"arrow.up.forward.app"_s,
    u"arrow.up.to.line"_s, u"bolt"_s, u"bolt.horizontal"_s, u"bolt.slash"_s, u"calendar.day.timeline.left"_s,
    u"chart.bar.fill"_s, u"chart.bar.xaxis"_s, u"chart.xyaxis.line"_s, u"checkmark.circle.fill"_s,
    u"checkmark.square.fill"_s, u"chevron.down"_s, u"chevron.up"_s, u"circle"_s, u"circle.fill"_s,
    u"circle.lefthalf.filled"_s, u"clock.fill"_s, u"doc.fill"_s, u"flag.fill"_s, u"folder.fill"_s, u"gear"_s,
    u"globe"_s, u"line.3.horizontal.decrease.circle"_s, u"line.3.horizontal.decrease.circle.fill"_s, u"link"_s,
    u"network"_s, u"number.circle"_s, u"pause.circle"_s, u"person.2.gobackward"_s, u"person.crop.circle"_s,
    u"person.crop.rectangle.badge.plus.fill"_s, u"questionmark.circle"_s, u"record.circle"_s,
    u"rectangle.compress.vertical"_s, u"rectangle.expand.vertical"_s, u"square"_s, u"square.and.arrow.down"_s,
    u"square.and.arrow.up"_s, u"square.and.pencil"_s, u"square.bottomthird.inset.filled"_s,
    u"square.on.square"_s, u"square.split.1x2"_s, u"square.split.2x1"_s, u"star"_s, u"star.fill"_s,
    u"testtube.2"_s, u"text.magnifyingglass"_s, u"timer.circle.fill"_s, u"trash"_s, u"xmark"_s, u"xmark.app"_s,
    u"xmark.shield"_s,
};

// The number of pixels whose colour is close to `color` (ignoring alpha).
int pixelsNear(const QImage &image, QColor color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (p.alpha() > 200 && std::abs(p.red() - color.red()) < 8 && std::abs(p.green() - color.green()) < 8
                && std::abs(p.blue() - color.blue()) < 8)
                ++count;
        }
    }
    return count;
}

QPalette paletteWithWindow(QColor window, QColor text)
{
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Highlight, QColor(0x33, 0x66, 0xcc));
    return palette;
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
    void namedColoursFollowTheScheme();
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
    QVERIFY2(Symbols::contains(name), qPrintable(name + u" has no image in icons/symbols.txt"_s));
    const QImage image = Symbols::pixmap(name, Qt::black, 24, 1.0).toImage();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inked += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    QVERIFY2(inked > 10, "the symbol draws nothing");
}

void TestSymbols::rendersInTheGivenColourAndSize()
{
    const QColor red(0xff, 0x3b, 0x30);
    const QPixmap pixmap = Symbols::pixmap(u"square"_s, red, 20, 2.0);
    QCOMPARE(pixmap.size(), QSize(40, 40));
    QCOMPARE(pixmap.devicePixelRatio(), 2.0);
    QVERIFY(pixelsNear(pixmap.toImage(), red) > 20);
    QCOMPARE(pixelsNear(pixmap.toImage(), Qt::black), 0);

    QColor halfRed = red;
    halfRed.setAlphaF(0.5f);
    const QImage faded = Symbols::pixmap(u"square"_s, halfRed, 20, 1.0).toImage();
    int maxAlpha = 0;
    for (int y = 0; y < faded.height(); ++y)
        for (int x = 0; x < faded.width(); ++x)
            maxAlpha = std::max(maxAlpha, qAlpha(faded.pixel(x, y)));
    QVERIFY(maxAlpha > 100 && maxAlpha < 140);
}

void TestSymbols::pixmapsAreCachedPerColourSizeAndRatio()
{
    const QPixmap first = Symbols::pixmap(u"link"_s, Qt::blue, 16, 1.0);
    QCOMPARE(Symbols::pixmap(u"link"_s, Qt::blue, 16, 1.0).cacheKey(), first.cacheKey());
    QVERIFY(Symbols::pixmap(u"link"_s, Qt::red, 16, 1.0).cacheKey() != first.cacheKey());
    QVERIFY(Symbols::pixmap(u"link"_s, Qt::blue, 18, 1.0).cacheKey() != first.cacheKey());
    QCOMPARE(Symbols::pixmap(u"link"_s, Qt::blue, 16, 1.5).size(), QSize(24, 24));
}

void TestSymbols::unmappedNameGivesTransparentPixmap_data()
{
    QTest::addColumn<QString>("name");
    QTest::addRow("an unknown symbol") << u"no.such.symbol"_s;
    QTest::addRow("a path that leaves the symbol folder") << u"../symbols/link"_s;
    QTest::addRow("the empty name") << QString();
}

void TestSymbols::unmappedNameGivesTransparentPixmap()
{
    QFETCH(QString, name);
    QVERIFY(!Symbols::contains(name));
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(u"no image for symbol"_s));
    const QImage image = Symbols::pixmap(name, Qt::black, 12, 1.0).toImage();
    QCOMPARE(image.size(), QSize(12, 12));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            QCOMPARE(qAlpha(image.pixel(x, y)), 0);
}

void TestSymbols::namedColoursFollowTheScheme()
{
    const QPalette light = paletteWithWindow(QColor(0xec, 0xec, 0xec), Qt::black);
    const QPalette dark = paletteWithWindow(QColor(0x1e, 0x1e, 0x1e), Qt::white);
    QVERIFY(!isDarkPalette(light));
    QVERIFY(isDarkPalette(dark));

    for (NamedColor color : {NamedColor::Red, NamedColor::Orange, NamedColor::Yellow, NamedColor::Green,
             NamedColor::Blue, NamedColor::Purple, NamedColor::Pink, NamedColor::Gray, NamedColor::Cyan,
             NamedColor::Indigo, NamedColor::Teal}) {
        QVERIFY(namedColor(color, light) != namedColor(color, dark));
        QVERIFY(namedColor(color, dark).lightness() >= namedColor(color, light).lightness());
    }
    QCOMPARE(namedColor(NamedColor::Accent, dark), QColor(0x33, 0x66, 0xcc));
    QCOMPARE(namedColor(NamedColor::Primary, dark), QColor(Qt::white));
    const QColor secondary = namedColor(NamedColor::Secondary, light);
    QCOMPARE(secondary.rgb(), QColor(Qt::black).rgb());
    QVERIFY(qAbs(secondary.alphaF() - 0.55f) < 0.01f);
}

QTEST_MAIN(TestSymbols)
#include "tst_symbols.moc"
