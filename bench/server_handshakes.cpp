// Handshakes per second as closed connections pile up in the main window's lists: an app thread
// runs connect, handshake, wait for the hello, close, N times with a new name each time, against
// the server of a shown main window (offscreen). Prints handshakes per second for the first and
// the last thousand cycles; they should match.
//
//     build/bench/server_handshakes [cycles]
#include "bench/server_peer.h"

#include "MorvendaApp/MainScene/MainScene.h"
#include "MorvendaApp/MainScene/SharedObjects.h"
#include "MorvendaApp/shell/PortalColorScheme.h"
#include "MorvendaApp/shell/Preferences.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "MorvendaModel/MorvendaFramer.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool readExactly(int fd, std::size_t size)
{
    char buffer[256];
    while (size > 0) {
        const ssize_t n = ::recv(fd, buffer, std::min(size, sizeof buffer), 0);
        if (n <= 0) {
            return false;
        }
        size -= std::size_t(n);
    }
    return true;
}

// One app after another; the time each cycle ended.
std::vector<Clock::time_point> runApps(std::uint16_t port, int cycles)
{
    std::vector<Clock::time_point> ends;
    ends.reserve(std::size_t(cycles));
    const std::size_t helloSize = 4 + sizeof(R"({"serverHello":""})") - 1;
    for (int i = 0; i < cycles; ++i) {
        const int fd = BenchPeer::connectLoopback(port);
        const QByteArray json = QByteArrayLiteral(R"({"handshake":"App )") + QByteArray::number(i) + "\"}";
        const QByteArray frame = *MorvendaFramer::frame(json);
        if (fd < 0 || !BenchPeer::writeAll(fd, frame.constData(), std::size_t(frame.size())) || !readExactly(fd, helloSize)) {
            std::fprintf(stderr, "cycle %d failed\n", i);
            break;
        }
        ::close(fd);
        ends.push_back(Clock::now());
    }
    return ends;
}

double perSecond(const std::vector<Clock::time_point> &ends, std::size_t from, std::size_t to)
{
    const auto start = from == 0 ? ends.front() : ends[from - 1];
    const double seconds = std::chrono::duration<double>(ends[to - 1] - start).count();
    return double(to - from - (from == 0 ? 1 : 0)) / seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("MORVENDA_NO_ADVERTISE", "1");
    QApplication app(argc, argv);
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 5000;
    QTemporaryDir dir;
    PortalColorScheme system;
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    Preferences preferences(settings);
    auto store = ImpersonateUserStore::open(dir.filePath(ImpersonateUserStore::fileName()));
    if (!store) {
        return 1;
    }
    SharedObjects shared({QHostAddress::LocalHost, false}, std::move(*store));
    MainScene scene(shared, preferences);
    scene.show();

    std::vector<Clock::time_point> ends;
    std::thread apps([&] {
        ends = runApps(shared.listener.serverPort(), cycles);
        QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    apps.join();
    if (ends.size() < 2000) {
        std::fprintf(stderr, "only %zu cycles completed\n", ends.size());
        return 1;
    }
    std::printf("cycles: %zu, listed connections: %lld\n", ends.size(), static_cast<long long>(shared.listener.connections().size()));
    std::printf("first 1000: %.0f handshakes/s\n", perSecond(ends, 0, 1000));
    std::printf("last 1000:  %.0f handshakes/s\n", perSecond(ends, ends.size() - 1000, ends.size()));
    return 0;
}
