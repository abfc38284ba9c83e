// Figures of the request-count chart. Requests reach the repository in bursts as a socket read
// delivers them, and the event loop turns between bursts, so the chart repaints as it would live.
#include "BenchSupport.h"
#include "session_common.h"
#include "session_open.h"

#include "MorvendaApp/metrics/RequestAmountChartViewModel.h"
#include "MorvendaApp/metrics/ui/RequestAmountChart.h"
#include "MorvendaApp/session/MessageRepository.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// CPU time of this thread, in milliseconds: on a loaded machine wall time also counts waiting.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

constexpr int kRequests = 200000;

Request countedRequest(int i)
{
    // 20 requests a second, methods mixed, so 200,000 requests span almost three hours.
    static const Method methods[] = {Method::Get, Method::Post, Method::Get, Method::Put, Method::Delete};
    return Request(bench::uuid(quint32(i) + 1), Url::fromText(QStringLiteral("https://shop.example/api/items")),
        methods[i % 5], 1.7e9 + i / 20.0, std::nullopt, {});
}

// Feeds every request in bursts of `burst`, turning the event loop after each; milliseconds.
double feed(MessageRepository &repository, int burst)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kRequests; ++i) {
        repository.addRequest(countedRequest(i), QStringLiteral("App"));
        if ((i + 1) % burst == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    return bench::ms(timer);
}

double feedWithPane(int burst, bool open)
{
    MessageRepository repository;
    RequestAmountChart chart(repository);
    chart.resize(1200, 300);
    if (open)
        chart.show();
    QElapsedTimer timer;
    timer.start();
    feed(repository, burst);
    // Until the chart shows the last second: its last redraw is part of the cost.
    const double lastSecond = std::floor(countedRequest(kRequests - 1).timestamp().value_or(0));
    if (open)
        bench::waitFor([&] { return !chart.chartView()->data().bars.empty() && chart.chartView()->data().bars.back().x0 == lastSecond; });
    const double elapsed = bench::ms(timer);
    if (open && chart.viewModel().graphData().size() != kRequests)
        std::printf("counting failed: %lld\n", qlonglong(chart.viewModel().graphData().size()));
    return elapsed;
}

void perRequestCost()
{
    for (const int burst : {1000, 100, 20}) {
        std::vector<double> closed, open;
        for (int round = 0; round < 3; ++round) {
            closed.push_back(feedWithPane(burst, false));
            open.push_back(feedWithPane(burst, true));
        }
        const double added = (bench::median(open) - bench::median(closed)) * 1000.0 / kRequests;
        std::printf("%d requests in bursts of %d: closed median %.0f ms, open median %.0f ms (runs %.0f-%.0f); "
                    "added per request %.1f us (target < 20)\n",
            kRequests, burst, bench::median(closed), bench::median(open), *std::min_element(open.begin(), open.end()),
            *std::max_element(open.begin(), open.end()), added);
    }
}

void repaint(int repaintRounds)
{
    RequestAmountBuckets buckets;
    for (int s = 0; s < 8 * 3600; ++s) {
        for (int k = 0; k < 20; ++k)
            buckets.add(1.7e9 + s + k / 20.0, k % 3);
    }
    ChartView view;
    view.resize(1200, 300);
    view.show();
    std::vector<double> build, paint, layer, cpu;
    for (int round = 0; round < repaintRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        Chart::Data data = RequestAmountChart::chartData(buckets);
        build.push_back(bench::ms(timer));
        view.setData(std::move(data));
        timer.restart();
        const double cpuStart = threadCpuMs();
        view.grab();
        cpu.push_back(threadCpuMs() - cpuStart);
        paint.push_back(bench::ms(timer));
        layer.push_back(view.lastLayerRenderMs());
    }
    std::printf("repaint over %zu buckets (%zu bars), 1200x300: build median %.1f ms, paint median %.1f ms "
                "of which the data layer %.1f ms, CPU time %.1f ms (paint range %.1f-%.1f; target < 30 ms together)\n",
        buckets.seconds().size(), view.data().bars.size(), bench::median(build), bench::median(paint), bench::median(layer), bench::median(cpu),
        *std::min_element(paint.begin(), paint.end()), *std::max_element(paint.begin(), paint.end()));
}

void openFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.json"));
    {
        MessageRepository source;
        for (int i = 0; i < 100000; ++i) {
            source.addRequest(bench::request(i, QStringLiteral("{}")), QStringLiteral("App"));
            source.addResponse(bench::response(i, QStringLiteral("{}"), quint32(i)), QStringLiteral("App"));
        }
        if (!bench::writeSession(source, path))
            return;
    }
    const auto openOnce = [&](bool paneOpen) {
        MessageRepository repository;
        RequestAmountChart chart(repository);
        chart.resize(1200, 300);
        if (paneOpen)
            chart.show();
        QElapsedTimer timer;
        timer.start();
        bench::openSession(path, repository);
        if (paneOpen && chart.viewModel().graphData().size() != 100000)
            std::printf("counting failed: %lld\n", qlonglong(chart.viewModel().graphData().size()));
        return bench::ms(timer);
    };
    std::vector<double> closed, open;
    for (int round = 0; round < 5; ++round) {
        closed.push_back(openOnce(false));
        open.push_back(openOnce(true));
    }
    std::printf("open a session file of 100,000 exchanges: pane closed median %.0f ms (%.0f-%.0f), pane open "
                "median %.0f ms (%.0f-%.0f)\n",
        bench::median(closed), *std::min_element(closed.begin(), closed.end()), *std::max_element(closed.begin(), closed.end()),
        bench::median(open), *std::min_element(open.begin(), open.end()), *std::max_element(open.begin(), open.end()));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    repaint(argc > 2 ? QByteArray(argv[2]).toInt() : 7);
    if (argc > 1 && qstrcmp(argv[1], "--repaint") == 0)
        return 0;
    perRequestCost();
    openFile();
    return 0;
}
