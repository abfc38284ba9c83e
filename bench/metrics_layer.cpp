// One data-layer render of the request-duration line and bar charts, 600x250 pixels of chart,
// drawn at the paint (no worker thread), over graph data of 1,000 to 50,000 items spread over 5 to
// 1,000 REST paths ("/api/v2/products/<id>/reviews", ids drawn Zipf-like, as shopping apps send
// them, 50 requests a second), with two kinds of durations: lognormal with rare spikes, and a
// sawtooth that spans the whole duration range inside every pixel column. Figures: the time to
// build the chart's data from the items, the layer's drawing and the whole paint (layer, overlay
// and labels), medians of five; the target is 16 ms for the paint. The earlier figures over five
// paths and a random walk follow, up to 200,000 items, with the same render with every mark drawn
// as given where it finishes in reasonable time.
//   metrics_layer [largest item count=200000] [grid|walk|blocking|all=all] [in-order]
// With in-order, every part of a layer is drawn by the painting thread alone, as on a machine with
// no core to spare.
// Then, at 50,000 and 200,000 items, what the user feels of a live refresh: new items handed to
// the chart, its paced refresh, the data built and the layer drawn (on a worker thread, and for
// comparison at the paint), until the new layer is on screen; the figure is the longest time the
// main thread did not return to its event loop, paint included, median of five refreshes.
// MORVENDA_ARTIFACTS set: a screenshot of each chart at each count, thinned and (where timed)
// with every mark drawn, and of each chart of the grid at 50,000 items.
#include "BenchSupport.h"
#include "session_common.h"

#include "MorvendaApp/metrics/ui/ChartLayer.h"
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

enum class Durations { Lognormal, Sawtooth };

const char *nameOf(Durations durations)
{
    return durations == Durations::Lognormal ? "lognormal" : "sawtooth";
}

// `count` requests, 50 a second, to `paths` REST paths whose ids are drawn Zipf-like (the first
// path the most often), with lognormal durations and rare spikes, or a sawtooth that runs from
// zero to three seconds every 37 requests, so each pixel column holds the whole range.
QList<RequestDurationChartItem> restItems(int count, int paths, Durations durations, quint32 seed = 20261207)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    std::lognormal_distribution<double> lognormal(std::log(0.18), 0.8);
    // Zipf with exponent 1 over the path ranks, by its cumulative weights.
    std::vector<double> cumulative(static_cast<size_t>(paths));
    double total = 0;
    for (int rank = 0; rank < paths; ++rank)
        cumulative[size_t(rank)] = total += 1.0 / (rank + 1);
    QStringList names;
    for (int rank = 0; rank < paths; ++rank)
        names.append(QStringLiteral("/api/v2/products/%1/reviews").arg(104729 + rank * 7919));
    QList<RequestDurationChartItem> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double pick = unit(random) * total;
        const auto rank = std::lower_bound(cumulative.begin(), cumulative.end(), pick) - cumulative.begin();
        double duration = durations == Durations::Sawtooth ? 3.0 * (i % 37) / 36.0 : lognormal(random);
        if (durations == Durations::Lognormal && unit(random) < 0.002)
            duration += 2 + unit(random) * 3;
        const double start = 1.7e9 + i * 0.02 + unit(random) * 0.01;
        items.append(RequestDurationChartItem{bench::uuid(quint32(i) + 1), duration, start, start + duration,
                                              names.at(std::min<qsizetype>(rank, paths - 1))});
    }
    return items;
}

// 600x250 of chart (the chart pads its view by 6 pixels; the undo row is empty and takes no room),
// shown and exposed: offscreen, a window that is not exposed yet paints nothing.
void showExposed(QWidget &chart)
{
    chart.resize(612, 262);
    chart.show();
    bench::waitFor([&] { return chart.windowHandle() && chart.windowHandle()->isExposed(); });
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

// The whole paint of a freshly handed-over layer, timed around repaint(): what the main thread
// spends when the layer is drawn at the paint.
double paintMs(RequestDurationMeasuredChart &chart, const QList<RequestDurationChartItem> &items)
{
    chart.chartView()->setThinning(true);
    chart.chartView()->setRenderAside(false);
    chart.setGraphData(items);
    std::vector<double> paints;
    for (int round = 0; round < 5; ++round) {
        chart.refreshNow();
        QElapsedTimer timer;
        timer.start();
        chart.chartView()->repaint();
        paints.push_back(bench::ms(timer));
    }
    return bench::median(paints);
}

template<typename ChartType>
void measureGrid(const char *name)
{
    ChartType chart;
    showExposed(chart);
    for (const Durations durations : {Durations::Lognormal, Durations::Sawtooth}) {
        for (const int count : {1000, 10000, 50000}) {
            for (const int paths : {5, 50, 300, 1000}) {
                const QList<RequestDurationChartItem> items = restItems(count, paths, durations);
                const Figures figures = render(chart, items, true);
                const double paint = paintMs(chart, items);
                std::printf("%s chart, %s, %5d items over %4d paths, %dx%d: build %6.2f ms, layer %6.2f ms, "
                            "paint %6.2f ms%s\n",
                            name, nameOf(durations), count, paths, chart.chartView()->width(),
                            chart.chartView()->height(), figures.buildMs, figures.layerMs, paint,
                            paint < 16 ? "" : "  (over 16 ms)");
                std::fflush(stdout);
                const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS");
                if (!dir.isEmpty() && count == 50000) {
                    QDir().mkpath(dir);
                    chart.grab().save(QDir(dir).filePath(QStringLiteral("metrics_layer-grid-%1-%2-%3.png")
                                                             .arg(QLatin1StringView(name), QLatin1StringView(nameOf(durations)))
                                                             .arg(paths)));
                }
            }
        }
    }
}

template<typename ChartType>
void measure(const char *name, int largest)
{
    ChartType chart;
    showExposed(chart);
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
    showExposed(chart);
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
    const QByteArray part = argc > 2 ? QByteArray(argv[2]) : QByteArray("all");
    const bool all = part == "all";
    if (argc > 3 && QByteArray(argv[3]) == "in-order") {
        ChartLayer::setPartsAside(false);
        std::printf("every part of a layer drawn by the painting thread alone\n");
    }
    if (all || part == "grid") {
        measureGrid<RequestDurationLineChart>("line");
        measureGrid<RequestDurationBarChart>("bar");
    }
    if (all || part == "walk") {
        measure<RequestDurationLineChart>("line", largest);
        measure<RequestDurationBarChart>("bar", largest);
    }
    if ((all || part == "blocking") && largest >= 200000) {
        measureBlocking<RequestDurationLineChart>("line");
        measureBlocking<RequestDurationBarChart>("bar");
    }
    return 0;
}
