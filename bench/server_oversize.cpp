// A frame far over the size cap (1 GiB by default) streamed into a configured listener over
// loopback, followed by a handshake: reports the process's peak memory growth while it is
// skipped and how long skipping took. The handshake proves the stream stayed in sync.
//   server_oversize [MiB=1024]
// With "unfinished", that many peers at once (16 by default) each send all but the last byte of
// a frame just under the cap (255 MiB by default) and keep their connection open: reports the
// memory the server holds for them, which the budget for partly received frames bounds.
//   server_oversize unfinished [peers=16] [MiB=255]
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/MorvendaFramer.h"
#include "bench/BenchSupport.h"
#include "bench/headless_server.h"
#include "bench/server_peer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// Resident and peak resident memory from /proc/self/status, in KiB.
std::pair<qint64, qint64> residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    qint64 rss = 0;
    qint64 hwm = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                rss = line.mid(6).trimmed().split(' ').first().toLongLong();
            } else if (line.startsWith("VmHWM:")) {
                hwm = line.mid(6).trimmed().split(' ').first().toLongLong();
            }
        }
    }
    return {rss, hwm};
}

void runPeer(quint16 port, quint64 length)
{
    const int fd = BenchPeer::connectLoopback(port);
    if (fd < 0) {
        return;
    }
    const QByteArray header = *MorvendaFramer::header(length);
    BenchPeer::writeAll(fd, header.constData(), size_t(header.size()));
    const QByteArray chunk(1 << 20, 'x');
    for (quint64 sent = 0; sent < length;) {
        const size_t piece = size_t(std::min<quint64>(quint64(chunk.size()), length - sent));
        if (!BenchPeer::writeAll(fd, chunk.constData(), piece)) {
            break;
        }
        sent += piece;
    }
    const QByteArray hello = *MorvendaFramer::frame(R"({"handshake":"After"})");
    BenchPeer::writeAll(fd, hello.constData(), size_t(hello.size()));
    ::close(fd);
}

// Sends all but the last byte of a frame of `length` bytes, then holds the connection until `release`.
void runUnfinishedPeer(quint16 port, quint64 length, std::atomic<int> &sent, const std::atomic<bool> &release)
{
    const int fd = BenchPeer::connectLoopback(port);
    if (fd >= 0) {
        const QByteArray header = *MorvendaFramer::header(length);
        BenchPeer::writeAll(fd, header.constData(), size_t(header.size()));
        const QByteArray chunk(1 << 20, 'x');
        for (quint64 left = length - 1; left > 0;) {
            const size_t piece = size_t(std::min<quint64>(quint64(chunk.size()), left));
            if (!BenchPeer::writeAll(fd, chunk.constData(), piece)) {
                break;
            }
            left -= piece;
        }
    }
    ++sent;
    while (!release) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

int runUnfinished(QCoreApplication &app, int peers, quint64 length)
{
    bench::HeadlessServer server;
    MorvendaListener &listener = server.listener;
    QCoreApplication::processEvents();
    const qint64 baseline = residentKiB().first;
    qint64 peak = baseline;
    std::atomic<int> sent{0};
    std::atomic<bool> release{false};
    std::vector<std::thread> threads;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < peers; ++i) {
        threads.emplace_back(runUnfinishedPeer, listener.serverPort(), length, std::ref(sent), std::cref(release));
    }
    // Until every peer has sent its bytes and the server has read them (its memory settles).
    QElapsedTimer settled;
    while (sent < peers || settled.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 rss = residentKiB().first;
        if (rss > peak || sent < peers || !settled.isValid()) {
            settled.start();
        }
        peak = std::max(peak, rss);
        if (clock.elapsed() > 300'000) {
            std::fprintf(stderr, "timed out after 300 s\n");
            break;
        }
    }
    const qint64 held = residentKiB().first;
    std::printf("%d peers each holding an unfinished frame of %llu MiB (%.0f MiB sent in %.1f s)\n", peers,
                static_cast<unsigned long long>(length >> 20), double(quint64(peers) * length) / (1 << 20),
                double(clock.elapsed()) / 1000);
    std::printf("memory: baseline RSS %.1f MiB, held while unfinished %.1f MiB, peak growth %.1f MiB"
                " (budget for partly received frames %.0f MiB)\n",
                double(baseline) / 1024, double(held - baseline) / 1024, double(peak - baseline) / 1024,
                double(FrameBudget::defaultLimit) / (1 << 20));
    release = true;
    for (auto &thread : threads) {
        thread.join();
    }
    bench::waitFor([&] { return listener.pendingConnections().isEmpty(); }, 10'000);
    std::printf("after the peers closed: RSS growth %.1f MiB\n", double(residentKiB().first - baseline) / 1024);
    Q_UNUSED(app);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*.debug=false\nmorvenda.*.info=false\nmorvenda.*.critical=false"));
    if (argc > 1 && qstrcmp(argv[1], "unfinished") == 0) {
        qputenv("MORVENDA_NO_ADVERTISE", "1");
        const int peers = argc > 2 ? std::atoi(argv[2]) : 16;
        const quint64 mib = argc > 3 ? quint64(std::atoll(argv[3])) : 255;
        return runUnfinished(app, peers, std::min<quint64>(mib << 20, MorvendaFramer::maxEncodableLength));
    }
    const quint64 mib = argc > 1 ? quint64(std::atoll(argv[1])) : 1024;
    const quint64 length = std::min<quint64>(mib << 20, MorvendaFramer::maxEncodableLength);

    bench::HeadlessServer server;
    MorvendaListener &listener = server.listener;

    // Settle the allocator and the event loop before the baseline.
    QCoreApplication::processEvents();
    const qint64 baseline = residentKiB().first;
    qint64 peakSampled = baseline;
    QTimer sampler;
    sampler.setInterval(5);
    QObject::connect(&sampler, &QTimer::timeout, &app, [&] { peakSampled = std::max(peakSampled, residentKiB().first); });
    sampler.start();

    QObject::connect(&listener, &MorvendaListener::connectionsChanged, &app, [&] { app.quit(); });
    QTimer::singleShot(120'000, &app, [&] {
        std::fprintf(stderr, "timed out after 120 s\n");
        app.quit();
    });

    QElapsedTimer clock;
    clock.start();
    std::thread peer(runPeer, listener.serverPort(), length);
    app.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    peer.join();

    const auto [rss, hwm] = residentKiB();
    std::printf("oversize frame: %llu MiB skipped in %.2f s (%.0f MiB/s); stream in sync: %s\n",
                static_cast<unsigned long long>(length >> 20), seconds, double(length >> 20) / seconds,
                listener.connections().isEmpty() ? "no" : "yes");
    std::printf("memory: baseline RSS %.1f MiB, peak sampled growth %.1f MiB, peak (VmHWM) growth %.1f MiB, final growth %.1f MiB\n",
                double(baseline) / 1024, double(peakSampled - baseline) / 1024, double(hwm - baseline) / 1024,
                double(rss - baseline) / 1024);
    return listener.connections().isEmpty() ? 1 : 0;
}
