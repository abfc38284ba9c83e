// The metrics pane and the request-count chart as a user drives them: picking graphs, expanding
// the pane, what the bars look like after the trash and a quiet second, and sizes and floods that
// must not break them.
#include "MorvendaApp/components/SelectionChipButton.h"
#include "MorvendaApp/core/WindowManager.h"
#include "MorvendaApp/metrics/MetricsViewModel.h"
#include "MorvendaApp/metrics/RequestAmountChartViewModel.h"
#include "MorvendaApp/metrics/ui/MetricsView.h"
#include "MorvendaApp/metrics/ui/RequestAmountChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/shell/ShellPalette.h"

#include "tests/session/SessionFixtures.h"
#include "tests/support/Artifacts.h"

#include <QLabel>
#include <QtTest>

using fixtures::id;

namespace {

constexpr double kT0 = 1765000000; // a whole second

void addRequest(MessageRepository &repository, uint n, double time, std::optional<Method> method = Method::Get)
{
    repository.addRequest(fixtures::request(id(n), QStringLiteral("https://shop.example/api/items"), std::nullopt, time, method),
        QStringLiteral("App"));
}

// A pane as the details column makes it, with a stand-in for the duration chart.
struct Pane
{
    Pane()
    {
        view.setPalette(ShellPalette::light());
        view.setChartFactory(GraphType::RequestDuration, [] { return new QLabel(QStringLiteral("durations")); });
        view.setChartFactory(GraphType::RequestCount, [this] { return new RequestAmountChart(repository); });
        view.resize(640, 150);
    }
    RequestAmountChart *countChart() const { return qobject_cast<RequestAmountChart *>(view.chart()); }

    MessageRepository repository;
    WindowManager windowManager;
    MetricsView view{windowManager, HelpButton::Presenter{[](const QUrl &) {}, [] {}}};
};

bool showsChart(const RequestAmountChart *chart)
{
    return chart->chartView()->isVisibleTo(const_cast<RequestAmountChart *>(chart)) && !chart->emptyState()->isVisible();
}

QColor pixelAt(const QImage &image, QPointF point, qreal ratio)
{
    return image.pixelColor((point * ratio).toPoint());
}

} // namespace

class TestMetricsView : public QObject
{
    Q_OBJECT

private slots:
    void theHeaderPicksGraphsAndExpandsThePane()
    {
        Pane pane;
        pane.view.show();
        QCOMPARE(pane.view.title()->text(), QStringLiteral("Request duration"));
        QVERIFY(qobject_cast<QLabel *>(pane.view.chart()));
        SelectionChipButton *duration = pane.view.graphButton(GraphType::RequestDuration);
        SelectionChipButton *count = pane.view.graphButton(GraphType::RequestCount);
        QVERIFY(duration->isCurrent() && !count->isCurrent());

        QPointer<QWidget> durationChart = pane.view.chart();
        QTest::mouseClick(count, Qt::LeftButton);
        QCOMPARE(pane.view.viewModel().selectedGraph(), GraphType::RequestCount);
        QCOMPARE(pane.view.title()->text(), QStringLiteral("Request count"));
        QVERIFY(!duration->isCurrent() && count->isCurrent());
        QVERIFY(pane.countChart());
        QVERIFY(!durationChart);

        // Picking the shown graph again keeps its chart; switching away and back starts afresh.
        addRequest(pane.repository, 1, kT0);
        QPointer<RequestAmountChart> first = pane.countChart();
        QTest::mouseClick(count, Qt::LeftButton);
        QCOMPARE(pane.countChart(), first.data());
        QCOMPARE(first->viewModel().graphData().size(), 1);
        QTest::mouseClick(duration, Qt::LeftButton);
        QVERIFY(!first);

        // The expand button flips the bottom pane.
        QCOMPARE(pane.view.expandButton()->symbol(), QStringLiteral("rectangle.expand.vertical"));
        QTest::mouseClick(pane.view.expandButton(), Qt::LeftButton);
        QVERIFY(pane.windowManager.expandBottomView());
        QCOMPARE(pane.view.expandButton()->symbol(), QStringLiteral("rectangle.compress.vertical"));
        QTest::mouseClick(pane.view.expandButton(), Qt::LeftButton);
        QVERIFY(!pane.windowManager.expandBottomView());
        QCOMPARE(pane.view.expandButton()->symbol(), QStringLiteral("rectangle.expand.vertical"));
        // Switching the bottom pane elsewhere shrinks it; the button follows.
        pane.windowManager.setExpandBottomView(true);
        pane.windowManager.toggleBottomView(BottomView::Console);
        QCOMPARE(pane.view.expandButton()->symbol(), QStringLiteral("rectangle.expand.vertical"));
    }

    // The details column of a 640-pixel window leaves the pane about 240 pixels: the header's
    // buttons stay whole and the duration chart keeps a plot.
    void aNarrowPaneKeepsItsHeaderAndChart()
    {
        Pane pane;
        pane.view.setChartFactory(GraphType::RequestDuration, [&pane] { return new RequestDurationChart(pane.repository); });
        pane.repository.addRequest(fixtures::request(id(1), QStringLiteral("https://shop.example/a"), std::nullopt, kT0, Method::Get),
                                   QStringLiteral("App"));
        auto *frame = qobject_cast<RequestDurationChart *>(pane.view.chart());
        QVERIFY(frame);
        frame->viewModel().togglePath(QStringLiteral("/a"));
        pane.view.resize(240, 200);
        pane.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane.view));
        QCOMPARE_LE(pane.view.minimumSizeHint().width(), 240);
        const QRect expand(pane.view.expandButton()->mapTo(&pane.view, QPoint(0, 0)), pane.view.expandButton()->size());
        QVERIFY(pane.view.rect().contains(expand));
        QVERIFY(pane.view.title()->width() > 0);
        QCOMPARE_GT(frame->chartArea()->width(), 60);
        saveArtifact(&pane.view, QStringLiteral("metrics-narrow.png"));
    }

    void barsStackLeaveGapsAndSurviveOddSizesAndFloods()
    {
        Pane pane;
        pane.view.viewModel().setSelectedGraph(GraphType::RequestCount);
        pane.view.show();
        RequestAmountChart *chart = pane.countChart();

        // Three requests in one second: two GET over one POST, one bar of height three.
        addRequest(pane.repository, 1, kT0 + 0.1);
        addRequest(pane.repository, 2, kT0 + 0.5, Method::Post);
        addRequest(pane.repository, 3, kT0 + 0.9);
        QTRY_VERIFY(showsChart(chart));
        ChartView *view = chart->chartView();
        QCOMPARE(view->data().bars.size(), 2u);
        QImage image = view->grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        const qreal middle = view->xPixel(kT0 + 0.5);
        QCOMPARE(pixelAt(image, {middle, view->yPixel(0.5)}, ratio), view->seriesColor(0));
        QCOMPARE(pixelAt(image, {middle, view->yPixel(2.5)}, ratio), view->seriesColor(1));
        QVERIFY(pixelAt(image, {middle, view->yPixel(3) - 3}, ratio) != view->seriesColor(1));

        // Seconds 1 and 3 with nothing in second 2: two bars and a gap between them. The trash
        // is the user's own action: the empty state shows at once, not at the next paced refresh.
        QTest::mouseClick(chart->trashButton(), Qt::LeftButton);
        QVERIFY(chart->emptyState()->isVisible());
        addRequest(pane.repository, 4, kT0 + 1.2);
        addRequest(pane.repository, 5, kT0 + 3.7, Method::Put);
        QTRY_COMPARE(view->data().bars.size() == 2 ? view->data().bars.front().x0 : 0.0, kT0 + 1);
        QVERIFY(showsChart(chart));
        image = view->grab().toImage();
        const qreal low = view->yPixel(0.5);
        QCOMPARE(pixelAt(image, {view->xPixel(kT0 + 1.5), low}, ratio), view->seriesColor(1));
        QCOMPARE(pixelAt(image, {view->xPixel(kT0 + 3.5), low}, ratio), view->seriesColor(2));
        const QColor gap = pixelAt(image, {view->xPixel(kT0 + 2.5), low}, ratio);
        for (int s = 0; s < 5; ++s)
            QVERIFY(gap != view->seriesColor(s));
        saveArtifact(&pane.view, QStringLiteral("metrics-count-gap.png"));

        // Only times no calendar holds: counted, but nothing to draw, so the empty state shows
        // (hidden and shown again, the chart draws what it counted at once).
        QTest::mouseClick(chart->trashButton(), Qt::LeftButton);
        addRequest(pane.repository, 7, 1e300);
        addRequest(pane.repository, 8, -1e300, std::nullopt);
        chart->hide();
        chart->show();
        QCOMPARE(chart->viewModel().graphData().size(), 2);
        QVERIFY(chart->emptyState()->isVisible());
        QVERIFY(!showsChart(chart));
        // No width, and such times beside a drawable one, never break it.
        pane.view.resize(0, 150);
        addRequest(pane.repository, 6, kT0);
        QTRY_VERIFY(showsChart(chart));
        pane.view.grab();

        // Eight hours at 20 requests a second arrive between two repaints: one rebuild follows.
        pane.view.resize(900, 300);
        const int renders = view->layerRenderCount();
        uint n = 10;
        for (int s = 0; s < 8 * 3600; ++s) {
            for (int k = 0; k < 20; ++k)
                addRequest(pane.repository, n++, kT0 + s + k / 20.0, k % 2 ? Method::Get : Method::Post);
        }
        QTRY_COMPARE(view->data().bars.size(), std::size_t(8 * 3600 * 2));
        pane.view.grab();
        QVERIFY(view->layerRenderCount() <= renders + 2);
        QCOMPARE(chart->viewModel().graphData().size(), 8 * 3600 * 20 + 3);
        // Every request with a drawable time is in a bar.
        double drawn = 0;
        for (const Chart::Bar &bar : view->data().bars)
            drawn += bar.y1 - bar.y0;
        QCOMPARE(drawn, 8 * 3600 * 20 + 1.0);
    }
};

QTEST_MAIN(TestMetricsView)
#include "tst_metricsview.moc"
