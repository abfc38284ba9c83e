// End to end over loopback: scripted apps (one thread each, blocking sockets) stream
// request/response pairs with 4 KB bodies as fast as the socket allows into a configured
// listener; reports payloads per second from the first byte to the last exchange in the
// repository, and how late a 10 ms main-loop timer fires meanwhile (p50/p99/max).
//   server_loopback [peers=4] [pairs per peer=50000] [body bytes=4096]
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/MorvendaFramer.h"
#include "bench/server_peer.h"
#include "bench/headless_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

std::atomic<qint64> firstByteNs{0};

bool writeAll(int fd, const QByteArray &bytes)
{
    return BenchPeer::writeAll(fd, bytes.constData(), size_t(bytes.size()));
}

// One app: handshake, then `pairs` request/response frames, batched into ~256 KB writes.
void runPeer(quint16 port, int index, int pairs, int bodyBytes, const QElapsedTimer *clock)
{
    const int fd = BenchPeer::connectLoopback(port);
    if (fd < 0) {
        return;
    }
    const QByteArray body(bodyBytes, 'b');
    // The first peer to start marks the first byte.
    qint64 expected = 0;
    firstByteNs.compare_exchange_strong(expected, clock->nsecsElapsed());
    // Shake hands and read the hello: a socket closed with unread input sends a reset, which
    // would discard what the server has not read yet.
    if (!writeAll(fd, *MorvendaFramer::frame(QByteArray("{\"handshake\":\"Peer " + QByteArray::number(index) + "\"}")))) {
        return;
    }
    char hello[22];
    for (size_t got = 0; got < sizeof hello;) {
        const ssize_t n = ::recv(fd, hello + got, sizeof hello - got, 0);
        if (n <= 0) {
            std::perror("recv");
            return;
        }
        got += size_t(n);
    }
    QByteArray batch;
    for (int i = 0; i < pairs; ++i) {
        const QByteArray id = QUuid::createUuid().toByteArray(QUuid::WithoutBraces).toUpper();
        const QByteArray request = "{\"request\":{\"id\":\"" + id
            + "\",\"url\":\"https://shop.example/api/items/" + QByteArray::number(i)
            + "\",\"method\":\"get\",\"timestamp\":1700000000000,\"headers\":[{\"name\":\"Accept\",\"value\":\"application/json\"}],\"data\":\""
            + body + "\"}}";
        const QByteArray response = "{\"response\":{\"id\":\"" + id + "\",\"batchID\":\"" + id
            + "\",\"statusCode\":200,\"url\":\"https://shop.example/api/items/" + QByteArray::number(i)
            + "\",\"source\":{\"network\":{}},\"timestamp\":1700000000100,\"headers\":[],\"data\":\"" + body + "\"}}";
        batch += *MorvendaFramer::frame(request);
        batch += *MorvendaFramer::frame(response);
        if (batch.size() > 256 * 1024) {
            if (!writeAll(fd, batch)) {
                break;
            }
            batch.clear();
        }
    }
    writeAll(fd, batch);
    // Everything written is still delivered after the close.
    ::close(fd);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES")) {
        QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*.debug=false\nmorvenda.*.info=false"));
    }
    const int peers = argc > 1 ? std::atoi(argv[1]) : 4;
    const int pairs = argc > 2 ? std::atoi(argv[2]) : 50'000;
    const int bodyBytes = argc > 3 ? std::atoi(argv[3]) : 4096;
    const qint64 totalPayloads = qint64(peers) * pairs * 2;

    bench::HeadlessServer server;
    MorvendaListener &listener = server.listener;
    MessageRepository &repository = server.repository;

    QElapsedTimer clock;
    clock.start();

    // Main-loop lateness: a 10 ms timer measures how late it fires.
    std::vector<double> lateness;
    QElapsedTimer tick;
    QTimer stallProbe;
    stallProbe.setTimerType(Qt::PreciseTimer);
    stallProbe.setInterval(10);
    QObject::connect(&stallProbe, &QTimer::timeout, &app, [&] {
        if (tick.isValid()) {
            lateness.push_back(std::max(0.0, double(tick.nsecsElapsed()) / 1e6 - 10.0));
        }
        tick.restart();
    });
    stallProbe.start();

    qint64 responsesSeen = 0;
    qint64 lastExchangeNs = 0;
    QObject::connect(&repository, &MessageRepository::latestExchangeChanged, &app, [&] {
        const auto &latest = repository.latestExchange();
        if (latest && !latest->responses().isEmpty()) {
            ++responsesSeen;
        }
        if (responsesSeen == qint64(peers) * pairs) {
            lastExchangeNs = clock.nsecsElapsed();
            app.quit();
        }
    });
    // A bound on the whole run: never hang.
    QTimer::singleShot(qEnvironmentVariableIntValue("BENCH_TIMEOUT_MS") > 0 ? qEnvironmentVariableIntValue("BENCH_TIMEOUT_MS") : 300'000, &app, [&] {
        std::fprintf(stderr, "timed out after 300 s: %lld exchanges, %lld with responses\n",
                     static_cast<long long>(repository.exchangeCount()), static_cast<long long>(responsesSeen));
        app.quit();
    });

    const quint16 port = listener.serverPort();
    std::vector<std::thread> threads;
    for (int i = 0; i < peers; ++i) {
        threads.emplace_back(runPeer, port, i, pairs, bodyBytes, &clock);
    }
    app.exec();
    stallProbe.stop();
    for (auto &t : threads) {
        t.join();
    }

    const double seconds = double(lastExchangeNs - firstByteNs.load()) / 1e9;
    std::printf("peers %d, pairs per peer %d, body %d bytes\n", peers, pairs, bodyBytes);
    std::printf("exchanges in repository: %lld (complete pairs seen: %lld)\n",
                static_cast<long long>(repository.exchangeCount()), static_cast<long long>(responsesSeen));
    std::printf("payloads per second: %.0f (%lld payloads in %.3f s)\n", double(totalPayloads) / seconds,
                static_cast<long long>(totalPayloads), seconds);
    std::printf("main-loop stall of a 10 ms timer: p50 %.2f ms, p99 %.2f ms, max %.2f ms (%zu samples)\n",
                percentile(lateness, 0.5), percentile(lateness, 0.99),
                lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end()), lateness.size());
    return responsesSeen == qint64(peers) * pairs ? 0 : 1;
}
