// Screenshots of the metrics pane's charts in both colour schemes, each with a check on the
// picture: the empty states' texts, three requests of one second as one stacked bar, the bar
// chart with a band, the line chart with two series, a path list of 50,000 paths, and every
// label of dense charts with all tools in use reading against what lies behind it.
#include "DurationFixtures.h"
#include "tests/support/Artifacts.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/core/WindowManager.h"
#include "MorvendaApp/metrics/MetricsViewModel.h"
#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/ui/ChartLabelInk.h"
#include "MorvendaApp/metrics/ui/MetricsView.h"
#include "MorvendaApp/metrics/ui/RequestAmountChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationBarChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationLineChart.h"
#include "MorvendaApp/session/MessageRepository.h"

#include <QListView>
#include <QMouseEvent>
#include <QHash>
#include <QTest>

#include <memory>
#include <random>

using namespace durationfixtures;

namespace {

constexpr double kT0 = 1765000000; // a whole second

QImage shoot(QWidget &widget, const QString &name, bool dark)
{
    saveArtifact(&widget, name + (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png")));
    return widget.grab().toImage();
}

// The colour at a point of a widget's picture, the point in `from`'s coordinates.
QColor colourAt(const QImage &image, const QWidget &shot, const QWidget &from, QPointF at)
{
    const QPointF inShot = QPointF(from.mapTo(&shot, QPoint(0, 0))) + at;
    return image.pixelColor((inShot * image.devicePixelRatio()).toPoint());
}

// How many pixels of `area` (in `from`'s coordinates) differ from the window colour.
int inkIn(const QImage &image, const QWidget &shot, const QWidget &from, const QRect &area)
{
    const QColor background = shot.palette().color(QPalette::Window);
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); y += 1) {
        for (int x = area.left(); x <= area.right(); x += 1)
            ink += colourAt(image, shot, from, QPointF(x, y)) != background;
    }
    return ink;
}

bool showShown(QWidget &widget, QSize size)
{
    widget.resize(size);
    widget.show();
    return QTest::qWaitForWindowExposed(&widget);
}

void hover(ChartView *view, QPointF at)
{
    QMouseEvent event(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &event);
}

void dragAcross(ChartView *view, QPointF from, QPointF to)
{
    QMouseEvent press(QEvent::MouseButtonPress, from, view->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &press);
    QMouseEvent move(QEvent::MouseMove, to, view->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, view->mapToGlobal(to), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &release);
}

void click(ChartView *view, QPointF at)
{
    hover(view, at);
    QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, view->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view, &release);
}

// How well a drawn label reads: its ink (the pixel inside its text that contrasts most with the
// colour most common around it) against each pixel around the text, along the side columns and
// the top row of the pixels it touches, where only the edges of glyphs may reach (those, blends of
// the ink and that colour, are skipped); the lowest of those contrasts. `text` is in `view`'s
// coordinates.
double worstContrast(const QImage &image, const QWidget &shot, const ChartView &view, const QRectF &text)
{
    const QPointF offset = view.mapTo(&shot, QPoint(0, 0));
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels = QRectF((text.topLeft() + offset) * ratio, text.size() * ratio).toAlignedRect();
    const auto at = [&](int x, int y) { return image.pixelColor(x, y); };
    QList<QColor> around;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        around << at(pixels.left(), y) << at(pixels.right(), y);
    for (int x = pixels.left(); x <= pixels.right(); ++x)
        around << at(x, pixels.top());
    QHash<QRgb, int> counts;
    for (const QColor &colour : std::as_const(around))
        ++counts[colour.rgb()];
    const QColor common = QColor::fromRgb(std::max_element(counts.cbegin(), counts.cend()).key());
    QColor ink = common;
    for (int y = pixels.top() + 1; y < pixels.bottom(); ++y) {
        for (int x = pixels.left() + 1; x < pixels.right(); ++x) {
            if (ChartLabelInk::contrast(at(x, y), common) > ChartLabelInk::contrast(ink, common))
                ink = at(x, y);
        }
    }
    // A pixel between `common` and the ink, channel by channel in one proportion, is a glyph's edge.
    const auto isGlyphEdge = [&](const QColor &colour) {
        const qreal t = ink == common ? 0 : qreal(colour.red() + colour.green() + colour.blue() - common.red() - common.green() - common.blue())
                / (ink.red() + ink.green() + ink.blue() - common.red() - common.green() - common.blue());
        const auto near = [&](int c, int from, int to) { return std::abs(c - (from + t * (to - from))) <= 6; };
        return t >= 0 && t <= 1 && near(colour.red(), common.red(), ink.red()) && near(colour.green(), common.green(), ink.green())
            && near(colour.blue(), common.blue(), ink.blue());
    };
    double worst = ChartLabelInk::contrast(ink, common);
    for (const QColor &colour : std::as_const(around)) {
        if (!isGlyphEdge(colour))
            worst = std::min(worst, ChartLabelInk::contrast(ink, colour));
    }
    return worst;
}

// Exchanges on five paths over a minute, lognormal durations around a tenth of a second with a
// spike now and then: the lines run together into a band just above the time axis.
QList<RequestDurationChartItem> denseTraffic(uint count)
{
    std::mt19937 random(7);
    std::lognormal_distribution<double> duration(-2.3, 0.6);
    QList<RequestDurationChartItem> items;
    for (uint n = 0; n < count; ++n) {
        const double start = kT0 + 60.0 * n / count;
        const double length = n % 400 == 399 ? 3.0 : duration(random);
        items.append({id(n + 1), length, start, start + length, QStringLiteral("/api/v2/products/%1/reviews").arg(n % 5)});
    }
    return items;
}

} // namespace

class TestMetricsScreens : public QObject
{
    Q_OBJECT

private slots:
    void emptyStatesShowTheirTexts_data() { addSchemeRows(); }
    void emptyStatesShowTheirTexts()
    {
        QFETCH(bool, dark);
        useScheme(dark);
        MessageRepository repository;
        RequestAmountChart count(repository);
        QVERIFY(showShown(count, {520, 200}));
        QImage image = shoot(count, QStringLiteral("metrics-count-empty"), dark);
        QVERIFY(count.emptyState()->isVisible());
        QVERIFY(inkIn(image, count, *count.emptyState(), count.emptyState()->rect()) > 200);

        RequestDurationChart durations(repository);
        QVERIFY(showShown(durations, {720, 220}));
        image = shoot(durations, QStringLiteral("metrics-duration-empty"), dark);
        QVERIFY(durations.emptyState()->isVisible());
        QVERIFY(inkIn(image, durations, *durations.emptyState(), durations.emptyState()->rect()) > 200);
    }

    // Two GET and one POST in one second: one bar of three, GET below POST, in the scheme's
    // series colours.
    void threeRequestsInOneSecond_data() { addSchemeRows(); }
    void threeRequestsInOneSecond()
    {
        QFETCH(bool, dark);
        useScheme(dark);
        MessageRepository repository;
        WindowManager windowManager;
        MetricsView pane(windowManager, HelpButton::Presenter{[](const QUrl &) {}, [] {}});
        pane.setChartFactory(GraphType::RequestCount, [&repository] { return new RequestAmountChart(repository); });
        pane.viewModel().setSelectedGraph(GraphType::RequestCount);
        QVERIFY(showShown(pane, {640, 260}));
        auto *chart = qobject_cast<RequestAmountChart *>(pane.chart());
        const auto add = [&](uint n, double at, Method method) {
            repository.addRequest(Request(id(n), Url::fromText(QStringLiteral("https://shop.example/a")), method, at, std::nullopt, {}),
                                  QStringLiteral("App"));
        };
        add(1, kT0 + 0.1, Method::Get);
        add(2, kT0 + 0.5, Method::Post);
        add(3, kT0 + 0.9, Method::Get);
        QTRY_VERIFY(!chart->emptyState()->isVisible() && chart->chartView()->data().bars.size() == 2);
        ChartView *view = chart->chartView();
        const QImage image = shoot(pane, QStringLiteral("metrics-count-three"), dark);
        const qreal middle = view->xPixel(kT0 + 0.5);
        QCOMPARE(colourAt(image, pane, *view, {middle, view->yPixel(1)}), view->seriesColor(0));
        QCOMPARE(colourAt(image, pane, *view, {middle, view->yPixel(2.5)}), view->seriesColor(1));
        QCOMPARE(view->seriesColor(0), namedColor(NamedColor::Blue, pane.palette()));
    }

    // The bar chart with a measuring band: the band is the scheme's yellow along the bottom row.
    void barChartWithABand_data() { addSchemeRows(); }
    void barChartWithABand()
    {
        QFETCH(bool, dark);
        useScheme(dark);
        RequestDurationBarChart chart;
        chart.setGraphData({RequestDurationChartItem{id(1), 1.0, kT0, kT0 + 1.0, QStringLiteral("/a")},
                            RequestDurationChartItem{id(2), 2.5, kT0 + 0.5, kT0 + 3.0, QStringLiteral("/b")}});
        QVERIFY(showShown(chart, {640, 260}));
        chart.refreshNow();
        ChartView *view = chart.chartView();
        dragAcross(view, {view->xPixel(kT0 + 1.0), view->yPixel(0)}, {view->xPixel(kT0 + 2.5), view->yPixel(0)});
        QVERIFY(chart.tools().dragMark());
        const QImage image = shoot(chart, QStringLiteral("requestduration-bar-band"), dark);
        QCOMPARE(colourAt(image, chart, *view, {view->xPixel(kT0 + 1.75), view->yPixel(0)}), namedColor(NamedColor::Yellow, chart.palette()));
        QCOMPARE(colourAt(image, chart, *view, {view->xPixel(kT0 + 2.0), view->yPixel(1)}), view->seriesColor(1));
    }

    // Two paths of three exchanges each: two lines in two colours, a legend of both.
    void lineChartWithTwoSeries_data() { addSchemeRows(); }
    void lineChartWithTwoSeries()
    {
        QFETCH(bool, dark);
        useScheme(dark);
        RequestDurationLineChart chart;
        QList<RequestDurationChartItem> items;
        for (uint n = 0; n < 3; ++n) {
            items.append({id(n + 1), 0.25 + n * 0.25, kT0 + n, kT0 + n + 0.25 + n * 0.25, QStringLiteral("/a")});
            items.append({id(n + 11), 1.5, kT0 + n + 0.5, kT0 + n + 2.0, QStringLiteral("/b")});
        }
        chart.setGraphData(items);
        QVERIFY(showShown(chart, {640, 260}));
        chart.refreshNow();
        ChartView *view = chart.chartView();
        hover(view, {view->xPixel(kT0 + 1.2), view->yPixel(1.0)});
        const QImage image = shoot(chart, QStringLiteral("requestduration-line-two"), dark);
        QCOMPARE(view->legend().entries().size(), std::size_t(2));
        QCOMPARE(view->legend().hiddenCount(), 0);
        // Midway between two points of a line lies that line's colour; each point is a symbol.
        QCOMPARE(colourAt(image, chart, *view, {view->xPixel(kT0 + 1.5), view->yPixel(1.5)}), view->seriesColor(1));
        QCOMPARE(colourAt(image, chart, *view, {view->xPixel(kT0 + 1.0), view->yPixel(0.5)}), view->seriesColor(0));
        QVERIFY(view->seriesColor(0) != view->seriesColor(1));
    }

    // Dense charts with every tool in use: each drawn label (the points' and bars' durations, the
    // tools' times, the hovered path) reads against what lies behind it, whether that is a band of
    // lines, a bar, or a rule drawn across it; a label inside its bar reads against that bar.
    void labelsReadAgainstWhatLiesBehindThem_data()
    {
        QTest::addColumn<QString>("chartKind");
        QTest::addColumn<bool>("dark");
        for (const bool dark : {false, true}) {
            const char *scheme = dark ? "dark" : "light";
            QTest::addRow("dense lines, %s", scheme) << QStringLiteral("line") << dark;
            QTest::addRow("dense bars, %s", scheme) << QStringLiteral("bars") << dark;
            QTest::addRow("a bar across the plot, %s", scheme) << QStringLiteral("across") << dark;
        }
    }
    void labelsReadAgainstWhatLiesBehindThem()
    {
        QFETCH(QString, chartKind);
        QFETCH(bool, dark);
        useScheme(dark);
        std::unique_ptr<RequestDurationMeasuredChart> chart;
        QList<RequestDurationChartItem> items;
        if (chartKind == u"line") {
            chart = std::make_unique<RequestDurationLineChart>();
            items = denseTraffic(3000);
        } else if (chartKind == u"bars") {
            chart = std::make_unique<RequestDurationBarChart>();
            items = denseTraffic(60);
        } else {
            chart = std::make_unique<RequestDurationBarChart>();
            // Digits in the paths: their bars fill whole pixels, so the ink is measured as drawn.
            items = {{id(1), 6.0, kT0, kT0 + 6.0, QStringLiteral("/v2/27")},
                     {id(2), 0.5, kT0 + 1.0, kT0 + 1.5, QStringLiteral("/v2/42")},
                     {id(3), 1.0, kT0 + 2.0, kT0 + 3.0, QStringLiteral("/v2/42")}};
        }
        chart->setGraphData(items);
        QVERIFY(showShown(*chart, {640, 280}));
        chart->refreshNow();
        ChartView *view = chart->chartView();
        const QRectF plot = view->plotRect();
        // A tap mark, a band along the bottom, and the pointer a few pixels right of the mark, so
        // the hover rule runs through the mark's time label; in the line chart the pointer's height
        // is inside the band of lines.
        const qreal low = view->yPixel(chartKind == u"line" ? 0.1 : 1.0);
        click(view, {plot.left() + plot.width() * 0.3, low});
        dragAcross(view, {plot.left() + plot.width() * 0.5, plot.bottom() - 2}, {plot.left() + plot.width() * 0.7, plot.bottom() - 2});
        hover(view, {plot.left() + plot.width() * 0.3 + 4, chartKind == u"across" ? view->yPixel(3) : low});
        const QImage image = shoot(*chart, QStringLiteral("requestduration-readable-") + chartKind, dark);

        QList<QRectF> labels = view->overlayLabelRects();
        for (const QRectF &rect : view->dataLabelRects()) {
            if (!view->hiddenLabelRects().contains(rect))
                labels.append(rect);
        }
        QVERIFY(labels.size() >= 5);
        // The text is a label's lowest line: the hover read-out's padding above it stays clear.
        qreal line = labels.first().height();
        for (const QRectF &rect : std::as_const(labels))
            line = std::min(line, rect.height());
        for (const QRectF &rect : std::as_const(labels)) {
            const QRectF text(rect.left(), rect.bottom() - line, rect.width(), line);
            const double contrast = worstContrast(image, *chart, *view, text);
            QVERIFY2(contrast >= ChartLabelInk::kMinimumContrast,
                     qPrintable(QStringLiteral("the label at %1,%2 %3x%4 reads at %5:1")
                                    .arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height()).arg(contrast)));
        }
        if (chartKind == u"across") {
            // The long bar has no room beside it: its label stands inside its end, on its colour.
            const QRectF bar = QRectF(QPointF(view->xPixel(kT0), view->yPixel(3.3)), QPointF(view->xPixel(kT0 + 6.0), view->yPixel(2.7)))
                                   .normalized();
            const auto inside = std::find_if(labels.cbegin(), labels.cend(), [&](const QRectF &rect) { return bar.contains(rect); });
            QVERIFY(inside != labels.cend());
            QCOMPARE(colourAt(image, *chart, *view, inside->topLeft() + QPointF(0.5, 0.5)), view->seriesColor(0));
        }
    }

    // 50,000 distinct paths: the list holds them all, shows the first rows from the top, and the
    // chart of one of them beside it.
    void fiftyThousandDistinctPaths_data() { addSchemeRows(); }
    void fiftyThousandDistinctPaths()
    {
        QFETCH(bool, dark);
        useScheme(dark);
        MessageRepository repository;
        constexpr uint kPaths = 50000;
        for (uint n = 1; n <= kPaths; ++n) {
            request(repository, n, QStringLiteral("/p/%1").arg(n, 5, 10, QLatin1Char('0')), 10.0 + n * 0.001);
            response(repository, n, 10.3 + n * 0.001);
        }
        RequestDurationChart frame(repository);
        QVERIFY(showShown(frame, {900, 300}));
        QListView *list = frame.pathList();
        QCOMPARE(list->model()->rowCount(), int(kPaths));
        frame.viewModel().togglePath(QStringLiteral("/p/00002"));
        QVERIFY(frame.chart());
        frame.chart()->refreshNow();
        const QImage image = shoot(frame, QStringLiteral("requestduration-50000-paths"), dark);
        QCOMPARE(list->indexAt(QPoint(1, 1)).data().toString(), QStringLiteral("/p/00001"));
        const QRect firstRow = list->visualRect(list->model()->index(0, 0));
        QVERIFY(inkIn(image, frame, *list->viewport(), firstRow) > 20);
        ChartView *view = frame.chart()->chartView();
        QCOMPARE(colourAt(image, frame, *view, {view->xPixel(10.002 + 0.15), view->yPixel(1)}), view->seriesColor(0));
    }
};

QTEST_MAIN(TestMetricsScreens)
#include "tst_metricsscreens.moc"
