// The whole program under a flood: the real main window shown (offscreen unless a display is
// set), scripted apps over loopback streaming request/response pairs as fast as the sockets
// allow, every tenth response of an app joining that app's one shared batch. Reports payloads
// per second from the first byte to the last payload stored, how late a 10 ms main-thread timer
// fires meanwhile (p50/p99/max), and how much slower the last tenth of the payloads arrives than
// the first.
//   app_flood [plain|realistic] [apps=4] [pairs per app=100000] [chart|chart-line] [then per second=0]
// plain: one header, 4 KB bodies. realistic: eleven headers (one a long token), a query string
// and 1 KB JSON bodies. chart, chart-line: the metrics pane open on the request-duration bar or
// line chart, with the five paths the requests then go to selected; the requests stand 20 ms apart, with varied durations (a seeded zig-zag with spikes), as a chart draws them at
// their worst. then per second: after the flood, each app sends that many pairs a second for ten
// seconds, and the timer's lateness is also given for that part alone (a live session over a
// long timeline). MORVENDA_ARTIFACTS set: a screenshot of the window at the end.
#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/metrics/RequestDurationChartType.h"
#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaModel/MorvendaFramer.h"
#include "bench/ProgramWindow.h"
#include "bench/server_peer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

std::atomic<qint64> firstByteNs{0};
// Set once every app's flood is stored: the paced part starts only then.
std::atomic<bool> floodStored{false};

struct Shape
{
    bool realistic = false;
    int pairs = 100'000;
    // Five paths and varied times, as the duration charts draw them.
    bool charted = false;
    // Pairs a second per app after the flood, for ten seconds.
    int thenPerSecond = 0;
};

constexpr int kTrickleSeconds = 10;

// What varies with a pair's index: the URL's last segment and the request's and response's times
// in milliseconds since 1970.
struct Varied
{
    QByteArray item;
    QByteArray requestTime = "1700000000000";
    QByteArray responseTime = "1700000000100";
};

Varied variedOf(const Shape &shape, int i)
{
    if (!shape.charted)
        return {QByteArray::number(i)};
    // A slow wave, every other one far below it, a seeded scatter and a rare spike, in ms.
    const double wave = 100 + 400 * (0.5 + 0.5 * std::sin(i / 500.0));
    const double scatter = double((quint32(i) * 2654435761u) % 1000u) / 2;
    const qint64 duration = qint64((i % 2 ? wave * 0.3 : wave) + scatter + (i % 997 == 0 ? 3000 : 0));
    const qint64 start = 1'700'000'000'000 + qint64(i) * 20;
    return {QByteArray::number(i % 5), QByteArray::number(start), QByteArray::number(start + duration)};
}

QByteArray framed(const QByteArray &body)
{
    return *MorvendaFramer::frame(body);
}

QByteArray uuidText(const QUuid &id)
{
    return id.toByteArray(QUuid::WithoutBraces).toUpper();
}

QByteArray plainPair(const QByteArray &id, const QByteArray &batchID, const Varied &varied)
{
    static const QByteArray body(4096, 'b');
    const QByteArray url = "https://shop.example/api/items/" + varied.item;
    return framed("{\"request\":{\"id\":\"" + id + "\",\"url\":\"" + url
                                  + "\",\"method\":\"get\",\"timestamp\":" + varied.requestTime + ",\"headers\":[{\"name\":"
                                    "\"Accept\",\"value\":\"application/json\"}],\"data\":\""
                                  + body + "\"}}")
        + framed("{\"response\":{\"id\":\"" + id + "\",\"batchID\":\"" + batchID
                                 + "\",\"statusCode\":200,\"url\":\"" + url
                                 + "\",\"source\":{\"network\":{}},\"timestamp\":" + varied.responseTime + ",\"headers\":[],"
                                   "\"data\":\""
                                 + body + "\"}}");
}

// What a shopping app really sends: a query string, eleven headers with a bearer token, and a
// JSON body of about 1 KB (escaped inside the message's data string).
QByteArray realisticPair(const QByteArray &id, const QByteArray &batchID, int i, const Varied &varied)
{
    static const QByteArray token = "Bearer " + QByteArray(900, 'T');
    static const QByteArray body = [] {
        QByteArray json("{\\\"items\\\":[");
        for (int n = 0; json.size() < 1000; ++n) {
            if (n > 0)
                json.append(',');
            json.append("{\\\"sku\\\":\\\"SKU-").append(QByteArray::number(1000 + n));
            json.append("\\\",\\\"qty\\\":").append(QByteArray::number(n % 5 + 1)).append('}');
        }
        return json.append("]}");
    }();
    const QByteArray url = "https://shop.example/api/v2/catalog/items/" + varied.item
        + "?locale=de_DE&currency=EUR&page=" + QByteArray::number(i % 50) + "&sort=relevance";
    const QByteArray headers = "[{\"name\":\"Accept\",\"value\":\"application/json\"},"
                               "{\"name\":\"Accept-Language\",\"value\":\"de-DE,de;q=0.9,en;q=0.8\"},"
                               "{\"name\":\"Accept-Encoding\",\"value\":\"gzip, deflate, br\"},"
                               "{\"name\":\"Authorization\",\"value\":\""
        + token
        + "\"},"
          "{\"name\":\"Content-Type\",\"value\":\"application/json; charset=utf-8\"},"
          "{\"name\":\"User-Agent\",\"value\":\"ShopApp/7.12.0 (Android 14; Pixel 8)\"},"
          "{\"name\":\"X-Request-Id\",\"value\":\""
        + id
        + "\"},"
          "{\"name\":\"X-Client-Version\",\"value\":\"7.12.0\"},"
          "{\"name\":\"X-Device-Id\",\"value\":\"3f6c2a9e-5d1b-4c8f-9a7e-2b4d6f8a1c3e\"},"
          "{\"name\":\"Cache-Control\",\"value\":\"no-cache\"},"
          "{\"name\":\"Connection\",\"value\":\"keep-alive\"}]";
    return framed("{\"request\":{\"id\":\"" + id + "\",\"url\":\"" + url
                                  + "\",\"method\":\"post\",\"timestamp\":" + varied.requestTime + ",\"headers\":" + headers
                                  + ",\"data\":\"" + body + "\"}}")
        + framed("{\"response\":{\"id\":\"" + id + "\",\"batchID\":\"" + batchID
                                 + "\",\"statusCode\":200,\"url\":\"" + url
                                 + "\",\"source\":{\"network\":{}},\"timestamp\":" + varied.responseTime + ",\"headers\":"
                                   "[{\"name\":\"Content-Type\",\"value\":\"application/json\"}],\"data\":\""
                                 + body + "\"}}");
}

// One app: handshake, read the hello, then the pairs in writes of about 256 KB.
void runApp(quint16 port, int index, Shape shape, const QElapsedTimer *clock)
{
    const int fd = BenchPeer::connectLoopback(port);
    if (fd < 0)
        return;
    qint64 expected = 0;
    firstByteNs.compare_exchange_strong(expected, clock->nsecsElapsed());
    const QByteArray handshake = framed(("{\"handshake\":\"Shop " + QByteArray::number(index) + "\"}"));
    if (!BenchPeer::writeAll(fd, handshake.constData(), size_t(handshake.size())))
        return;
    // Unread input at close would reset the connection and discard what is still in flight.
    char hello[22];
    for (size_t got = 0; got < sizeof hello;) {
        const ssize_t n = ::recv(fd, hello + got, sizeof hello - got, 0);
        if (n <= 0)
            return;
        got += size_t(n);
    }
    const QByteArray sharedBatch = uuidText(QUuid::createUuid());
    QByteArray chunk;
    for (int i = 0; i < shape.pairs; ++i) {
        const QByteArray id = uuidText(QUuid::createUuid());
        const QByteArray &batchID = i % 10 == 0 ? sharedBatch : id;
        const Varied varied = variedOf(shape, i);
        chunk += shape.realistic ? realisticPair(id, batchID, i, varied) : plainPair(id, batchID, varied);
        if (chunk.size() > 256 * 1024) {
            if (!BenchPeer::writeAll(fd, chunk.constData(), size_t(chunk.size())))
                break;
            chunk.clear();
        }
    }
    BenchPeer::writeAll(fd, chunk.constData(), size_t(chunk.size()));
    if (shape.thenPerSecond > 0) {
        while (!floodStored.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < shape.thenPerSecond * kTrickleSeconds; ++k) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(qint64(k) * 1'000'000 / shape.thenPerSecond));
            const int i = shape.pairs + k;
            const QByteArray id = uuidText(QUuid::createUuid());
            const Varied varied = variedOf(shape, i);
            const QByteArray pair = shape.realistic ? realisticPair(id, id, i, varied) : plainPair(id, id, varied);
            if (!BenchPeer::writeAll(fd, pair.constData(), size_t(pair.size())))
                break;
        }
    }
    ::close(fd);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::prepareProgramEnvironment(home);
    QApplication app(argc, argv);
    if (!bench::programReady())
        return 2;

    Shape shape;
    shape.realistic = argc > 1 && qstrcmp(argv[1], "realistic") == 0;
    const int apps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    shape.pairs = argc > 3 ? std::max(10, std::atoi(argv[3])) : 100'000;
    const bool chart = argc > 4 && qstrncmp(argv[4], "chart", 5) == 0;
    const bool lineChart = argc > 4 && qstrcmp(argv[4], "chart-line") == 0;
    shape.charted = chart;
    shape.thenPerSecond = argc > 5 ? std::max(0, std::atoi(argv[5])) : 0;
    const qint64 floodTotal = qint64(apps) * shape.pairs * 2;
    const qint64 total = floodTotal + qint64(apps) * shape.thenPerSecond * kTrickleSeconds * 2;

    bench::ProgramWindow program(home);
    SharedObjects &shared = program.shared;
    MainScene &scene = program.scene;
    if (chart) {
        shared.windowManager.setBottomView(BottomView::Metrics);
        // The pane takes the whole details area, as for a developer watching the chart.
        shared.windowManager.setExpandBottomView(true);
        bench::waitFor([] { return false; }, 200);
        // The chart draws only selected paths: the five the apps will use are, from the start.
        if (auto *duration = scene.mainWindow()->findChild<RequestDurationChart *>()) {
            if (lineChart)
                duration->viewModel().setType(RequestDurationChartType::Line);
            for (int item = 0; item < 5; ++item) {
                duration->viewModel().togglePath((shape.realistic ? QStringLiteral("/api/v2/catalog/items/")
                                                                  : QStringLiteral("/api/items/"))
                                                 + QString::number(item));
            }
        }
    }

    QElapsedTimer clock;
    clock.start();

    std::vector<double> lateness;
    std::vector<double> pacedLateness;
    QElapsedTimer tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        if (tick.isValid())
            (floodStored.load() ? pacedLateness : lateness).push_back(std::max(0.0, double(tick.nsecsElapsed()) / 1e6 - 10.0));
        tick.restart();
    });
    probe.start();

    // Every payload stored reports itself as the latest exchange; the moment each tenth of them
    // is reached gives the rate over the session's length.
    qint64 stored = 0;
    std::array<qint64, 11> tenths{};
    QObject::connect(&shared.repository, &MessageRepository::latestExchangeChanged, &app, [&] {
        ++stored;
        if (stored == floodTotal)
            floodStored.store(true);
        // The rate is the flood's: the paced part that may follow has its own pace.
        if (stored <= floodTotal && stored % (floodTotal / 10) == 0)
            tenths[size_t(stored / (floodTotal / 10))] = clock.nsecsElapsed();
        if (stored == total)
            app.quit();
    });
    const int timeoutMs = qEnvironmentVariableIntValue("BENCH_TIMEOUT_MS") > 0
        ? qEnvironmentVariableIntValue("BENCH_TIMEOUT_MS")
        : 600'000;
    QTimer::singleShot(timeoutMs, &app, [&] {
        std::fprintf(stderr, "timed out: %lld of %lld payloads stored\n", qlonglong(stored), qlonglong(total));
        app.quit();
    });

    std::vector<std::thread> threads;
    for (int i = 0; i < apps; ++i)
        threads.emplace_back(runApp, shared.listener.serverPort(), i, shape, &clock);
    app.exec();
    probe.stop();
    const bool complete = stored == total;
    // After a timeout the apps may be blocked writing to a server that stopped reading.
    if (complete) {
        for (auto &thread : threads)
            thread.join();
    }

    if (const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        bench::waitFor([] { return false; }, 300);
        scene.mainWindow()->grab().save(QDir(dir).filePath(QStringLiteral("app_flood.png")));
    }

    tenths[0] = firstByteNs.load();
    const double seconds = double(tenths[10] - tenths[0]) / 1e9;
    const double firstTenth = double(tenths[1] - tenths[0]);
    const double lastTenth = double(tenths[10] - tenths[9]);
    std::printf("%s: %d apps x %d pairs, every tenth response in one batch per app%s\n",
                shape.realistic ? "realistic (11 headers, query, 1 KB JSON)" : "plain (4 KB bodies)", apps,
                shape.pairs, lineChart ? ", request-duration line chart open" : chart ? ", request-duration bar chart open" : "");
    std::printf("payloads stored: %lld of %lld, exchanges %lld, in %.1f s\n", qlonglong(stored), qlonglong(total),
                qlonglong(shared.repository.exchangeCount()), double(clock.nsecsElapsed() - firstByteNs.load()) / 1e9);
    if (complete) {
        std::printf("payloads per second: %.0f (%.3f s)\n", double(floodTotal) / seconds, seconds);
        std::printf("last tenth slower than the first by: %.2fx\n", lastTenth / firstTenth);
    }
    std::printf("lateness of a 10 ms main-thread timer: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu samples)\n",
                percentile(lateness, 0.5), percentile(lateness, 0.99),
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()), lateness.size());
    if (shape.thenPerSecond > 0) {
        std::printf("then %d pairs/s per app for %d s: lateness p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu samples)\n",
                    shape.thenPerSecond, kTrickleSeconds, percentile(pacedLateness, 0.5), percentile(pacedLateness, 0.99),
                    pacedLateness.empty() ? 0.0 : *std::max_element(pacedLateness.begin(), pacedLateness.end()),
                    pacedLateness.size());
    }
    std::printf("resident memory: %lld MB\n", qlonglong(bench::residentBytes() / (1 << 20)));
    std::fflush(stdout);
    if (!complete)
        std::_Exit(1);
    return 0;
}
