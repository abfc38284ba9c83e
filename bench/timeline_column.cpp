// Figures for the timeline column with its window shown (offscreen unless a display is set):
//   append   100,000 exchanges with 2 KB bodies one by one: per-append cost, first vs last 10,000
//   filter   one text-filter keystroke over 1,000,000 exchanges: time to the updated list
//   open     a session file of 100,000 exchanges: time until the list shows them
//   stream   1,000 rows per second for 10 seconds: the longest main-loop stall
//   stream-on-500k   the same after 500,000 exchanges are already listed
//   repaint  the list of a growing batch repainted whole, as under a flood: cost per frame
//   long-texts  an app named with 1 MB of text sends a request with a 1 MB URL path, then 100
//            ordinary exchanges, then 10 more apps connect: what each costs the timeline and the
//            connect screen beside it until both have painted it
// Usage: timeline_column [append|filter|open|stream|stream-on-500k|repaint|long-texts]... (the
// first four when none is given).
#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/session/SessionFile.h"
#include "MorvendaApp/shell/ConnectToPeerView.h"
#include "MorvendaApp/shell/PeerListView.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaModel/MorvendaFramer.h"
#include "MorvendaApp/timeline/FilterView.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/timeline/TimelineListView.h"
#include "MorvendaApp/timeline/TimelineView.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"
#include "bench/BenchSupport.h"
#include "bench/filter_keystrokes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

struct Column
{
    MessageRepository repository;
    FileHolder fileHolder;
    Logger logger;
    UserManager users;
    SettingsManager settings;
    MilestoneManager milestones;
    MorvendaListener listener{{users, settings, milestones, repository, logger}, {QHostAddress::LocalHost, false}};
    MessageSelection selection;
    TimelineView view{listener, repository, fileHolder, logger, selection};

    Column()
    {
        view.resize(460, 900);
        view.show();
        settle();
    }

    // Runs the event loop until nothing is pending, then paints the list once.
    void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        view.list()->viewport()->repaint();
    }
};

QUuid messageId(quint32 n)
{
    return QUuid(n, 0x7a11, 0x4e55, 0x80, 0, 0, 0, 0, 0, 0, 1);
}

Request request(quint32 n, const QString &body)
{
    static const QStringList paths = {QStringLiteral("/api/cart/items"), QStringLiteral("/api/search"),
                                      QStringLiteral("/api/event"), QStringLiteral("/api/profile/settings")};
    return Request(messageId(n), Url::fromText(QStringLiteral("https://shop.example") + paths[n % 4] + QLatin1Char('/') + QString::number(n)),
                   n % 3 ? Method::Get : Method::Post, 1.7e9 + n, body, {});
}

Response response(quint32 n)
{
    return Response(messageId(n), messageId(n + 0x40000000), 200, std::nullopt, Response::Source::Network,
                    1.7e9 + n + 0.1, {}, QStringLiteral("{}"));
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[size_t(p * double(values.size() - 1))];
}

void append()
{
    Column c;
    const QString body(2048, QLatin1Char('x'));
    constexpr int count = 100'000;
    std::vector<double> micros;
    micros.reserve(count);
    QElapsedTimer timer;
    for (int n = 0; n < count; ++n) {
        timer.start();
        c.repository.addRequest(request(quint32(n), body), QStringLiteral("Shop"));
        QCoreApplication::processEvents();
        micros.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    const std::vector<double> first(micros.begin(), micros.begin() + 10'000);
    const std::vector<double> last(micros.end() - 10'000, micros.end());
    std::printf("append: 100000 exchanges with 2 KB bodies, one event-loop turn each\n");
    std::printf("  first 10000: p50 %.1f us, p99 %.1f us\n", percentile(first, 0.5), percentile(first, 0.99));
    std::printf("  last 10000:  p50 %.1f us, p99 %.1f us\n", percentile(last, 0.5), percentile(last, 0.99));
}

void filter()
{
    Column c;
    bench::filterKeystrokes("filter", {c.repository, c.selection, c.view.filterView()->textField(), [&c] { c.settle(); },
                                       [&c] { return c.view.viewModel().rowCount(); }});
}

void open()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.json"));
    {
        MessageRepository source;
        const QString body(512, QLatin1Char('y'));
        for (int n = 0; n < 100'000; ++n) {
            source.addRequest(request(quint32(n), body), QStringLiteral("Shop"));
            source.addResponse(response(quint32(n)), QStringLiteral("Shop"));
        }
        if (!SessionFile::write(source.currentTimeline(), path))
            qFatal("could not write the session file");
    }
    Column c;
    QElapsedTimer timer;
    timer.start();
    bool done = false;
    SessionFile::load(path, c.repository, c.fileHolder, c.logger, [&done](const auto &) { done = true; });
    while (!done || c.view.viewModel().rowCount() < 100'000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    c.settle();
    std::printf("open: session file of 100000 exchanges (%.0f MB) shown after %.0f ms\n",
                double(QFileInfo(path).size()) / 1e6, double(timer.nsecsElapsed()) / 1e6);
}

void stream(quint32 prefill)
{
    Column c;
    const QString body(2048, QLatin1Char('z'));
    {
        MessageRepository::BatchScope batch(c.repository);
        for (quint32 n = 0; n < prefill; ++n)
            c.repository.addRequest(request(0x20000000 + n, QString()), QStringLiteral("Shop"));
    }
    c.settle();
    quint32 next = 0;
    QElapsedTimer clock;
    clock.start();
    // Ten rows every 10 ms: 1,000 per second.
    QTimer producer;
    producer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&producer, &QTimer::timeout, [&] {
        const qint64 due = clock.elapsed();
        while (next < quint32(due)) {
            c.repository.addRequest(request(next, body), QStringLiteral("Shop"));
            c.repository.addResponse(response(next), QStringLiteral("Shop"));
            ++next;
        }
    });
    producer.start(10);
    // The watchdog notices how late it runs: the longest gap between two of its ticks.
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestAt = 0;
    int over20 = 0;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (now - last > longest) {
            longest = now - last;
            longestAt = now;
        }
        over20 += now - last > 20 ? 1 : 0;
        last = now;
    });
    watchdog.start(2);
    QEventLoop loop;
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("stream: %u rows in 10 s at 1000/s after %u listed; longest main-loop gap %lld ms at %lld ms, %d gaps "
                "over 20 ms (watchdog every 2 ms)\n",
                next, prefill, longest, longestAt, over20);
}

// Under a flood the list repaints the rows in view about 60 times a second, most of them unchanged
// since the frame before, while one batch keeps growing under them.
void repaint()
{
    Column c;
    constexpr quint32 rows = 1000;
    for (quint32 n = 0; n < rows; ++n) {
        c.repository.addRequest(request(n, QString()), QStringLiteral("Shop"));
        Response answer = response(n);
        if (n % 10 == 0)
            answer = Response(messageId(n), messageId(0x7fffffff), 200, std::nullopt, Response::Source::Network,
                              1.7e9 + n + 0.1, {}, QStringLiteral("{}"));
        c.repository.addResponse(answer, QStringLiteral("Shop"));
    }
    c.settle();
    QWidget *viewport = c.view.list()->viewport();
    std::vector<double> unchanged;
    std::vector<double> grown;
    QElapsedTimer timer;
    for (quint32 frame = 0; frame < 300; ++frame) {
        timer.start();
        viewport->repaint();
        unchanged.push_back(double(timer.nsecsElapsed()) / 1e6);
        // Every tenth row's batch count grows: those rows change, the others stay.
        c.repository.addRequest(request(rows + frame, QString()), QStringLiteral("Shop"));
        c.repository.addResponse(Response(messageId(rows + frame), messageId(0x7fffffff), 200, std::nullopt,
                                          Response::Source::Network, 1.7e9 + 0.1, {}, QStringLiteral("{}")),
                                 QStringLiteral("Shop"));
        QCoreApplication::processEvents();
        timer.start();
        viewport->repaint();
        grown.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("repaint: %u rows, a 460 x 900 column, 300 frames each\n", rows);
    std::printf("  rows unchanged:         p50 %.2f ms, p99 %.2f ms\n", percentile(unchanged, 0.5),
                percentile(unchanged, 0.99));
    std::printf("  one batch's rows grown: p50 %.2f ms, p99 %.2f ms\n", percentile(grown, 0.5), percentile(grown, 0.99));
}

QByteArray exchangeFrames(int n, const QByteArray &path)
{
    const QByteArray id = QUuid(quint32(n), 0x7e57, 0x4e55, 0x80, 0, 0, 0, 0, 0, 0, 2).toByteArray(QUuid::WithoutBraces).toUpper();
    const QByteArray url = "https://shop.example" + path;
    return *MorvendaFramer::frame(QByteArray("{\"request\":{\"id\":\"" + id + "\",\"url\":\"" + url
                                  + "\",\"method\":\"get\",\"timestamp\":1700000000000,\"headers\":[],\"data\":\"{}\"}}"))
        + *MorvendaFramer::frame(QByteArray("{\"response\":{\"id\":\"" + id + "\",\"batchID\":\"" + id + "\",\"statusCode\":200,\"url\":\""
                                 + url + "\",\"source\":{\"network\":{}},\"timestamp\":1700000000100,\"headers\":[],\"data\":\"{}\"}}"));
}

void longTexts()
{
    Column c;
    c.view.move(0, 0);
    AvatarLoader avatars;
    ConnectToPeerView screen(c.listener, c.fileHolder, c.users, avatars);
    screen.resize(700, 600);
    screen.move(470, 0);
    screen.show();
    QListView *connections = screen.peerList()->listView();
    const auto listed = [&](int exchanges, int apps) {
        return c.view.viewModel().rowCount() == exchanges && connections->model()->rowCount() == apps;
    };
    // The longest turn of the event loop while a change reaches both lists (whichever turn laid
    // them out or painted them), and both lists painted once more once it has. In processor time
    // of the main thread, so that a busy machine taking the processor away does not count.
    const auto threadNs = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    };
    qint64 lastTick = 0;
    qint64 longestTurn = 0;
    QTimer watchdog;
    watchdog.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        const qint64 now = threadNs();
        longestTurn = std::max(longestTurn, now - lastTick);
        lastTick = now;
    });
    watchdog.start(1);
    const auto change = [&](const std::function<void()> &send, const std::function<bool()> &done) {
        lastTick = threadNs();
        longestTurn = 0;
        send();
        bench::waitFor(done, 120000, 1);
        QCoreApplication::processEvents();
        const qint64 before = threadNs();
        c.view.list()->viewport()->repaint();
        connections->viewport()->repaint();
        return std::max(double(longestTurn), double(threadNs() - before)) / 1e6;
    };
    const auto connectApp = [&](QTcpSocket &socket, const QByteArray &name) {
        socket.connectToHost(QHostAddress::LocalHost, c.listener.serverPort());
        socket.waitForConnected(5000);
        socket.write(*MorvendaFramer::frame(QByteArray("{\"handshake\":\"" + name + "\"}")));
        socket.flush();
    };
    const auto sendExchange = [](QTcpSocket &socket, int n, const QByteArray &path) {
        return [&socket, n, path] {
            socket.write(exchangeFrames(n, path));
            socket.flush();
        };
    };

    QTcpSocket app;
    const double named = change([&] { connectApp(app, "Shop " + QByteArray(1 << 20, 'n')); }, [&] { return listed(0, 1); });
    const double longPath = change(sendExchange(app, 0, "/" + QByteArray(1 << 20, 'p')), [&] { return listed(1, 1); });
    std::vector<double> exchanges;
    for (int n = 1; n <= 100; ++n)
        exchanges.push_back(change(sendExchange(app, n, "/api/cart/items/" + QByteArray::number(n)), [&] { return listed(n + 1, 1); }));
    std::vector<double> connects;
    std::vector<std::unique_ptr<QTcpSocket>> others;
    for (int n = 0; n < 10; ++n) {
        others.push_back(std::make_unique<QTcpSocket>());
        connects.push_back(change([&] { connectApp(*others.back(), "Shop " + QByteArray::number(n)); },
                                  [&] { return listed(101, n + 2); }));
    }
    std::printf("long-texts: timeline 460 x 900 (%d rows) and connect screen 700 x 600 (%d rows), both shown\n",
                c.view.viewModel().rowCount(), connections->model()->rowCount());
    std::printf("  per change until both lists show it: the longest event-loop turn or the two lists' repaint,\n"
                "  in processor time of the main thread\n");
    std::printf("  the 1 MB app name:               %.1f ms\n", named);
    std::printf("  the 1 MB URL path:               %.1f ms\n", longPath);
    std::printf("  100 ordinary exchanges after it: p50 %.2f ms, max %.2f ms\n", percentile(exchanges, 0.5),
                *std::max_element(exchanges.begin(), exchanges.end()));
    std::printf("  10 more apps connecting:         p50 %.2f ms, max %.2f ms\n", percentile(connects, 0.5),
                *std::max_element(connects.begin(), connects.end()));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("MORVENDA_NO_ADVERTISE", "1");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*.debug=false\nmorvenda.*.info=false"));
    QStringList which = app.arguments().mid(1);
    if (which.isEmpty())
        which = {QStringLiteral("append"), QStringLiteral("filter"), QStringLiteral("open"), QStringLiteral("stream")};
    for (const QString &name : which) {
        if (name == QLatin1StringView("append"))
            append();
        else if (name == QLatin1StringView("filter"))
            filter();
        else if (name == QLatin1StringView("open"))
            open();
        else if (name == QLatin1StringView("stream"))
            stream(0);
        else if (name == QLatin1StringView("stream-on-500k"))
            stream(500'000);
        else if (name == QLatin1StringView("repaint"))
            repaint();
        else if (name == QLatin1StringView("long-texts"))
            longTexts();
        std::fflush(stdout);
    }
    return 0;
}
