// The request-duration chart in the whole program, as a user runs it: the real main window shown
// (offscreen unless a display is set) with the metrics pane expanded on the duration line chart,
// fed by a scripted app over loopback.
//   metrics_program [live|handshake|handshake-open|all=all]
// live: an app sends 8,000 exchanges to 1,000 REST paths ("/api/v2/products/<id>/reviews", as
// shopping apps send them, lognormal durations with rare spikes), the user selects all paths,
// then the app sends 50 exchanges a second for ten seconds. Figures: the longest time the main
// thread stayed away from its event loop (paint included) for the select-all and over the live
// part, and how many of its turns took over 16 ms; the target is 20 ms.
// handshake: an app sends 200,000 exchanges to five paths, then connects again under the same
// name three times; the figure is the longest main-thread block from each new connection until
// the program is idle again, with the duration pane open (five paths selected, line chart) and,
// for comparison, with the bottom pane closed.
// MORVENDA_ARTIFACTS set: a screenshot of the window at the end of the live part, and after the
// reconnections with the pane open.
#include "bench/BenchSupport.h"
#include "bench/ProgramWindow.h"
#include "bench/server_peer.h"

#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/metrics/RequestDurationChartType.h"
#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationMeasuredChart.h"
#include "MorvendaModel/MorvendaFramer.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QUuid>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

namespace {

QByteArray framed(const QByteArray &body)
{
    return *MorvendaFramer::frame(body);
}

// One request and its response, `durationMs` apart, to the path.
QByteArray pair(const QByteArray &path, qint64 startMs, qint64 durationMs)
{
    const QByteArray id = QUuid::createUuid().toByteArray(QUuid::WithoutBraces).toUpper();
    const QByteArray url = "https://shop.example" + path + "?locale=de_DE";
    return framed("{\"request\":{\"id\":\"" + id + "\",\"url\":\"" + url
                  + "\",\"method\":\"get\",\"timestamp\":" + QByteArray::number(startMs)
                  + ",\"headers\":[{\"name\":\"Accept\",\"value\":\"application/json\"}],\"data\":\"{}\"}}")
        + framed("{\"response\":{\"id\":\"" + id + "\",\"batchID\":\"" + id + "\",\"statusCode\":200,\"url\":\"" + url
                 + "\",\"source\":{\"network\":{}},\"timestamp\":" + QByteArray::number(startMs + durationMs)
                 + ",\"headers\":[],\"data\":\"{\\\"ok\\\":true}\"}}");
}

QByteArray restPath(int id)
{
    return "/api/v2/products/" + QByteArray::number(104729 + id * 7919) + "/reviews";
}

// Measures the longest stretch the main thread spends away from its event loop: a timer that
// fires at every turn notes the gaps, and the turns over a frame.
class BlockWatch
{
public:
    BlockWatch()
    {
        m_ping.setInterval(0);
        QObject::connect(&m_ping, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 gap = now - m_last;
            m_longest = std::max(m_longest, gap);
            if (gap > 16'000'000)
                ++m_overFrame;
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_longest = 0;
        m_overFrame = 0;
        m_ping.start();
    }
    void stop() { m_ping.stop(); }
    double longestMs() const { return double(m_longest) / 1e6; }
    int overFrame() const { return m_overFrame; }

private:
    QTimer m_ping;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    int m_overFrame = 0;
};

// Opens the metrics pane, expanded, on the duration line chart.
RequestDurationChart *openLineChart(bench::ProgramWindow &program)
{
    program.shared.windowManager.setBottomView(BottomView::Metrics);
    program.shared.windowManager.setExpandBottomView(true);
    bench::waitFor([] { return false; }, 200);
    auto *chart = program.scene.mainWindow()->findChild<RequestDurationChart *>();
    if (chart)
        chart->viewModel().setType(RequestDurationChartType::Line);
    return chart;
}

bool waitForExchanges(MessageRepository &repository, qsizetype count)
{
    return bench::waitFor([&] { return repository.exchangeCount() >= count; }, 300000, 2);
}

void live(const QTemporaryDir &home)
{
    constexpr int kSeed = 8000;
    constexpr int kPaths = 1000;
    constexpr int kPerSecond = 50;
    constexpr int kSeconds = 10;
    bench::ProgramWindow program(home);
    RequestDurationChart *chart = openLineChart(program);
    if (!chart) {
        std::fprintf(stderr, "no duration chart in the window\n");
        return;
    }
    std::atomic<bool> seeded{false};
    std::atomic<bool> go{false};
    std::thread app([&, port = program.shared.listener.serverPort()] {
        const int fd = BenchPeer::connectLoopback(port);
        if (fd < 0)
            return;
        std::mt19937 random(7);
        std::lognormal_distribution<double> lognormal(std::log(180.0), 0.8);
        std::uniform_real_distribution<double> unit(0, 1);
        const auto durationMs = [&] {
            return qint64(lognormal(random) + (unit(random) < 0.002 ? 2000 + unit(random) * 3000 : 0));
        };
        QByteArray seed = framed("{\"handshake\":\"Shop\"}");
        qint64 at = 1'700'000'000'000;
        for (int i = 0; i < kSeed; ++i, at += 20)
            seed += pair(restPath((i * 7) % kPaths), at, durationMs());
        BenchPeer::writeAll(fd, seed.constData(), size_t(seed.size()));
        seeded = true;
        while (!go)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < kPerSecond * kSeconds; ++k, at += 20) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(k * 1000 / kPerSecond));
            const QByteArray one = pair(restPath(int(unit(random) * kPaths)), at, durationMs());
            if (!BenchPeer::writeAll(fd, one.constData(), size_t(one.size())))
                break;
        }
        BenchPeer::closeAfterSending(fd);
    });
    MessageRepository &repository = program.shared.repository;
    waitForExchanges(repository, kSeed);
    bench::waitFor([] { return false; }, 500);

    BlockWatch watch;
    watch.start();
    chart->viewModel().selectAllPaths();
    bench::waitFor([&] { return chart->chart() && !chart->chart()->chartView()->layerPending(); }, 60000, 1);
    bench::waitFor([] { return false; }, 300, 1);
    watch.stop();
    std::printf("select all: %lld paths, %lld items charted, longest main-thread block %.1f ms\n",
                qlonglong(chart->viewModel().selectedPaths().size()), qlonglong(chart->viewModel().graphData().size()),
                watch.longestMs());

    go = true;
    watch.start();
    waitForExchanges(repository, kSeed + kPerSecond * kSeconds);
    bench::waitFor([] { return false; }, 500, 1);
    watch.stop();
    app.join();
    const RequestDurationMeasuredChart *shown = chart->chart();
    std::printf("%d exchanges a second for %d s over %lld paths, %lld items charted at the end: longest main-thread "
                "block %.1f ms, %d turns over 16 ms (target < 20 ms); last layer %.1f ms, %d layers drawn on the main "
                "thread of %d\n",
                kPerSecond, kSeconds, qlonglong(chart->viewModel().paths().size()),
                qlonglong(chart->viewModel().graphData().size()), watch.longestMs(), watch.overFrame(),
                shown ? shown->chartView()->lastLayerRenderMs() : 0.0,
                shown ? shown->chartView()->mainThreadLayerRenderCount() : 0,
                shown ? shown->chartView()->layerRenderCount() : 0);
    std::fflush(stdout);
    if (const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        program.scene.mainWindow()->grab().save(QDir(dir).filePath(QStringLiteral("metrics_program-live.png")));
    }
}

void handshake(const QTemporaryDir &home, bool paneOpen)
{
    constexpr int kExchanges = 200000;
    bench::ProgramWindow program(home);
    RequestDurationChart *chart = nullptr;
    if (paneOpen) {
        chart = openLineChart(program);
        if (!chart) {
            std::fprintf(stderr, "no duration chart in the window\n");
            return;
        }
        for (int id = 0; id < 5; ++id)
            chart->viewModel().togglePath(QString::fromLatin1(restPath(id)));
    } else {
        program.shared.windowManager.setBottomView(BottomView::None);
    }
    const quint16 port = program.shared.listener.serverPort();
    const auto connectAs = [port](const QByteArray &payloads) {
        const int fd = BenchPeer::connectLoopback(port);
        if (fd >= 0)
            BenchPeer::writeAll(fd, payloads.constData(), size_t(payloads.size()));
        return fd;
    };
    int fd = -1;
    std::thread first([&] {
        QByteArray all = framed("{\"handshake\":\"Shop\"}");
        qint64 at = 1'700'000'000'000;
        for (int i = 0; i < kExchanges; ++i, at += 20) {
            all += pair(restPath(i % 5), at, 50 + (i * 37) % 400);
            if (all.size() > (1 << 20)) {
                if (fd < 0)
                    fd = connectAs(all);
                else
                    BenchPeer::writeAll(fd, all.constData(), size_t(all.size()));
                all.clear();
            }
        }
        BenchPeer::writeAll(fd, all.constData(), size_t(all.size()));
    });
    waitForExchanges(program.shared.repository, kExchanges);
    first.join();
    // The user watches this app: its timeline is the one a new connection of it filters again.
    MorvendaListener &listener = program.shared.listener;
    if (!listener.activeConnection() && !listener.connections().isEmpty())
        listener.select(listener.connections().constFirst());
    bench::waitFor([] { return false; }, 1000);

    std::vector<double> blocks;
    std::vector<int> sockets{fd};
    int resets = 0;
    QObject::connect(&program.shared.repository, &MessageRepository::timelineReset, [&] { ++resets; });
    for (int round = 0; round < 3; ++round) {
        BlockWatch watch;
        watch.start();
        sockets.push_back(connectAs(framed("{\"handshake\":\"Shop\"}")));
        bench::waitFor([] { return false; }, 1500, 1);
        watch.stop();
        blocks.push_back(watch.longestMs());
    }
    for (const int socket : sockets)
        ::close(socket);
    std::printf("re-handshake over %d exchanges, %s: longest main-thread block median %.1f ms (%.1f-%.1f), "
                "%d timeline resets%s\n",
                kExchanges, paneOpen ? "duration pane open (line chart, 5 paths selected)" : "bottom pane closed",
                bench::median(blocks), *std::min_element(blocks.begin(), blocks.end()),
                *std::max_element(blocks.begin(), blocks.end()), resets,
                chart ? qPrintable(QStringLiteral(", %1 items charted").arg(chart->viewModel().graphData().size())) : "");
    std::fflush(stdout);
    if (const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS"); !dir.isEmpty() && paneOpen) {
        QDir().mkpath(dir);
        program.scene.mainWindow()->grab().save(QDir(dir).filePath(QStringLiteral("metrics_program-handshake.png")));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::prepareProgramEnvironment(home);
    QApplication app(argc, argv);
    if (!bench::programReady())
        return 2;
    const QByteArray part = argc > 1 ? QByteArray(argv[1]) : QByteArray("all");
    if (part == "all" || part == "live")
        live(home);
    if (part == "all" || part == "handshake" || part == "handshake-open")
        handshake(home, true);
    if (part == "all" || part == "handshake")
        handshake(home, false);
    return 0;
}
