// One data-layer render of the request-duration line and bar charts, 600x250 pixels of chart, five
// paths, over graph data of 1,000 to 200,000 items with varied durations (a seeded random walk
// with zig-zags and spikes, 50 requests a second): the time to build the chart's data from the
// items and the time to draw the layer, medians of five renders. The same render with every mark
// drawn as given (no thinning per pixel) is timed where it finishes in reasonable time.
//   metrics_layer [largest item count=200000]
// Then, at 50,000 and 200,000 items, what the user feels of a live refresh: new items handed to
// the chart, its paced refresh, the data built and the layer drawn (on a worker thread, and for
// comparison at the paint), until the new layer is on screen; the figure is the longest time the
// main thread did not return to its event loop, paint included, median of five refreshes.
// MORVENDA_ARTIFACTS set: a screenshot of each chart at each count, thinned and (where timed)
// with every mark drawn.
#include "BenchSupport.h"
#include "session_common.h"

#include "MorvendaApp/metrics/ui/RequestDurationBarChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationLineChart.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <memory>
#include <random>

namespace {

QList<RequestDurationChartItem> variedItems(int count, quint32 seed = 20261207)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    QList<RequestDurationChartItem> items;
    items.reserve(count);
    double walk = 0.2;
    for (int i = 0; i < count; ++i) {
        // A slow random walk, every other request far off it, and a rare spike: what a real
        // backend under load looks like, and the worst case for a joined line.
        walk = std::clamp(walk + (unit(random) - 0.5) * 0.05, 0.02, 1.0);
        double duration = i % 2 ? walk * (0.3 + unit(random)) : walk + unit(random) * 0.4;
        if (unit(random) < 0.002)
            duration += 2 + unit(random) * 3;
        const double start = 1.7e9 + i * 0.02 + unit(random) * 0.01;
        items.append(RequestDurationChartItem{bench::uuid(quint32(i) + 1), duration, start, start + duration,
                                              bench::pathFor(i % 5)});
    }
    return items;
}

struct Figures
{
    double buildMs = 0;
    double layerMs = 0;
};

Figures render(RequestDurationMeasuredChart &chart, const QList<RequestDurationChartItem> &items, bool thinned)
{
    chart.chartView()->setThinning(thinned);
    // The drawing itself, timed at the paint.
    chart.chartView()->setRenderAside(false);
    chart.setGraphData(items);
    std::vector<double> builds;
    std::vector<double> layers;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        chart.refreshNow();
        builds.push_back(bench::ms(timer));
        chart.chartView()->repaint();
        layers.push_back(chart.chartView()->lastLayerRenderMs());
    }
    return {bench::median(builds), bench::median(layers)};
}

template<typename ChartType>
void measure(const char *name, int largest)
{
    ChartType chart;
    // The chart pads its view by 6 pixels; the undo row is empty and takes no room.
    chart.resize(612, 262);
    chart.show();
    bench::waitFor([&] { return chart.windowHandle() && chart.windowHandle()->isExposed(); });
    for (const int count : {1000, 10000, 50000, 200000}) {
        if (count > largest)
            break;
        const QList<RequestDurationChartItem> items = variedItems(count);
        const Figures thinned = render(chart, items, true);
        std::printf("%s chart, %d items, %dx%d: build %.2f ms, layer %.2f ms (target < 16 ms at 50,000)",
                    name, count, chart.chartView()->width(), chart.chartView()->height(), thinned.buildMs,
                    thinned.layerMs);
        if (count <= 10000) {
            const Figures full = render(chart, items, false);
            std::printf("; every mark drawn: layer %.1f ms", full.layerMs);
        }
        std::printf("\n");
        std::fflush(stdout);
        if (const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS"); !dir.isEmpty()) {
            QDir().mkpath(dir);
            for (const bool thinned : {true, false}) {
                if (!thinned && count > 10000)
                    continue;
                render(chart, items, thinned);
                chart.grab().save(QDir(dir).filePath(QStringLiteral("metrics_layer-%1-%2%3.png")
                                                         .arg(QLatin1StringView(name)).arg(count)
                                                         .arg(thinned ? QString() : QStringLiteral("-every-mark"))));
            }
        }
    }
}

// The longest time the main thread spends away from its event loop from `start` until `done`
// holds and the paint after it: a timer that fires at every turn of the loop notes the gaps.
double longestBlockMs(const std::function<void()> &start, const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 longest = 0;
    QTimer ping;
    ping.setInterval(0);
    QObject::connect(&ping, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ping.start();
    start();
    bench::waitFor(done, 120000, 1);
    const qint64 settled = clock.elapsed();
    bench::waitFor([&] { return clock.elapsed() > settled + 50; }, 1000, 1);
    return double(longest) / 1e6;
}

template<typename ChartType>
void measureBlocking(const char *name)
{
    ChartType chart;
    chart.resize(612, 262);
    chart.show();
    bench::waitFor([&] { return chart.windowHandle() && chart.windowHandle()->isExposed(); });
    ChartView *view = chart.chartView();
    view->setThinning(true);
    for (const int count : {50000, 200000}) {
        std::printf("%s chart, %d items, a live refresh until on screen, main thread blocked at most:", name, count);
        for (const bool aside : {true, false}) {
            view->setRenderAside(aside);
            chart.setGraphData(variedItems(count, 1));
            chart.refreshNow();
            bench::waitFor([&] { return !view->layerPending(); });
            std::vector<double> blocks;
            for (quint32 round = 0; round < 5; ++round) {
                const QList<RequestDurationChartItem> items = variedItems(count, round + 2);
                blocks.push_back(longestBlockMs([&] { chart.setGraphData(items); }, [&] {
                    return chart.graphData().constFirst().duration == items.constFirst().duration && !view->layerPending();
                }));
            }
            std::printf("%s %.1f ms (%.1f-%.1f)", aside ? " layer drawn aside" : "; drawn at the paint", bench::median(blocks),
                        *std::min_element(blocks.begin(), blocks.end()), *std::max_element(blocks.begin(), blocks.end()));
        }
        std::printf(" (median of 5; a frame is 16 ms)\n");
        std::fflush(stdout);
    }
    view->setRenderAside(true);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int largest = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200000;
    measure<RequestDurationLineChart>("line", largest);
    measure<RequestDurationBarChart>("bar", largest);
    if (largest >= 200000) {
        measureBlocking<RequestDurationLineChart>("line");
        measureBlocking<RequestDurationBarChart>("bar");
    }
    return 0;
}
