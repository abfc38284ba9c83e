// Responses that share one request ID: an app that polls and reuses its ID. One request, then
// `responses` responses to it, first streamed by a scripted app over loopback, then saved and
// opened as a session file (into an empty store, and once more into the store that holds them).
// Two shapes: every response in one batch, and each response under a batch ID of its own.
// Prints the time and the resident memory each costs, the time until the first tenth of the
// responses was stored (connecting or reading the file included) and the time the last tenth took:
// with a cost per response that grows with those before it, the last tenth takes the longest.
//   session_shared_id [responses=30000]
#include "MorvendaModel/MorvendaFramer.h"
#include "bench/headless_server.h"
#include "bench/server_peer.h"
#include "bench/session_open.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// The peak resident memory since the last reset, in bytes (Linux).
qint64 peakResidentBytes()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

const QByteArray kId = "6F1D2C3B-0000-4000-8000-00000000A11D";

enum class Batches { One, EachItsOwn };

QByteArray batchID(Batches batches, int i)
{
    const QByteArray serial = QByteArray::number(batches == Batches::One ? 0 : i, 16).rightJustified(12, '0');
    return "6F1D2C3B-0000-4000-8000-" + serial.toUpper();
}

QByteArray responseFrame(Batches batches, int i)
{
    return *MorvendaFramer::frame(QByteArray("{\"response\":{\"id\":\"" + kId + "\",\"batchID\":\"" + batchID(batches, i)
                                  + "\",\"statusCode\":200,\"url\":\"https://shop.example/api/poll?n=" + QByteArray::number(i)
                                  + "\",\"source\":{\"network\":{}},\"timestamp\":" + QByteArray::number(1700000000000 + i)
                                  + ",\"headers\":[],\"data\":\"{\\\"state\\\":\\\"pending\\\",\\\"n\\\":"
                                  + QByteArray::number(i) + "}\"}}"));
}

// The app: handshake, its hello read, one request, then every response, in ~256 KB writes.
void runPeer(quint16 port, int responses, Batches batches, std::atomic<qint64> *bytesSent)
{
    const int fd = BenchPeer::connectLoopback(port);
    if (fd < 0)
        return;
    const auto send = [fd](const QByteArray &bytes) { return BenchPeer::writeAll(fd, bytes.constData(), size_t(bytes.size())); };
    if (!send(*MorvendaFramer::frame("{\"handshake\":\"Polling app\"}")) || !BenchPeer::readExactly(fd, 22))
        return;
    QByteArray batch = *MorvendaFramer::frame(QByteArray("{\"request\":{\"id\":\"" + kId
                                              + "\",\"url\":\"https://shop.example/api/poll\",\"method\":\"get\","
                                                "\"timestamp\":1700000000000,\"headers\":[],\"data\":\"\"}}"));
    for (int i = 0; i < responses; ++i) {
        batch += responseFrame(batches, i);
        if (batch.size() > 256 * 1024 || i + 1 == responses) {
            if (!send(batch))
                break;
            *bytesSent += batch.size();
            batch.clear();
        }
    }
    ::close(fd);
}

struct Figures
{
    double seconds = 0;
    double firstTenthMs = 0;
    double lastTenthMs = 0;
    double peakMB = 0;
    double keptMB = 0;
};

void print(const char *what, const Figures &f)
{
    std::printf("%-28s %8.3f s  first tenth %8.1f ms  last tenth %8.1f ms  peak +%7.1f MB  kept +%7.1f MB\n", what,
                f.seconds, f.firstTenthMs, f.lastTenthMs, f.peakMB, f.keptMB);
}

// Times a run that adds responses to the repository until the exchange holds `target` of them.
Figures measure(MessageRepository &repository, int target, const std::function<void()> &start)
{
    Figures figures;
    const qint64 before = bench::residentBytes();
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    const qint64 tenth = std::max(1, target / 10);
    qint64 base = -1;
    qint64 firstTenthEnd = 0;
    qint64 lastTenthStart = 0;
    const QMetaObject::Connection watch = QObject::connect(&repository, &MessageRepository::latestExchangeChanged, &repository,
        [&](const Exchange &exchange) {
            const qint64 count = exchange.responses().size();
            if (base < 0)
                base = count - 1;
            const qint64 seen = count - base;
            if (seen == tenth)
                firstTenthEnd = clock.nsecsElapsed();
            if (seen == target - tenth)
                lastTenthStart = clock.nsecsElapsed();
        });
    start();
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    QObject::disconnect(watch);
    figures.firstTenthMs = double(firstTenthEnd) / 1e6;
    figures.lastTenthMs = double(clock.nsecsElapsed() - lastTenthStart) / 1e6;
    figures.peakMB = double(peakResidentBytes() - before) / 1e6;
    figures.keptMB = double(bench::residentBytes() - before) / 1e6;
    return figures;
}

// One shape: over the wire into a fresh server, then from a session file; false on a failure.
bool runShape(Batches batches, int responses)
{
    const auto holds = [](const MessageRepository &repository, qsizetype count) {
        const std::optional<Exchange> &latest = repository.latestExchange();
        return latest && latest->responses().size() >= count;
    };
    std::printf("\n%d responses to one request, %s\n", responses,
                batches == Batches::One ? "all in one batch" : "each under a batch ID of its own");

    bench::HeadlessServer server;
    std::atomic<qint64> bytesSent{0};
    std::thread peer;
    const Figures wire = measure(server.repository, responses, [&] {
        peer = std::thread(runPeer, server.listener.serverPort(), responses, batches, &bytesSent);
        bench::waitFor([&] { return holds(server.repository, responses); }, 600'000, 1);
    });
    peer.join();
    std::printf("%.1f MB on the wire\n", double(bytesSent.load()) / 1e6);
    print("over the wire", wire);
    if (!holds(server.repository, responses)) {
        std::printf("the store did not receive every response\n");
        return false;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("polling.json"));
    if (!bench::writeSession(server.repository, path))
        return false;
    std::printf("session file: %.1f MB\n", double(QFileInfo(path).size()) / 1e6);

    MessageRepository opened;
    print("session file, first open", measure(opened, responses, [&] { bench::openSession(path, opened); }));
    if (!holds(opened, responses))
        return false;
    // Opened again into the store that holds the same exchange: every response is already there.
    QElapsedTimer again;
    again.start();
    const qint64 before = bench::residentBytes();
    bench::openSession(path, opened);
    std::printf("%-28s %8.3f s  kept +%7.1f MB  (%lld responses held, batch count %lld)\n", "session file, opened again",
                double(again.nsecsElapsed()) / 1e9, double(bench::residentBytes() - before) / 1e6,
                static_cast<long long>(opened.exchangeAt(0).responses().size()),
                static_cast<long long>(opened.exchangeAt(0).batchCount().value_or(0)));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*.debug=false\nmorvenda.*.info=false"));
    const int responses = argc > 1 ? std::max(10, std::atoi(argv[1])) : 30'000;
    return runShape(Batches::One, responses) && runShape(Batches::EachItsOwn, responses) ? 0 : 1;
}
