// The user panel under what an app may report, as the developer sees it:
// - a user with thousands of tags: from the report reaching the panel to the paint of its chips,
//   and, with 5,200 and 52,000 tags, to the paint of the app's row on the connect screen, and
//   one read of that row's tags from its model;
// - a user whose name, token, e-mail and retailer are 2,000,000 characters each with line breaks:
//   stored and shown on the main thread; and reported over loopback while the panel is open, the
//   round trips of another app's handshakes during the second after the report, against the same
//   without it.
// Prints medians and extremes. Targets: 5,000 tags under 100 ms; every round trip under 100 ms.
// Usage: users_panel [runs]   (headless: QT_QPA_PLATFORM=offscreen)
#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/shell/ConnectToPeerView.h"
#include "MorvendaApp/shell/ConnectionListModel.h"
#include "MorvendaApp/shell/PeerListView.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaApp/users/ui/PeerTextLabel.h"
#include "MorvendaApp/users/ui/UserTags.h"
#include "MorvendaApp/users/ui/UserView.h"
#include "MorvendaModel/Encoder.h"
#include "MorvendaModel/MorvendaFramer.h"
#include "MorvendaModel/Payload.h"

#include "bench/BenchSupport.h"
#include "bench/PaintWatch.h"
#include "bench/headless_server.h"
#include "bench/server_peer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTcpSocket>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

User taggedUser(int tags, int run)
{
    QList<UserTag> list;
    list.reserve(tags);
    for (int i = 0; i < tags; ++i) {
        list.append(UserTag((i * 7 + run) % 13));
    }
    return User::withTags(QStringLiteral("Tagged %1").arg(run), QStringLiteral("u_tagged"), std::nullopt, {}, std::nullopt,
        false, false, false, list, std::nullopt, std::nullopt);
}

User hugeUser(int run)
{
    QString huge;
    huge.reserve(2'000'010);
    while (huge.size() < 2'000'000) {
        huge += QStringLiteral("Fiona Marsh of the corner shop %1\n").arg(run);
    }
    return User::withTags(huge, huge, huge, {huge}, std::nullopt, false, false, false, {UserTag::PlaceOrder},
        Retailer(huge, huge, true, QStringLiteral("USA"), huge, huge), std::nullopt);
}

const std::size_t kHelloSize = 4 + sizeof(R"({"serverHello":""})") - 1;

// Handshakes of another app on its one connection for a second, each answered by the server's
// hello; their round trips in milliseconds.
std::vector<double> probeForASecond(int fd)
{
    static const QByteArray frame = *MorvendaFramer::frame(Encoder::encode(Payload::handshake(QStringLiteral("Probe"))));
    std::vector<double> trips;
    const auto end = Clock::now() + std::chrono::seconds(1);
    while (Clock::now() < end) {
        const auto start = Clock::now();
        if (!BenchPeer::writeAll(fd, frame.constData(), std::size_t(frame.size())) || !BenchPeer::readExactly(fd, kHelloSize)) {
            break;
        }
        trips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return trips;
}

void print(const char *what, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("%s: no figures\n", what);
        return;
    }
    std::printf("%-58s median %7.1f ms, slowest %7.1f ms (%zu)\n", what, bench::median(values),
        *std::max_element(values.begin(), values.end()), values.size());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    bench::HeadlessServer server;
    AvatarLoader avatars;
    UserView view(server.users, server.listener, avatars);
    view.resize(380, 900);
    view.show();

    // The active app: a connection that shook hands as "Shop".
    auto shop = std::make_unique<QTcpSocket>();
    shop->connectToHost(QHostAddress::LocalHost, server.listener.serverPort());
    if (!shop->waitForConnected(5000)) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    shop->write(*MorvendaFramer::frame(Encoder::encode(Payload::handshake(QStringLiteral("Shop")))));
    if (!bench::waitFor([&] { return !server.listener.connections().isEmpty(); }, 5000)) {
        std::fprintf(stderr, "the app never shook hands\n");
        return 1;
    }
    server.listener.select(server.listener.connections().constLast());

    // Reports of users with `counts` tags, each timed to the next paint that `watch` counts.
    const auto timeTagReports = [&](bench::PaintWatch &watch, std::initializer_list<int> counts, const char *painted) {
        for (const int count : counts) {
            std::vector<double> times;
            for (int run = 0; run < runs; ++run) {
                const int before = watch.paints;
                QElapsedTimer timer;
                timer.start();
                server.users.storeUser(QStringLiteral("Shop"), taggedUser(count, run));
                if (!bench::waitFor([&] { return watch.paints > before; }, 120000, 1)) {
                    std::fprintf(stderr, "never painted: %s\n", painted);
                    return false;
                }
                times.push_back(timer.nsecsElapsed() / 1e6);
            }
            const QByteArray what = QByteArray::number(count) + " tags: report to the " + painted + " painted";
            print(what.constData(), times);
        }
        return true;
    };
    bench::PaintWatch tagPaints(*view.findChild<UserTags *>());
    if (!timeTagReports(tagPaints, {1300, 2600, 5000, 5200}, "chips")) {
        return 1;
    }

    // The app's row on the connect screen, which shows a few rows of the chips.
    FileHolder files;
    ConnectToPeerView screen(server.listener, files, server.users, avatars);
    screen.resize(700, 600);
    screen.show();
    bench::PaintWatch rowPaints(*screen.peerList()->listView()->viewport());
    if (!timeTagReports(rowPaints, {5200, 52000}, "connection row")) {
        return 1;
    }
    // The delegate reads the row's tags at every measure and paint: what one read costs with the
    // 52,000 tags of the last report.
    {
        const QModelIndex row = screen.peerList()->listView()->model()->index(0, 0);
        std::vector<double> reads;
        for (int read = 0; read < 100; ++read) {
            QElapsedTimer timer;
            timer.start();
            const QVariant tags = row.data(ConnectionListModel::UserTagsRole);
            reads.push_back(timer.nsecsElapsed() / 1e6);
            if (!tags.isValid()) {
                std::fprintf(stderr, "the row has no tags\n");
                return 1;
            }
        }
        print("52000 tags: the connection row's tags read once", reads);
    }
    screen.hide();

    // The panel's own share: the report stored and shown, on the main thread, until the name's
    // lines are painted.
    auto *name = view.findChild<PeerTextLabel *>();
    bench::PaintWatch namePaints(*name);
    std::vector<double> shown;
    for (int run = 0; run < runs; ++run) {
        const User huge = hugeUser(run);
        const int before = namePaints.paints;
        QElapsedTimer timer;
        timer.start();
        server.users.storeUser(QStringLiteral("Shop"), huge);
        if (!bench::waitFor([&] { return namePaints.paints > before; }, 120000, 1)) {
            std::fprintf(stderr, "the name never painted\n");
            return 1;
        }
        shown.push_back(timer.nsecsElapsed() / 1e6);
    }
    print("2,000,000-char user: stored, shown and painted:", shown);

    std::vector<double> quiet;
    std::vector<double> during;
    std::atomic<bool> done = false;
    std::thread probes([&] {
        const int fd = BenchPeer::connectLoopback(server.listener.serverPort());
        for (int run = 0; fd >= 0 && run < runs; ++run) {
            const std::vector<double> calm = probeForASecond(fd);
            quiet.insert(quiet.end(), calm.begin(), calm.end());
            const QByteArray report = *MorvendaFramer::frame(Encoder::encode(Payload::user(hugeUser(run))));
            QMetaObject::invokeMethod(shop.get(), [&shop, report] { shop->write(report); }, Qt::QueuedConnection);
            const std::vector<double> busy = probeForASecond(fd);
            during.insert(during.end(), busy.begin(), busy.end());
        }
        if (fd >= 0) {
            ::close(fd);
        }
        done = true;
    });
    bench::waitFor([&] { return done.load(); }, 600000, 5);
    probes.join();
    print("handshake round trip, no report:", quiet);
    print("handshake round trip, second after a 2,000,000-char user:", during);
    return 0;
}
