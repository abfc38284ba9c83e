// Big user reports in the whole program (main window shown, offscreen): an app reports a user
// whose name and e-mail come to 8, 32 and 128 MB while another app's handshakes go back and forth.
// For each size prints the round trips of those handshakes from the report's first byte until one
// second after it is stored, the main thread's longest stall, when the report was stored, and the
// memory. Target: every round trip under 100 ms.
// With "star", the Impersonation panel is shown instead and a stored user's star is clicked every
// 100 ms while the report is stored: prints the longest click (the main thread waits that long
// for the store), when the list shows the last click, and whether the store holds it; the
// main-thread stall then covers the time until the list shows it.
// With "open", the Impersonation panel is opened once each report is stored: prints the main
// thread's longest stall from the opening until a second after the list shows the report's user,
// and how long the list took to show it.
// Usage: users_big_report [panel|star|open] [MB ...]   ("panel" shows the User panel in the side area)
#include "bench/ProgramWindow.h"
#include "bench/server_peer.h"

#include "MorvendaApp/users/ImpersonateListViewModel.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "MorvendaApp/users/ui/ImpersonationListView.h"

#include "MorvendaModel/Encoder.h"
#include "MorvendaModel/MorvendaFramer.h"
#include "MorvendaModel/Payload.h"

#include <QApplication>
#include <QTimer>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const std::size_t kHelloSize = 4 + sizeof(R"({"serverHello":""})") - 1;

// The same user each time, its name and e-mail `megabytes` in all.
QByteArray reportFrame(int megabytes, int run)
{
    const qsizetype half = qsizetype(megabytes) * 512 * 1024;
    QString name = QStringLiteral("Fiona Marsh %1 ").arg(run);
    name += QString(half - name.size(), QLatin1Char('n'));
    QString email = QStringLiteral("fiona%1@").arg(run);
    email += QString(half - email.size(), QLatin1Char('e'));
    const User user = User::withTags(name, QStringLiteral("u-big"), email, {}, std::nullopt, false, false, false,
        {UserTag::PlaceOrder}, Retailer(QStringLiteral("Corner shop"), QStringLiteral("r-1"), true, QStringLiteral("USA"),
                                   std::nullopt, std::nullopt),
        std::nullopt);
    return *MorvendaFramer::frame(Encoder::encode(Payload::user(user)));
}

// Another app's handshakes, one after the other on one connection, each with its start time.
class Probe
{
public:
    explicit Probe(std::uint16_t port)
        : m_thread([this, port] { run(port); })
    {
    }
    ~Probe()
    {
        // The event loop no longer answers: a handshake waiting for its hello ends here.
        m_stop = true;
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
    }
    // Round trips in milliseconds that started in [from, to].
    std::vector<double> tripsBetween(Clock::time_point from, Clock::time_point to)
    {
        std::lock_guard lock(m_mutex);
        std::vector<double> trips;
        for (const auto &[start, ms] : m_trips) {
            if (start >= from && start <= to) {
                trips.push_back(ms);
            }
        }
        return trips;
    }

private:
    void run(std::uint16_t port)
    {
        const QByteArray frame = *MorvendaFramer::frame(Encoder::encode(Payload::handshake(QStringLiteral("Probe"))));
        const int fd = m_fd = BenchPeer::connectLoopback(port);
        while (fd >= 0 && !m_stop) {
            const auto start = Clock::now();
            if (!BenchPeer::writeAll(fd, frame.constData(), std::size_t(frame.size()))
                || !BenchPeer::readExactly(fd, kHelloSize)) {
                break;
            }
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            std::lock_guard lock(m_mutex);
            m_trips.emplace_back(start, ms);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }

    std::atomic<bool> m_stop = false;
    std::atomic<int> m_fd = -1;
    std::mutex m_mutex;
    std::vector<std::pair<Clock::time_point, double>> m_trips;
    std::thread m_thread;
};

// The file's data version, which changes when another connection commits: it tells that the
// report is stored, whoever stores it, without reading the report back (which would cost this
// thread as much as writing it). -1 when it cannot be read.
qint64 dataVersion(sqlite3 *db)
{
    sqlite3_stmt *statement = nullptr;
    qint64 version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW) {
        version = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return version;
}

// Whether a record of that token is stored, read from the token's index alone.
bool hasRecord(sqlite3 *db, const char *token)
{
    sqlite3_stmt *statement = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM stored_user WHERE user_token = ?1", -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_bind_text(statement, 1, token, -1, SQLITE_STATIC) == SQLITE_OK) {
        found = sqlite3_step(statement) == SQLITE_ROW;
    }
    sqlite3_finalize(statement);
    return found;
}

// Peak resident memory since the last reset, in bytes; resets it when asked.
qint64 peakResidentBytes(bool reset = false)
{
    if (reset) {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly)) {
            clear.write("5");
        }
        return 0;
    }
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
            }
        }
    }
    return 0;
}

void print(const char *what, std::vector<double> values)
{
    if (values.empty()) {
        std::printf("  %-28s no figures\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("  %-28s median %7.1f ms, p95 %7.1f ms, slowest %7.1f ms (%zu)\n", what, values[values.size() / 2],
        values[std::min(values.size() - 1, values.size() * 95 / 100)], values.back(), values.size());
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir home;
    bench::prepareProgramEnvironment(home);
    QApplication app(argc, argv);
    if (!bench::programReady()) {
        return 2;
    }
    bool panel = false;
    bool star = false;
    bool open = false;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "panel") {
            panel = true;
        } else if (QByteArray(argv[i]) == "star") {
            star = true;
        } else if (QByteArray(argv[i]) == "open") {
            open = true;
        } else {
            sizes.push_back(std::max(1, std::atoi(argv[i])));
        }
    }
    if (sizes.empty()) {
        sizes = {8, 32, 128};
    }
    bench::ProgramWindow program(home);
    SharedObjects &shared = program.shared;
    if (panel) {
        shared.windowManager.setSideView(SideView::User);
    }
    ImpersonationListView *impersonation = nullptr;
    if (star) {
        for (const char *token : {"hand-1", "hand-2", "hand-3"}) {
            shared.userStore->addUser(QString::fromLatin1(token), QStringLiteral("Typed %1").arg(QLatin1StringView(token)));
        }
        shared.windowManager.setSideView(SideView::Impersonation);
        bench::waitFor([&] {
            impersonation = program.scene.mainWindow()->findChild<ImpersonationListView *>();
            return impersonation && !impersonation->viewModel().users().isEmpty();
        }, 10000);
        if (!impersonation) {
            std::fprintf(stderr, "the Impersonation panel never showed\n");
            return 1;
        }
    }
    const std::uint16_t port = shared.listener.serverPort();

    // The reporting app, active in the window.
    const int shop = BenchPeer::connectLoopback(port);
    const QByteArray hello = *MorvendaFramer::frame(Encoder::encode(Payload::handshake(QStringLiteral("Shop"))));
    if (shop < 0 || !BenchPeer::writeAll(shop, hello.constData(), std::size_t(hello.size()))
        || !bench::waitFor([&] { return !shared.listener.connections().isEmpty(); }, 10000)) {
        std::fprintf(stderr, "the app never shook hands\n");
        return 1;
    }
    shared.listener.select(shared.listener.connections().constLast());

    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(shared.userStore->path()).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);

    // The longest the main thread went without running a 5 ms timer, since the last reset.
    QElapsedTimer sinceTick;
    qint64 longestStallMs = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] { longestStallMs = std::max(longestStallMs, sinceTick.restart()); });
    sinceTick.start();
    ticker.start();

    Probe probe(port);
    bench::waitFor([] { return false; }, 1000);
    const auto quietEnd = Clock::now();
    bench::waitFor([] { return false; }, 1000);
    std::printf("%s, main window %s\n", qPrintable(QSysInfo::prettyProductName()),
        panel ? "with the User panel"
        : star ? "with the Impersonation panel"
        : open ? "opening the Impersonation panel after each report"
               : "without a side panel");
    print("no report, round trips:", probe.tripsBetween(quietEnd, Clock::now()));

    for (std::size_t run = 0; run < sizes.size(); ++run) {
        const int megabytes = sizes[run];
        const QByteArray frame = reportFrame(megabytes, int(run));
        if (star) {
            // The stars' own writes change the file's version too: the report's record tells instead.
            sqlite3_exec(db, "DELETE FROM stored_user WHERE user_token = 'u-big'", nullptr, nullptr, nullptr);
        }
        if (open) {
            // Closed while the report is stored, so that the opening reads it.
            shared.windowManager.setSideView(SideView::None);
            bench::waitFor([] { return false; }, 200);
        }
        const qint64 version = dataVersion(db);
        const qint64 before = bench::residentBytes();
        peakResidentBytes(true);
        longestStallMs = 0;
        sinceTick.restart();
        const auto sent = Clock::now();
        std::thread writer([&] { BenchPeer::writeAll(shop, frame.constData(), std::size_t(frame.size())); });
        // The star of the first hand-added user, clicked as the developer would, until the report is stored.
        qint64 longestClickMs = 0;
        int clicks = 0;
        // The mark the runs before left: the clicks of this run turn it over.
        const bool starredBefore = star && std::any_of(impersonation->viewModel().favoriteUsers().cbegin(),
            impersonation->viewModel().favoriteUsers().cend(),
            [](const ImpersonateUserData &each) { return each.userToken == QLatin1StringView("hand-1"); });
        const auto starredLast = [&] { return starredBefore != (clicks % 2 == 1); };
        QTimer clicker;
        clicker.setInterval(100);
        QObject::connect(&clicker, &QTimer::timeout, &app, [&] {
            ImpersonateListViewModel &model = impersonation->viewModel();
            const auto user = std::find_if(model.users().cbegin(), model.users().cend(),
                [](const ImpersonateUserData &each) { return each.userToken == QLatin1StringView("hand-1"); });
            if (user == model.users().cend()) {
                return;
            }
            QElapsedTimer click;
            click.start();
            model.toggleFavorite(*user);
            longestClickMs = std::max(longestClickMs, click.elapsed());
            ++clicks;
        });
        if (star) {
            clicker.start();
        }
        QElapsedTimer polled;
        polled.start();
        const bool stored = bench::waitFor([&] {
            return polled.elapsed() >= 5 && (polled.restart(), dataVersion(db) != version)
                && (!star || hasRecord(db, "u-big"));
        }, 300000, 1);
        const auto storedAt = Clock::now();
        clicker.stop();
        // What the developer sees: the row of the starred user in the section of the last click.
        const auto listShowsLastClick = [&] {
            const QList<ImpersonateUserData> &favorites = impersonation->viewModel().favoriteUsers();
            const bool listed = std::any_of(favorites.cbegin(), favorites.cend(),
                [](const ImpersonateUserData &each) { return each.userToken == QLatin1StringView("hand-1"); });
            return listed == starredLast();
        };
        const bool shown = !star || bench::waitFor(listShowsLastClick, 60000);
        const auto shownAt = Clock::now();
        bench::waitFor([] { return false; }, 1000);
        writer.join();
        std::printf("%d MB report: %s after %.2f s; longest main-thread stall %lld ms; RSS peak +%.0f MB, +%.0f MB a"
                    " second after\n",
            megabytes, stored ? "stored" : "NOT stored", std::chrono::duration<double>(storedAt - sent).count(),
            static_cast<long long>(longestStallMs), double(peakResidentBytes() - before) / 1e6,
            double(bench::residentBytes() - before) / 1e6);
        print("round trips meanwhile:", probe.tripsBetween(sent, Clock::now()));
        if (star) {
            const auto stored = shared.userStore->fetchByToken(QStringLiteral("hand-1"));
            const bool favorite = stored && *stored && (*stored)->favorite;
            std::printf("  %d star clicks while it was stored: longest click %lld ms; the list shows the last click"
                        " %s %.2f s after the report was stored; the store's mark %s it\n",
                clicks, static_cast<long long>(longestClickMs), shown ? "" : "NOT EVEN",
                std::chrono::duration<double>(shownAt - storedAt).count(),
                favorite == starredLast() ? "follows" : "DOES NOT follow");
        }
        if (open) {
            longestStallMs = 0;
            sinceTick.restart();
            QElapsedTimer opening;
            opening.start();
            shared.windowManager.setSideView(SideView::Impersonation);
            // What the developer waits for: the panel lists the user of this report.
            const QString reported = QStringLiteral("Fiona Marsh %1 ").arg(run);
            const bool listed = bench::waitFor([&] {
                const auto *view = program.scene.mainWindow()->findChild<ImpersonationListView *>();
                if (!view || !view->isVisible()) {
                    return false;
                }
                const QList<ImpersonateUserData> &users = view->viewModel().users();
                return std::any_of(users.cbegin(), users.cend(),
                    [&](const ImpersonateUserData &each) { return each.name.startsWith(reported); });
            }, 60000, 1);
            const qint64 listedMs = opening.elapsed();
            bench::waitFor([] { return false; }, 1000);
            std::printf("  panel opened with it stored: the list shows it %s after %lld ms; longest main-thread"
                        " stall from the opening to a second after %lld ms\n",
                listed ? "" : "NOT EVEN", static_cast<long long>(listedMs), static_cast<long long>(longestStallMs));
        }
    }
    ::close(shop);
    sqlite3_close_v2(db);
    return 0;
}
