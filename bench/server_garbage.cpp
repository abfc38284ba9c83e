// Memory an app costs when every message it sends is undecodable: N frames of garbage (5,000 of
// 64 KiB by default) over loopback, then a handshake that marks the end. Each undecodable frame
// writes two error lines to the in-app log; prints the resident memory before and after and what
// the log holds.
//   server_garbage [frames=5000] [KiB per frame=64]
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
#include <QLoggingCategory>

#include <cstdio>
#include <thread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*=false"));
    const int frames = argc > 1 ? std::atoi(argv[1]) : 5000;
    const qsizetype frameBytes = qsizetype(argc > 2 ? std::atoi(argv[2]) : 64) * 1024;

    bench::HeadlessServer server;
    MorvendaListener &listener = server.listener;
    Logger &logger = server.logger;
    QCoreApplication::processEvents();
    const qint64 before = bench::residentBytes();

    // Valid UTF-8 that is no JSON document, so the whole excerpt reaches the log.
    QByteArray garbage = "{" + QByteArray(frameBytes - 1, 'x');
    const QByteArray frame = *MorvendaFramer::frame(garbage);
    const QByteArray hello = *MorvendaFramer::frame(R"({"handshake":"After the garbage"})");
    QElapsedTimer clock;
    clock.start();
    std::thread peer([&, port = listener.serverPort()] {
        const int fd = BenchPeer::connectLoopback(port);
        if (fd < 0) {
            return;
        }
        for (int i = 0; i < frames; ++i) {
            BenchPeer::writeAll(fd, frame.constData(), size_t(frame.size()));
        }
        BenchPeer::writeAll(fd, hello.constData(), size_t(hello.size()));
        ::close(fd);
    });
    const bool done = bench::waitFor([&] { return !listener.connections().isEmpty(); }, 300000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    peer.join();
    const qint64 after = bench::residentBytes();

    qsizetype characters = 0;
    for (const QString &line : logger.log()) {
        characters += line.size();
    }
    std::printf("%d undecodable frames of %lld KiB handled in %.2f s%s\n", frames, static_cast<long long>(frameBytes / 1024),
                seconds, done ? "" : " (timed out)");
    std::printf("RSS before %.1f MiB, after %.1f MiB, growth %.1f MiB\n", double(before) / (1 << 20),
                double(after) / (1 << 20), double(after - before) / (1 << 20));
    std::printf("log: %lld lines, %.2f M characters; first line: %s\n", static_cast<long long>(logger.log().size()),
                double(characters) / 1e6, qPrintable(logger.log().value(0).left(120)));
    return done ? 0 : 1;
}
