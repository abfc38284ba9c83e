// Apps that connect, shake hands, read the hello and close, one after another: first each under a
// new name (every closed app stays listed), then all under one name (each replaces the one before).
// Every `step` cycles it waits until the server has seen the closes and prints the resident memory,
// the heap in use and the in-app log's lines, with the growth per cycle since the last reading:
// what a closed connection keeps. Against the session core alone, then against the program with
// its main window shown (offscreen), whose connection list shows every listed app.
//   server_churn [cycles=30000] [step=5000] [core|window|both=both] [new|one|both=both: names]
#include "MorvendaModel/MorvendaFramer.h"
#include "bench/BenchSupport.h"
#include "bench/ProgramWindow.h"
#include "bench/headless_server.h"
#include "bench/server_peer.h"

#include <QApplication>
#include <QLoggingCategory>

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

constexpr std::size_t kHelloSize = 4 + sizeof(R"({"serverHello":""})") - 1;

// The app side: `cycles` connect/handshake/hello/close cycles, stopping after each `step` until
// `resume` reaches the cycles done.
void runApps(quint16 port, int cycles, int step, bool newNames, std::atomic<int> *done, std::atomic<int> *resume)
{
    for (int i = 0; i < cycles; ++i) {
        while (i > 0 && i % step == 0 && resume->load() < i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const int fd = BenchPeer::connectLoopback(port);
        const QByteArray name = newNames ? "Churning app " + QByteArray::number(i) : QByteArray("Churning app");
        const QByteArray frame = *MorvendaFramer::frame(QByteArray("{\"handshake\":\"" + name + "\"}"));
        if (fd < 0 || !BenchPeer::writeAll(fd, frame.constData(), std::size_t(frame.size()))
            || !BenchPeer::readExactly(fd, kHelloSize)) {
            std::fprintf(stderr, "cycle %d failed\n", i);
            if (fd >= 0)
                ::close(fd);
            *done = cycles;
            return;
        }
        ::close(fd);
        *done = i + 1;
    }
}

qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

// Every connection the server holds has seen its close.
bool allClosed(const MorvendaListener &listener)
{
    if (!listener.pendingConnections().isEmpty())
        return false;
    for (const auto &connection : listener.connections()) {
        if (connection->isOpen())
            return false;
    }
    return true;
}

void run(const char *against, MorvendaListener &listener, const Logger &logger, int cycles, int step, bool newNames)
{
    std::printf("\n%s: %d cycles, %s\n", against, cycles, newNames ? "each under a new name" : "all under one name");
    std::printf("%8s %10s %10s %12s %12s %10s %10s\n", "cycles", "RSS MB", "heap MB", "RSS B/cycle", "heap B/cycle",
                "listed", "log lines");
    std::atomic<int> done{0};
    std::atomic<int> resume{0};
    std::thread apps(runApps, listener.serverPort(), cycles, step, newNames, &done, &resume);
    // Settle once so the first reading does not count the server's own start.
    bench::waitFor([] { return false; }, 200);
    qint64 rss = bench::residentBytes();
    qint64 heap = heapInUse();
    const qint64 rss0 = rss;
    const qint64 heap0 = heap;
    for (int reached = step; reached <= cycles; reached += step) {
        bench::waitFor([&] { return done.load() >= reached; }, 600'000, 1);
        bench::waitFor([&] { return allClosed(listener); }, 60'000, 1);
        // Deferred deletions and posted completions of the last closes.
        bench::waitFor([] { return false; }, 50);
        const qint64 rssNow = bench::residentBytes();
        const qint64 heapNow = heapInUse();
        std::printf("%8d %10.1f %10.1f %12.0f %12.0f %10lld %10lld\n", reached, double(rssNow - rss0) / 1e6,
                    double(heapNow - heap0) / 1e6, double(rssNow - rss) / step, double(heapNow - heap) / step,
                    static_cast<long long>(listener.connections().size()), static_cast<long long>(logger.log().size()));
        rss = rssNow;
        heap = heapNow;
        resume = reached;
    }
    apps.join();
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    bench::prepareProgramEnvironment(home);
    QApplication app(argc, argv);
    if (!bench::programReady())
        return 1;
    const int cycles = argc > 1 ? std::max(100, std::atoi(argv[1])) : 30'000;
    const int step = argc > 2 ? std::max(10, std::atoi(argv[2])) : 5'000;
    const QByteArray against = argc > 3 ? QByteArray(argv[3]) : QByteArray("both");
    const QByteArray names = argc > 4 ? QByteArray(argv[4]) : QByteArray("both");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const auto wanted = [&](const char *target, bool newNames) {
        return (against == "both" || against == target) && (names == "both" || names == (newNames ? "new" : "one"));
    };
    for (const bool newNames : {true, false}) {
        if (!wanted("core", newNames))
            continue;
        bench::HeadlessServer server;
        run("session core", server.listener, server.logger, cycles, step, newNames);
    }
    for (const bool newNames : {true, false}) {
        if (!wanted("window", newNames))
            continue;
        QTemporaryDir dir;
        bench::ProgramWindow program(dir);
        run("program with its window", program.shared.listener, program.shared.logger, cycles, step, newNames);
    }
    return 0;
}
