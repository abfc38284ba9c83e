// An alert storm against a shown main window (offscreen): one app sends N handshakes on one
// socket (100,000 by default), never reads the hellos and closes, so every hello still waiting
// fails. Prints how many alerts were shown, how long a second app's handshake took during the
// flood and right after the close, how long the main thread was kept busy, and the memory.
//
//     build/bench/server_alert_storm [handshakes]
#include "bench/ProgramWindow.h"
#include "bench/server_peer.h"

#include "MorvendaModel/MorvendaFramer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Connects, shakes hands and waits for the hello: seconds taken, or a negative value on failure.
double handshakeSeconds(std::uint16_t port, const char *name)
{
    const auto start = Clock::now();
    const int fd = BenchPeer::connectLoopback(port);
    if (fd < 0) {
        return -1;
    }
    const timeval timeout{600, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const QByteArray json = QByteArrayLiteral(R"({"handshake":")") + name + "\"}";
    const QByteArray frame = *MorvendaFramer::frame(json);
    std::size_t expected = 4 + sizeof(R"({"serverHello":""})") - 1;
    char buffer[64];
    bool ok = BenchPeer::writeAll(fd, frame.constData(), std::size_t(frame.size()));
    while (ok && expected > 0) {
        const ssize_t n = ::recv(fd, buffer, std::min(expected, sizeof buffer), 0);
        ok = n > 0;
        expected -= ok ? std::size_t(n) : 0;
    }
    ::close(fd);
    return ok ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
}

// Counts the alert boxes that come on screen.
class AlertCounter : public QObject
{
public:
    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox *>(watched)) {
            ++shown;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::prepareProgramEnvironment(home);
    QApplication app(argc, argv);
    if (!bench::programReady())
        return 2;
    QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*=false"));
    const int handshakes = argc > 1 ? std::atoi(argv[1]) : 100'000;
    bench::ProgramWindow program(home);
    SharedObjects &shared = program.shared;
    AlertCounter alerts;
    app.installEventFilter(&alerts);
    const std::uint16_t port = shared.listener.serverPort();
    bench::waitFor([] { return false; }, 500); // settle
    const qint64 before = bench::residentBytes();

    // The longest the main thread went without running a 10 ms timer.
    QElapsedTimer sinceTick;
    qint64 longestStallMs = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        longestStallMs = std::max(longestStallMs, sinceTick.restart());
    });
    sinceTick.start();
    ticker.start();

    // The storm: an app with the smallest receive buffer, so the hellos pile up on the server.
    const int storm = [&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int small = 4096;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 ? fd : -1;
    }();
    if (storm < 0) {
        return 1;
    }
    QByteArray flood;
    const QByteArray hello = *MorvendaFramer::frame(R"({"handshake":"Storm"})");
    for (int i = 0; i < handshakes; ++i) {
        flood += hello;
    }
    flood += *MorvendaFramer::frame(R"({"handshake":"Storm end"})");
    std::thread writer([&] { BenchPeer::writeAll(storm, flood.constData(), std::size_t(flood.size())); });
    double during = -1;
    std::atomic<bool> probed = false;
    std::thread probe([&] {
        during = handshakeSeconds(port, "During");
        probed = true;
    });
    const auto stormEnded = [&] {
        for (const auto &c : shared.listener.connections()) {
            if (c->displayName() == QLatin1StringView("Storm end")) {
                return true;
            }
        }
        return false;
    };
    QElapsedTimer clock;
    clock.start();
    const bool flooded = bench::waitFor(stormEnded, 600'000);
    const double floodSeconds = double(clock.elapsed()) / 1000;
    writer.join();
    bench::waitFor([&] { return probed.load(); }, 600'000);
    probe.join();
    const qint64 afterFlood = bench::residentBytes();

    // The close: every hello still waiting fails at once.
    ::close(storm);
    clock.restart();
    double after = -1;
    std::atomic<bool> answered = false;
    std::thread second([&] {
        after = handshakeSeconds(port, "After");
        answered = true;
    });
    bench::waitFor([&] { return answered.load(); }, 600'000);
    second.join();
    bench::waitFor([] { return false; }, 1000); // let what the close queued finish
    const double drainSeconds = double(clock.elapsed()) / 1000;
    const qint64 afterClose = bench::residentBytes();

    std::printf("storm: %d handshakes on one socket, flood handled in %.2f s%s\n", handshakes, floodSeconds,
                flooded ? "" : " (timed out)");
    std::printf("second app's handshake: during the flood %.3f s, right after the close %.3f s\n", during, after);
    std::printf("alerts shown: %d; longest main-thread stall: %lld ms (%.1f s observed after the close)\n", alerts.shown,
                static_cast<long long>(longestStallMs), drainSeconds);
    std::printf("RSS: before %.1f MiB, after the flood %.1f MiB, after the close %.1f MiB\n", double(before) / (1 << 20),
                double(afterFlood) / (1 << 20), double(afterClose) / (1 << 20));
    return flooded && during >= 0 && after >= 0 ? 0 : 1;
}
