// The whole program under a flood: the real main window shown (offscreen unless a display is
// set), scripted apps over loopback streaming request/response pairs as fast as the sockets
// allow, every tenth response of an app joining that app's one shared batch. Reports payloads
// per second from the first byte to the last payload stored, how late a 10 ms main-thread timer
// fires meanwhile (p50/p99/max), and how much slower the last tenth of the payloads arrives than
// the first.
//   app_flood [plain|realistic] [apps=4] [pairs per app=100000] [chart]
// plain: one header, 4 KB bodies. realistic: eleven headers (one a long token), a query string
// and 1 KB JSON bodies. chart: the metrics pane open on the request-duration chart, with the
// paths of the first second selected. MORVENDA_ARTIFACTS set: a screenshot of the window at the end.
#include "MorvendaApp/MainScene/MainWindow.h"
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
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

std::atomic<qint64> firstByteNs{0};

struct Shape
{
    bool realistic = false;
    int pairs = 100'000;
};

QByteArray framed(const QByteArray &body)
{
    return *MorvendaFramer::frame(body);
}

QByteArray uuidText(const QUuid &id)
{
    return id.toByteArray(QUuid::WithoutBraces).toUpper();
}

QByteArray plainPair(const QByteArray &id, const QByteArray &batchID, int i)
{
    static const QByteArray body(4096, 'b');
    const QByteArray url = "https://shop.example/api/items/" + QByteArray::number(i);
    return framed("{\"request\":{\"id\":\"" + id + "\",\"url\":\"" + url
                                  + "\",\"method\":\"get\",\"timestamp\":1700000000000,\"headers\":[{\"name\":"
                                    "\"Accept\",\"value\":\"application/json\"}],\"data\":\""
                                  + body + "\"}}")
        + framed("{\"response\":{\"id\":\"" + id + "\",\"batchID\":\"" + batchID
                                 + "\",\"statusCode\":200,\"url\":\"" + url
                                 + "\",\"source\":{\"network\":{}},\"timestamp\":1700000000100,\"headers\":[],"
                                   "\"data\":\""
                                 + body + "\"}}");
}

// What a shopping app really sends: a query string, eleven headers with a bearer token, and a
// JSON body of about 1 KB (escaped inside the message's data string).
QByteArray realisticPair(const QByteArray &id, const QByteArray &batchID, int i)
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
    const QByteArray url = "https://shop.example/api/v2/catalog/items/" + QByteArray::number(i)
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
                                  + "\",\"method\":\"post\",\"timestamp\":1700000000000,\"headers\":" + headers
                                  + ",\"data\":\"" + body + "\"}}")
        + framed("{\"response\":{\"id\":\"" + id + "\",\"batchID\":\"" + batchID
                                 + "\",\"statusCode\":200,\"url\":\"" + url
                                 + "\",\"source\":{\"network\":{}},\"timestamp\":1700000000100,\"headers\":"
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
        chunk += shape.realistic ? realisticPair(id, batchID, i) : plainPair(id, batchID, i);
        if (chunk.size() > 256 * 1024) {
            if (!BenchPeer::writeAll(fd, chunk.constData(), size_t(chunk.size())))
                break;
            chunk.clear();
        }
    }
    BenchPeer::writeAll(fd, chunk.constData(), size_t(chunk.size()));
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
    const qint64 total = qint64(apps) * shape.pairs * 2;
    const bool chart = argc > 4 && qstrcmp(argv[4], "chart") == 0;

    bench::ProgramWindow program(home);
    SharedObjects &shared = program.shared;
    MainScene &scene = program.scene;
    if (chart) {
        shared.windowManager.setBottomView(BottomView::Metrics);
        bench::waitFor([] { return false; }, 200);
        // The chart draws only selected paths: those of the first second are.
        if (auto *duration = scene.mainWindow()->findChild<RequestDurationChart *>())
            QTimer::singleShot(1000, duration, [duration] { duration->viewModel().selectAllPaths(); });
    }

    QElapsedTimer clock;
    clock.start();

    std::vector<double> lateness;
    QElapsedTimer tick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, &app, [&] {
        if (tick.isValid())
            lateness.push_back(std::max(0.0, double(tick.nsecsElapsed()) / 1e6 - 10.0));
        tick.restart();
    });
    probe.start();

    // Every payload stored reports itself as the latest exchange; the moment each tenth of them
    // is reached gives the rate over the session's length.
    qint64 stored = 0;
    std::array<qint64, 11> tenths{};
    QObject::connect(&shared.repository, &MessageRepository::latestExchangeChanged, &app, [&] {
        ++stored;
        if (stored % (total / 10) == 0 && stored / (total / 10) <= 10)
            tenths[size_t(stored / (total / 10))] = clock.nsecsElapsed();
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
                shape.pairs, chart ? ", request-duration chart open" : "");
    std::printf("payloads stored: %lld of %lld, exchanges %lld, in %.1f s\n", qlonglong(stored), qlonglong(total),
                qlonglong(shared.repository.exchangeCount()), double(clock.nsecsElapsed() - firstByteNs.load()) / 1e9);
    if (complete) {
        std::printf("payloads per second: %.0f (%.3f s)\n", double(total) / seconds, seconds);
        std::printf("last tenth slower than the first by: %.2fx\n", lastTenth / firstTenth);
    }
    std::printf("lateness of a 10 ms main-thread timer: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu samples)\n",
                percentile(lateness, 0.5), percentile(lateness, 0.99),
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()), lateness.size());
    std::printf("resident memory: %lld MB\n", qlonglong(bench::residentBytes() / (1 << 20)));
    std::fflush(stdout);
    if (!complete)
        std::_Exit(1);
    return 0;
}
