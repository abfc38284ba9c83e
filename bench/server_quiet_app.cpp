// How long a quiet app waits while others send frames that are costly to decode (long integers):
// its handshake round trip (connect, handshake, hello read) while 8 apps flood 16–255 KiB frames,
// and while one app sends a single 250 MB frame; in the second case also how long another app's
// 300 KiB requests take to be stored. Prints the median, the 99th percentile and the longest wait,
// and how fast the costly frames were decoded meanwhile.
//   server_quiet_app [flood seconds=10] [huge frame MB=250]
#include "MorvendaModel/MorvendaFramer.h"
#include "bench/BenchSupport.h"
#include "bench/headless_server.h"
#include "bench/server_peer.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QUuid>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kHelloSize = 4 + sizeof(R"({"serverHello":""})") - 1;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

QByteArray newId()
{
    return QUuid::createUuid().toByteArray(QUuid::WithoutBraces).toUpper();
}

// A request whose extra field holds integers too long for 64 bits: the decoder reads every one of
// them (the field itself is ignored) through its slow path, about 35 MB/s against 450 for
// ordinary numbers.
QByteArray costlyFrame(qsizetype bytes, const QByteArray &id)
{
    QByteArray json = R"({"request":{"id":")" + id + R"(","url":"https://shop.example/api/costly","headers":[],"numbers":[)";
    json.reserve(bytes + 1024);
    const QByteArray number = "1234567890123456789012345678901234567890";
    while (json.size() < bytes - number.size() - 8) {
        json += number;
        json += ',';
    }
    json += "1]}}";
    return *MorvendaFramer::frame(json);
}

QByteArray handshakeFrame(const QByteArray &name)
{
    return *MorvendaFramer::frame(QByteArray("{\"handshake\":\"" + name + "\"}"));
}

// An app that shook hands and was answered; -1 on failure.
int connectApp(quint16 port, const QByteArray &name)
{
    const int fd = BenchPeer::connectLoopback(port);
    if (fd < 0)
        return -1;
    const QByteArray hello = handshakeFrame(name);
    if (!BenchPeer::writeAll(fd, hello.constData(), std::size_t(hello.size())) || !BenchPeer::readExactly(fd, kHelloSize)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Handshake round trips every 100 ms until `stop`, in milliseconds.
std::vector<double> quietApp(quint16 port, const std::atomic<bool> *stop)
{
    std::vector<double> waits;
    for (int i = 0; !stop->load(); ++i) {
        const Clock::time_point start = Clock::now();
        const int fd = connectApp(port, "Quiet app " + QByteArray::number(i));
        if (fd < 0)
            break;
        waits.push_back(msSince(start));
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return waits;
}

// Joins the app threads while the server keeps serving: an app may be waiting for its hello.
void joinServing(std::vector<std::thread> &threads)
{
    for (std::thread &thread : threads) {
        std::atomic<bool> joined{false};
        std::thread joiner([&] {
            thread.join();
            joined = true;
        });
        bench::waitFor([&] { return joined.load(); }, 600'000, 5);
        joiner.join();
    }
}

void printWaits(const char *what, std::vector<double> waits)
{
    if (waits.empty()) {
        std::printf("%-44s no round trip completed\n", what);
        return;
    }
    std::sort(waits.begin(), waits.end());
    std::printf("%-44s n=%4zu  median %8.1f ms  p99 %8.1f ms  max %8.1f ms\n", what, waits.size(), waits[waits.size() / 2],
                waits[std::min(waits.size() - 1, waits.size() * 99 / 100)], waits.back());
}

// The time each request reaches the store, by message ID, as the main thread sees it.
struct Arrivals
{
    std::mutex lock;
    std::map<QUuid, Clock::time_point> at;

    void watch(MessageRepository &repository)
    {
        QObject::connect(&repository, &MessageRepository::latestExchangeChanged, &repository, [this](const Exchange &exchange) {
            const std::lock_guard guard(lock);
            at.emplace(exchange.messageID(), Clock::now());
        });
    }
    std::optional<Clock::time_point> of(const QByteArray &id)
    {
        const std::lock_guard guard(lock);
        const auto found = at.find(QUuid::fromString(QLatin1StringView(id)));
        return found == at.end() ? std::nullopt : std::optional(found->second);
    }
};

void flood(int seconds)
{
    bench::HeadlessServer server;
    Arrivals arrivals;
    arrivals.watch(server.repository);
    const quint16 port = server.listener.serverPort();
    std::atomic<bool> stop{false};
    std::atomic<qint64> costlyBytes{0};
    std::vector<std::atomic<int>> fds(8);
    std::vector<std::thread> flooders;
    for (int a = 0; a < 8; ++a) {
        fds[size_t(a)] = -1;
        flooders.emplace_back([&, a] {
            fds[size_t(a)] = connectApp(port, "Flooding app " + QByteArray::number(a));
            QRandomGenerator random(quint32(a + 1));
            while (fds[size_t(a)] >= 0 && !stop.load()) {
                const QByteArray frame = costlyFrame(16 * 1024 + random.bounded(240 * 1024), newId());
                if (!BenchPeer::writeAll(fds[size_t(a)], frame.constData(), std::size_t(frame.size())))
                    break;
                costlyBytes += frame.size();
            }
        });
    }
    std::vector<double> waits;
    flooders.emplace_back([&] { waits = quietApp(port, &stop); });
    const qint64 storedBefore = server.repository.exchangeCount();
    bench::waitFor([] { return false; }, seconds * 1000);
    stop = true;
    const qint64 stored = server.repository.exchangeCount() - storedBefore;
    // The flooders' last writes fail once the sockets are shut.
    for (const std::atomic<int> &fd : fds)
        ::shutdown(fd, SHUT_RDWR);
    joinServing(flooders);
    for (const std::atomic<int> &fd : fds)
        ::close(fd);
    std::printf("8 apps flooding 16-255 KiB frames of long integers for %d s: %.1f MB sent, %lld stored\n", seconds,
                double(costlyBytes.load()) / 1e6, static_cast<long long>(stored));
    printWaits("quiet app's handshake round trip", std::move(waits));
}

void hugeFrame(qsizetype megabytes)
{
    bench::HeadlessServer server;
    Arrivals arrivals;
    arrivals.watch(server.repository);
    const quint16 port = server.listener.serverPort();
    const QByteArray hugeId = newId();
    std::printf("\nmaking a %lld MB frame...\n", static_cast<long long>(megabytes));
    const QByteArray huge = costlyFrame(megabytes * 1'000'000, hugeId);
    std::atomic<bool> stop{false};
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> apps;
    apps.emplace_back([&] {
        const int fd = connectApp(port, "Huge frame app");
        BenchPeer::writeAll(fd, huge.constData(), std::size_t(huge.size()));
        // Stays open until the end: a close with unread input would reset the connection.
        while (!stop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::close(fd);
    });
    // Another app's 300 KiB requests, one every 500 ms, each timed until it is stored.
    std::vector<double> requestWaits;
    apps.emplace_back([&] {
        const int fd = connectApp(port, "Other app");
        while (fd >= 0 && !stop.load()) {
            const QByteArray id = newId();
            const QByteArray frame = *MorvendaFramer::frame(QByteArray(R"({"request":{"id":")" + id
                                                                        + R"(","url":"https://shop.example/api/upload","headers":[],"data":")"
                                                                        + QByteArray(300 * 1024, 'u') + R"("}})"));
            const Clock::time_point sent = Clock::now();
            if (!BenchPeer::writeAll(fd, frame.constData(), std::size_t(frame.size())))
                break;
            std::optional<Clock::time_point> stored;
            while (!(stored = arrivals.of(id)) && !stop.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (stored)
                requestWaits.push_back(std::chrono::duration<double, std::milli>(*stored - sent).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        if (fd >= 0)
            ::close(fd);
    });
    std::vector<double> waits;
    apps.emplace_back([&] { waits = quietApp(port, &stop); });
    // Handled once stored, or logged as undecodable (a frame may hold more values than allowed).
    bool undecodable = false;
    QObject::connect(&server.logger, &Logger::updatedChanged, &server.logger, [&](const std::optional<QString> &line) {
        undecodable = undecodable || (line && line->contains(QLatin1StringView("Unable to decode Payload")));
    });
    const bool handled = bench::waitFor([&] { return undecodable || arrivals.of(hugeId).has_value(); }, 600'000, 5);
    const double seconds = msSince(start) / 1000;
    // A little longer, so the waits after it count too.
    bench::waitFor([] { return false; }, 1000);
    stop = true;
    joinServing(apps);
    std::printf("one app sending a %lld MB frame of long integers: %s after %.1f s\n", static_cast<long long>(megabytes),
                !handled ? "NOT handled" : undecodable ? "decoded and refused" : "stored", seconds);
    printWaits("quiet app's handshake round trip", std::move(waits));
    printWaits("another app's 300 KiB request, until stored", std::move(requestWaits));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*.debug=false\nmorvenda.*.info=false"));
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const qsizetype megabytes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 250;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    flood(seconds);
    hugeFrame(megabytes);
    return 0;
}
