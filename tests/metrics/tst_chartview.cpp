// The chart widget: value↔pixel mapping both ways, the cached layer redrawn only when it must be,
// labels fitted and thinned, marks that cannot be drawn skipped, series told apart past the
// palette's hues, and a legend that says what it left out.
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/metrics/ui/ChartLabelInk.h"
#include "MorvendaApp/metrics/ui/ChartLabelPlacement.h"
#include "MorvendaApp/metrics/ui/ChartSeriesStyle.h"
#include "MorvendaApp/metrics/ui/ChartView.h"
#include "MorvendaApp/shell/ShellPalette.h"

#include <QPainter>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <memory>

namespace {

// Two stacked series over five seconds, a line with symbols, a dashed rule with its label and
// one label per bar.
Chart::Data sampleData()
{
    Chart::Data data;
    data.xKind = Chart::AxisKind::Date;
    data.series = {{QStringLiteral("get"), 0}, {QStringLiteral("post"), 1}};
    const double t0 = 1765000000;
    for (int s = 0; s < 5; ++s) {
        if (s == 2)
            continue;
        data.bars.push_back({t0 + s, t0 + s + 1, 0, double(s + 1), 0});
        data.bars.push_back({t0 + s, t0 + s + 1, double(s + 1), double(s + 2), 1});
        data.labels.push_back({t0 + s, t0 + s + 1, 0, double(s + 2), QString::number(s + 2)});
    }
    data.lines.push_back({1, {{t0 + 0.5, 1}, {t0 + 3.5, 4}}, true});
    Chart::Rule rule{Qt::Horizontal, 3, QColor(Qt::red), 1, {2, 2}, std::nullopt};
    rule.label = Chart::Label{0, 0, 0, 0, QStringLiteral("limit"), Chart::LabelPosition::Trailing, 2, Chart::Fit::Plot,
        Chart::Fit::Plot, Chart::Tone::Primary, 0};
    data.rules.push_back(rule);
    return data;
}

// A zig-zag line of `points` points and as many bars, from the seed: a layer far too large to draw
// within a frame.
Chart::Data largeData(int points, quint32 seed)
{
    Chart::Data data;
    data.xKind = Chart::AxisKind::Date;
    data.series = {{QStringLiteral("/a"), 0}, {QStringLiteral("/b"), 1}};
    const double t0 = 1765000000;
    QList<QPointF> line;
    for (int i = 0; i < points; ++i) {
        const double value = 1 + double((i * 7919u + seed * 104729u) % 1000u) / 250;
        line.append({t0 + i * 0.02, value});
        data.bars.push_back({t0 + i * 0.02, t0 + i * 0.02 + 0.01, double(i % 10), double(i % 10) + 0.8, 1});
    }
    data.lines.push_back({0, line, true});
    return data;
}

// What the view shows after a paint.
QImage picture(ChartView &view)
{
    return view.grab().toImage();
}

} // namespace

class TestChartView : public QObject
{
    Q_OBJECT

private slots:
    void mapsValuesToPixelsAndBackAndSurvivesDegenerateSizesAndData()
    {
        ChartView view;
        view.resize(500, 260);
        view.setData(sampleData());
        const QRectF plot = view.plotRect();
        QVERIFY(!plot.isEmpty());
        QVERIFY(QRectF(0, 0, 500, 260).contains(plot));
        // The y domain starts at zero and ends on a tick at or above the highest stack.
        QCOMPARE(view.yPixel(0), plot.bottom());
        QVERIFY(view.yPixel(6) >= plot.top() - 1e-9);
        // The date domain is the bars' extent, its ends on the plot's edges.
        QCOMPARE(view.xPixel(1765000000), plot.left());
        QCOMPARE(view.xPixel(1765000005), plot.right());
        for (const double t : {1765000000.0, 1765000001.25, 1765000004.9}) {
            const std::optional<double> back = view.xValue(view.xPixel(t));
            QVERIFY(back);
            QCOMPARE_LT(std::abs(*back - t), 1e-6);
        }
        const std::optional<double> y = view.yValue(view.yPixel(2.5));
        QVERIFY(y);
        QCOMPARE_LT(std::abs(*y - 2.5), 1e-9);
        // A fixed domain wins over the marks.
        Chart::Data fixed = sampleData();
        fixed.yDomain = std::pair(-1.0, 1.0);
        view.setData(fixed);
        QCOMPARE(view.yPixel(-1), view.plotRect().bottom());
        QCOMPARE(view.yPixel(1), view.plotRect().top());

        // Sizes with no room for a plot map nothing and draw nothing.
        view.setData(sampleData());
        for (const QSize size : {QSize(0, 0), QSize(0, 300), QSize(300, 0), QSize(12, 12)}) {
            view.resize(size);
            QVERIFY(view.plotRect().isEmpty());
            QVERIFY(!view.xValue(10));
            QVERIFY(!view.yValue(10));
            view.grab();
        }
        // Marks with values no axis can hold are skipped; the rest still lays out.
        Chart::Data wild;
        wild.bars.push_back({NAN, 1, 0, 1, 0});
        wild.bars.push_back({0, INFINITY, 0, 1, 0});
        wild.lines.push_back({0, {{NAN, 1}, {1, 2}}, true});
        wild.rules.push_back({Qt::Vertical, NAN, std::nullopt, 1, {}, std::nullopt});
        wild.labels.push_back({NAN, NAN, 0, 0, QStringLiteral("x")});
        view.resize(300, 200);
        view.setData(wild);
        QVERIFY(!view.plotRect().isEmpty());
        view.grab();
        // Empty data keeps an empty axis rather than a collapsed one.
        view.setData({});
        QVERIFY(!view.plotRect().isEmpty());
        QVERIFY(view.xPixel(1) > view.xPixel(0));
        view.grab();
    }

    void floatingBarsSpanTheirTimesOnTheirRow()
    {
        // A row of a duration chart: a bar from a later to an earlier time (a response stamped
        // before its request) still covers the span between them, on its own row only.
        ChartView view;
        view.resize(400, 200);
        Chart::Data data;
        data.xKind = Chart::AxisKind::Date;
        data.xDomain = std::pair(100.0, 110.0);
        data.yDomain = std::pair(0.0, 3.0);
        data.series = {{QStringLiteral("/a"), 2}};
        data.bars.push_back({105, 102, 1.7, 2.3, 0});
        view.setData(data);
        const QImage image = view.grab().toImage();
        const auto at = [&](double x, double y) { return image.pixelColor(QPointF(view.xPixel(x), view.yPixel(y)).toPoint()); };
        QCOMPARE(at(103.5, 2), view.seriesColor(2));
        QVERIFY(at(101, 2) != view.seriesColor(2));
        QVERIFY(at(106, 2) != view.seriesColor(2));
        QVERIFY(at(103.5, 1) != view.seriesColor(2));
    }

    void cachedLayerIsRedrawnOnlyForDataSizeOrPalette()
    {
        ChartView view;
        view.resize(400, 220);
        int overlayPaints = 0;
        view.setOverlayPainter([&](QPainter &) { ++overlayPaints; });
        view.setData(sampleData());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(overlayPaints > 0);
        const int renders = view.layerRenderCount();
        QCOMPARE(renders, 1);

        const int paintsBefore = overlayPaints;
        view.updateOverlay();
        QTRY_VERIFY(overlayPaints > paintsBefore);
        QCOMPARE(view.layerRenderCount(), renders);

        view.setData(sampleData());
        QTRY_COMPARE(view.layerRenderCount(), renders + 1);
        view.resize(420, 220);
        QTRY_COMPARE(view.layerRenderCount(), renders + 2);
        view.setPalette(ShellPalette::dark());
        QTRY_COMPARE(view.layerRenderCount(), renders + 3);
    }

    // A large layer is drawn on a worker while the view keeps the layer before it: the mapping and
    // the data stay those of the picture shown, the main thread never draws it, and what ends on
    // screen is what drawing at once gives.
    void largeLayerIsDrawnAsideAndEndsAsDrawnAtOnce()
    {
        ChartView view;
        view.resize(600, 250);
        view.setData(sampleData());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(!view.layerPending());
        const int onMain = view.mainThreadLayerRenderCount();
        const QRectF plot = view.plotRect();
        const qreal before = view.xPixel(1765000002);

        for (const quint32 seed : {1u, 2u, 3u}) {
            view.setData(largeData(30000, seed));
            QVERIFY(view.rendersAside());
            if (seed == 1) {
                // Until the worker is done the small layer is what shows and what the pointer maps.
                QCOMPARE(view.data().bars.size(), sampleData().bars.size());
                QCOMPARE(view.plotRect(), plot);
                QCOMPARE(view.xPixel(1765000002), before);
            }
            view.repaint();
        }
        QTRY_VERIFY(!view.layerPending());
        QCOMPARE(view.data().bars.size(), std::size_t(30000));
        QCOMPARE(view.mainThreadLayerRenderCount(), onMain);
        const QImage aside = picture(view);
        QCOMPARE(view.mainThreadLayerRenderCount(), onMain);

        view.setRenderAside(false);
        QVERIFY(aside == picture(view));
        QCOMPARE(view.mainThreadLayerRenderCount(), onMain + 1);
    }

    // The data shown until now, or drawn aside and outdated by a small layer shown at once, is let
    // go on a pool thread: freeing hundreds of thousands of marks would cost the main thread
    // milliseconds.
    void dataShownBeforeIsFreedOffTheMainThread_data()
    {
        QTest::addColumn<bool>("aside");
        QTest::addColumn<bool>("outdated");
        QTest::addRow("drawn aside") << true << false;
        QTest::addRow("drawn at once") << false << false;
        QTest::addRow("drawn aside, outdated before it shows") << true << true;
    }
    void dataShownBeforeIsFreedOffTheMainThread()
    {
        QFETCH(bool, aside);
        QFETCH(bool, outdated);
        struct Witness
        {
            explicit Witness(std::atomic<QThread *> *freedOn)
                : freedOn(freedOn)
            {
            }
            ~Witness() { *freedOn = QThread::currentThread(); }
            std::atomic<QThread *> *freedOn;
        };
        std::atomic<QThread *> freedOn{nullptr};
        {
            ChartView view;
            view.setRenderAside(aside);
            view.resize(600, 250);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            Chart::Data first = largeData(30000, 1);
            first.labelText = [witness = std::make_shared<Witness>(&freedOn)](double value) { return QString::number(value); };
            view.setData(std::move(first));
            view.repaint();
            if (outdated)
                view.setData(sampleData());
            else
                QTRY_VERIFY(!view.layerPending());
            view.setData(outdated ? sampleData() : largeData(30000, 2));
            view.repaint();
            QTRY_VERIFY(!view.layerPending());
            QTRY_VERIFY(freedOn.load() != nullptr);
        }
        QVERIFY(freedOn.load() != QThread::currentThread());
    }

    // Few marks can still cost a frame: after a layer that took long to draw, the next one is drawn
    // aside whatever its marks; once one is cheap again, layers are drawn at once again.
    void aCostlyLayerSendsTheNextOneAside()
    {
        ChartView view;
        view.resize(600, 250);
        // Every point of two thousand lines drawn in full, antialiased: a layer of few marks that
        // costs far more than a frame.
        view.setThinning(false);
        Chart::Data costly;
        costly.xKind = Chart::AxisKind::Date;
        for (int line = 0; line < 2000; ++line) {
            QList<QPointF> points;
            for (int i = 0; i < 8; ++i)
                points.append({1765000000.0 + i * 10 + line * 0.01, double((line * 37 + i * 101) % 50)});
            costly.lines.push_back({line % 24, points, true});
        }
        QVERIFY(ChartLayer::itemCount(costly) < 20000);
        view.setData(costly);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(!view.layerPending());
        QVERIFY2(view.lastLayerRenderMs() >= 8, qPrintable(QString::number(view.lastLayerRenderMs())));
        const int onMain = view.mainThreadLayerRenderCount();

        view.setData(sampleData());
        QVERIFY(view.rendersAside());
        view.repaint();
        QTRY_VERIFY(!view.layerPending());
        QCOMPARE(view.mainThreadLayerRenderCount(), onMain);
        QCOMPARE(view.data().lines.size(), sampleData().lines.size());
        // A cheap layer brings drawing back at once; a busy machine may stretch one render past
        // the bound, so a few more cheap ones are allowed before that is a fault.
        for (int tries = 0; tries < 10 && view.rendersAside(); ++tries) {
            view.setData(sampleData());
            view.repaint();
            QTRY_VERIFY(!view.layerPending());
        }
        QVERIFY2(!view.rendersAside(), qPrintable(QString::number(view.lastLayerRenderMs())));
        const int beforeCheap = view.mainThreadLayerRenderCount();
        view.setData(sampleData());
        view.repaint();
        QCOMPARE(view.mainThreadLayerRenderCount(), beforeCheap + 1);
    }

    // A size or palette change while a layer is drawn aside: the layer that ends on screen has the
    // new size and look, as drawing at once gives it.
    void changeDuringAsideRenderEndsRight_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("dark");
        QTest::newRow("wider") << QSize(700, 250) << false;
        QTest::newRow("smaller") << QSize(420, 200) << false;
        QTest::newRow("dark palette") << QSize(600, 250) << true;
        QTest::newRow("both") << QSize(680, 300) << true;
    }

    void changeDuringAsideRenderEndsRight()
    {
        QFETCH(QSize, size);
        QFETCH(bool, dark);
        ChartView view;
        view.resize(600, 250);
        view.setData(largeData(30000, 1));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(!view.layerPending());
        const int onMain = view.mainThreadLayerRenderCount();

        view.setData(largeData(30000, 2));
        view.repaint();
        QVERIFY(view.layerPending());
        view.resize(size);
        if (dark)
            view.setPalette(ShellPalette::dark());
        QTRY_VERIFY(!view.layerPending());
        QCOMPARE(view.mainThreadLayerRenderCount(), onMain);
        QVERIFY(QRectF(QPointF(0, 0), QSizeF(size)).contains(view.plotRect()));
        const QImage aside = picture(view);

        view.setRenderAside(false);
        QVERIFY(aside == picture(view));
    }

    void labelsFitTheirBoundsAndDenseOnesAreThinned()
    {
        ChartView view;
        view.resize(400, 220);
        Chart::Data data;
        data.xDomain = std::pair(0.0, 10.0);
        data.yDomain = std::pair(0.0, 10.0);
        // Ten thousand labels on one row: only those with room of their own are drawn.
        for (int i = 0; i < 10000; ++i)
            data.labels.push_back({i / 1000.0, i / 1000.0, 5, 5, QStringLiteral("0.250000 s"), Chart::LabelPosition::Center});
        view.setData(data);
        view.grab();
        QVERIFY2(view.thinnedLabelCount() > 9900, qPrintable(QString::number(view.thinnedLabelCount())));
        QVERIFY(view.thinnedLabelCount() < 10000);

        QImage image(view.size(), QImage::Format_ARGB32);
        QPainter painter(&image);
        const QRectF plot = view.plotRect();
        // A label past the plot's right edge is moved back inside when it fits to the plot...
        Chart::Label trailing{10, 10, 5, 5, QStringLiteral("a wide label"), Chart::LabelPosition::Trailing, 2,
            Chart::Fit::Plot, Chart::Fit::Plot};
        QVERIFY(plot.contains(view.paintLabel(painter, trailing)));
        // ...and into the widget when it fits to the chart: above the plot as far as there is room.
        Chart::Label top{0, 0, 10, 10, QStringLiteral("top"), Chart::LabelPosition::Top, 2, Chart::Fit::Plot, Chart::Fit::Chart};
        const QRectF placed = view.paintLabel(painter, top);
        QCOMPARE(placed.top(), std::max(0.0, plot.top() - 2 - placed.height()));
        QVERIFY(placed.left() >= plot.left());
    }

    // A label padded at its top (the hover read-out's) keeps the padding clear and draws its text
    // below it, in its tone, whether drawn where it belongs or placed among the tools' labels.
    void paddedLabelTextStandsBelowItsPadding_data()
    {
        QTest::addColumn<bool>("placed");
        QTest::addRow("where it belongs") << false;
        QTest::addRow("placed among the tools' labels") << true;
    }
    void paddedLabelTextStandsBelowItsPadding()
    {
        QFETCH(bool, placed);
        ChartView view;
        view.resize(400, 220);
        Chart::Data data;
        data.xDomain = std::pair(0.0, 10.0);
        data.yDomain = std::pair(0.0, 10.0);
        view.setData(data);
        view.grab();
        const auto paint = [&](Chart::Tone tone, QRectF &rect) {
            QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            Chart::Label label{5, 5, 5, 5, QStringLiteral("0.250 s"), Chart::LabelPosition::Top, 2};
            label.tone = tone;
            label.topPadding = 20;
            ChartLabelPlacement placement = view.overlayPlacement();
            rect = view.paintLabel(painter, label, placed ? &placement : nullptr);
            return image;
        };
        const auto inked = [](const QImage &image, const QRectF &area) {
            const QRect pixels = area.toAlignedRect().intersected(image.rect());
            for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
                for (int x = pixels.left(); x <= pixels.right(); ++x) {
                    if (qAlpha(image.pixel(x, y)) > 0)
                        return true;
                }
            }
            return false;
        };
        QRectF rect;
        const QImage primary = paint(Chart::Tone::Primary, rect);
        QVERIFY(rect.height() > 20);
        QVERIFY(!inked(primary, QRectF(0, 0, view.width(), rect.top() + 19)));
        QVERIFY(inked(primary, rect.adjusted(0, 20, 0, 0)));
        QVERIFY(!inked(primary, QRectF(0, rect.bottom() + 1, view.width(), view.height())));
        QRectF secondaryRect;
        const QImage secondary = paint(Chart::Tone::Secondary, secondaryRect);
        QCOMPARE(secondaryRect, rect);
        QVERIFY(secondary != primary);
    }


    // A label's colour reads on every background a chart gives it: each series colour (a label
    // inside its bar) and the plate, in both schemes and both tones. A tone that already reads is
    // kept as it shows; a picture's flat colour is found only where it is flat and opaque.
    void labelInkReadsOnEveryBackground_data() { seriesPastTheHuesStayDistinct_data(); }
    void labelInkReadsOnEveryBackground()
    {
        QFETCH(bool, dark);
        const QPalette palette = dark ? ShellPalette::dark() : ShellPalette::light();
        const QColor window = palette.color(QPalette::Window);
        QList<QColor> backgrounds{window};
        for (int i = 0; i < 3 * ChartSeriesStyle::kHueCount; ++i)
            backgrounds.append(ChartSeriesStyle::color(i, palette));
        for (const NamedColor tone : {NamedColor::Primary, NamedColor::Secondary}) {
            for (const QColor &background : std::as_const(backgrounds)) {
                const QColor ink = ChartLabelInk::readableOn(namedColor(tone, palette), background);
                QCOMPARE_GE(ChartLabelInk::contrast(ink, background), ChartLabelInk::kMinimumContrast);
            }
        }
        const QColor primary = namedColor(NamedColor::Primary, palette);
        QCOMPARE(ChartLabelInk::readableOn(primary, window), primary);
        QCOMPARE(ChartLabelInk::contrast(Qt::black, Qt::white), 21.0);

        QImage layer(40, 20, QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        const QColor bar = ChartSeriesStyle::color(0, palette);
        QPainter(&layer).fillRect(QRect(0, 0, 30, 20), bar);
        QCOMPARE(ChartLabelInk::flatColourBehind(layer, QRectF(2.5, 2.5, 20, 12)), std::optional<QColor>(bar));
        QVERIFY(!ChartLabelInk::flatColourBehind(layer, QRectF(12.5, 2.5, 20, 12)));
        QVERIFY(!ChartLabelInk::flatColourBehind(layer, QRectF(32, 2, 6, 12)));
        QVERIFY(!ChartLabelInk::flatColourBehind(layer, QRectF(30, 2, 20, 12)));
        QCOMPARE(ChartLabelInk::inkFor(layer, QRectF(12.5, 2.5, 20, 12), namedColor(NamedColor::Secondary, palette), window).plate, window);
        QCOMPARE(ChartLabelInk::inkFor(layer, QRectF(2.5, 2.5, 20, 12), namedColor(NamedColor::Secondary, palette), window).plate, bar);
    }

    // Three rounds of the palette's hues: no two series share colour, dash and symbol, and no two
    // share a colour, in either scheme.
    void seriesPastTheHuesStayDistinct_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addRow("light") << false;
        QTest::addRow("dark") << true;
    }

    void seriesPastTheHuesStayDistinct()
    {
        QFETCH(bool, dark);
        const QPalette palette = dark ? ShellPalette::dark() : ShellPalette::light();
        const int count = 3 * ChartSeriesStyle::kHueCount;
        QSet<QRgb> colors;
        for (int i = 0; i < count; ++i)
            colors.insert(ChartSeriesStyle::color(i, palette).rgba());
        QCOMPARE(colors.size(), count);
        for (int i = 0; i < ChartSeriesStyle::kHueCount; ++i) {
            const int later = i + ChartSeriesStyle::kHueCount;
            QVERIFY(ChartSeriesStyle::dash(later) != ChartSeriesStyle::dash(i));
            QVERIFY(ChartSeriesStyle::marker(later) != ChartSeriesStyle::marker(i));
        }
    }

    // A legend with more series than its line holds ends with "+N more" for exactly the ones left
    // out; its parts stay inside the widget and clear of each other.
    void legendEndsWithHowManyItLeftOut_data()
    {
        QTest::addColumn<int>("series");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("allShown");
        QTest::addRow("three short names in a wide chart") << 3 << 600 << true;
        QTest::addRow("thirty paths in a narrow chart") << 30 << 420 << false;
        QTest::addRow("two long paths where one fits") << 2 << 260 << false;
    }

    void legendEndsWithHowManyItLeftOut()
    {
        QFETCH(int, series);
        QFETCH(int, width);
        QFETCH(bool, allShown);
        Chart::Data data;
        for (int i = 0; i < series; ++i) {
            const QString name = series == 2 ? QStringLiteral("/api/v2/retailers/orders/%1/items").arg(i) : QStringLiteral("/p/%1").arg(i);
            data.series.append({name, i});
            data.bars.push_back({0, 1, double(i), double(i) + 0.5, i});
        }
        ChartView view;
        view.resize(width, 200);
        view.setData(data);
        const ChartLegend legend = view.legend();
        QCOMPARE(int(legend.entries().size()) + legend.hiddenCount(), series);
        QCOMPARE(legend.hiddenCount() == 0, allShown);
        QCOMPARE(legend.moreText(), allShown ? QString() : QStringLiteral("+%1 more").arg(legend.hiddenCount()));
        QList<QRectF> parts;
        for (const ChartLegend::Entry &entry : legend.entries())
            parts << entry.symbol << entry.text;
        if (!allShown)
            parts << legend.moreRect();
        for (qsizetype i = 0; i < parts.size(); ++i) {
            QVERIFY(QRectF(0, 0, width, 200).contains(parts[i]));
            for (qsizetype j = i + 1; j < parts.size(); ++j)
                QVERIFY(!parts[i].intersects(parts[j]));
        }
        view.grab();
    }

    // The placement rule: a label takes the first free candidate inside its bounds; a tool's
    // label takes a near place over a layer's label rather than a free one far away, and never
    // one over an axis label or an earlier label.
    void placementTakesTheFirstFreePlace_data()
    {
        QTest::addColumn<QList<QRectF>>("hard");
        QTest::addColumn<QList<QRectF>>("soft");
        QTest::addColumn<bool>("mayCoverSoft");
        QTest::addColumn<int>("chosen"); // index into the candidates, -1 for none
        QTest::addColumn<int>("covered");
        const QRectF first(10, 10, 20, 10);
        QTest::addRow("the first when free") << QList<QRectF>() << QList<QRectF>() << false << 0 << 0;
        QTest::addRow("touching edges do not overprint") << QList<QRectF>{QRectF(30, 10, 5, 10)} << QList<QRectF>() << false << 0 << 0;
        QTest::addRow("the next past a taken one") << QList<QRectF>{first} << QList<QRectF>() << false << 1 << 0;
        QTest::addRow("outside the bounds is no place") << QList<QRectF>{QRectF(40, 10, 20, 10)} << QList<QRectF>() << false << 0 << 0;
        const QList<QRectF> nearRow{QRectF(0, 0, 200, 30)};
        QTest::addRow("a data label never covers a soft one") << QList<QRectF>() << nearRow << false << 5 << 0;
        QTest::addRow("a tool's label covers a near soft one before a far free place") << QList<QRectF>() << nearRow << true << 0 << 1;
        QTest::addRow("a tool's label takes a free near place first") << QList<QRectF>() << QList<QRectF>{first} << true << 1 << 0;
        QTest::addRow("nothing but taken places: none") << QList<QRectF>{QRectF(0, 0, 200, 200)} << QList<QRectF>() << true << -1 << 0;
    }

    void placementTakesTheFirstFreePlace()
    {
        QFETCH(QList<QRectF>, hard);
        QFETCH(QList<QRectF>, soft);
        QFETCH(bool, mayCoverSoft);
        QFETCH(int, chosen);
        QFETCH(int, covered);
        // Five near candidates side by side, then one far below; the bounds end before x 200.
        QList<QRectF> candidates;
        for (int i = 0; i < 5; ++i)
            candidates.append(QRectF(10 + 30 * i, 10, 20, 10));
        candidates.append(QRectF(10, 150, 20, 10));
        ChartLabelPlacement placement;
        for (const QRectF &rect : std::as_const(hard))
            placement.block(rect);
        for (const QRectF &rect : std::as_const(soft))
            placement.addSoft(rect);
        const std::optional<ChartLabelPlacement::Placed> placed = placement.place(candidates, QRectF(0, 0, 200, 200), mayCoverSoft);
        QCOMPARE(placed.has_value(), chosen >= 0);
        if (!placed)
            return;
        QCOMPARE(placed->rect, candidates.at(chosen));
        QCOMPARE(int(placed->covered.size()), covered);
        // The place is taken from then on.
        QVERIFY(!placement.place({placed->rect}, QRectF(0, 0, 200, 200), true));
    }
};

QTEST_MAIN(TestChartView)
#include "tst_chartview.moc"
