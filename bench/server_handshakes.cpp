// Handshakes per second as closed connections pile up in the main window's lists: an app thread
// runs connect, handshake, wait for the hello, close, N times with a new name each time, against
// the server of a shown main window (offscreen). Each run starts a fresh window; prints
// handshakes per second for the first and the last thousand cycles of every run (they should
// match), their medians and ranges over the runs, and how long the timeline's source menu takes
// to open with every connection listed.
//
//     build/bench/server_handshakes [cycles per run] [runs]      (defaults: 5000, 5)
#include "bench/ProgramWindow.h"
#include "bench/server_peer.h"

#include "MorvendaApp/timeline/TimelineToolbar.h"
#include "MorvendaModel/MorvendaFramer.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

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
        if (fd < 0 || !BenchPeer::writeAll(fd, frame.constData(), std::size_t(frame.size())) || !BenchPeer::readExactly(fd, helloSize)) {
            std::fprintf(stderr, "cycle %d failed\n", i);
            break;
        }
        ::close(fd);
        ends.push_back(Clock::now());
    }
    return ends;
}

// Cycles per second from the end of cycle `from - 1` to the end of cycle `to - 1`.
double perSecond(const std::vector<Clock::time_point> &ends, std::size_t from, std::size_t to)
{
    const auto start = from == 0 ? ends.front() : ends[from - 1];
    const double seconds = std::chrono::duration<double>(ends[to - 1] - start).count();
    return double(to - from - (from == 0 ? 1 : 0)) / seconds;
}

struct Run
{
    double first = 0;
    double last = 0;
    double menuMs = 0;
};

// A fresh main window, `cycles` apps against it, then the source menu opened once.
std::optional<Run> runOnce(QApplication &app, int cycles)
{
    // Fresh preferences every run; the user store is the program's own, in its temporary home.
    QTemporaryDir dir;
    bench::ProgramWindow program(dir);
    SharedObjects &shared = program.shared;
    MainScene &scene = program.scene;

    std::vector<Clock::time_point> ends;
    std::thread apps([&] {
        ends = runApps(shared.listener.serverPort(), cycles);
        QMetaObject::invokeMethod(&app, &QApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    apps.join();
    if (ends.size() < 2000) {
        std::fprintf(stderr, "only %zu cycles completed\n", ends.size());
        return std::nullopt;
    }

    Run run;
    run.first = perSecond(ends, 0, 1000);
    run.last = perSecond(ends, ends.size() - 1000, ends.size());
    // The menu is filled as it opens, with every connection listed.
    if (auto *toolbar = scene.mainWindow()->findChild<TimelineToolbar *>()) {
        const auto start = Clock::now();
        toolbar->sourceMenu()->popup(toolbar->mapToGlobal(QPoint()));
        QCoreApplication::processEvents();
        run.menuMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        toolbar->sourceMenu()->close();
    }
    std::printf("run: %zu cycles, %lld listed; first 1000: %.0f/s, last 1000: %.0f/s (last/first %.2f); "
                "source menu opened in %.0f ms\n",
                ends.size(), static_cast<long long>(shared.listener.connections().size()), run.first, run.last,
                run.last / run.first, run.menuMs);
    std::fflush(stdout);
    return run;
}

void printSummary(const char *what, std::vector<double> values, const char *unit)
{
    std::sort(values.begin(), values.end());
    std::printf("%s: median %.2f%s (range %.2f to %.2f)\n", what, bench::median(values), unit, values.front(),
                values.back());
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::prepareProgramEnvironment(home);
    QApplication app(argc, argv);
    if (!bench::programReady())
        return 2;
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::vector<double> first;
    std::vector<double> last;
    std::vector<double> ratio;
    std::vector<double> menu;
    for (int i = 0; i < runs; ++i) {
        const std::optional<Run> run = runOnce(app, cycles);
        if (!run) {
            return 1;
        }
        first.push_back(run->first);
        last.push_back(run->last);
        ratio.push_back(run->last / run->first);
        menu.push_back(run->menuMs);
    }
    std::printf("over %d runs of %d cycles:\n", runs, cycles);
    printSummary("first 1000, handshakes/s", first, "");
    printSummary("last 1000, handshakes/s", last, "");
    printSummary("last/first", ratio, "");
    printSummary("source menu opening", menu, " ms");
    return 0;
}
