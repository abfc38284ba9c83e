// What the program costs while nobody uses it: the main window with one app connected, first
// before the body viewer was ever shown, then after a row was selected, its Body tab shown and the
// row deselected (the connect screen is back, its spinner turning). Prints the CPU time of this
// process and of the web engine's helper processes over each idle stretch, in ticks and as a
// share of one core.
//
//     build/bench/app_idle [seconds per stretch, default 10]
#include "bench/BenchSupport.h"
#include "bench/ProgramWindow.h"
#include "bench/server_peer.h"

#include "CodeMirror/CodeMirrorView.h"
#include "CodeMirror/CodeMirrorCoordinator.h"
#include "MorvendaApp/details/PayloadBodyView.h"
#include "MorvendaApp/details/PayloadDetailsView.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaModel/MorvendaFramer.h"

#include <QApplication>
#include <QScreen>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QUuid>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

QByteArray framed(const QByteArray &body)
{
    return *MorvendaFramer::frame(body);
}

// One app: handshake, one exchange with a JSON body, then it stays connected until told to go.
void runApp(quint16 port, const QByteArray &id, const std::atomic_bool *stop)
{
    const int fd = BenchPeer::connectLoopback(port);
    if (fd < 0)
        return;
    const QByteArray json = R"({\"items\":[{\"sku\":\"p_8f3a\",\"size\":\"M\",\"price\":{\"amount\":1999,)"
                            R"(\"currency\":\"EUR\"}},{\"sku\":\"p_1b2c\",\"size\":\"L\"}],\"total\":2})";
    const QByteArray url = "https://shop.example/api/cart?currency=EUR";
    const QByteArray messages = framed(R"({"handshake":"Shop"})")
        + framed(R"({"request":{"id":")" + id + R"(","url":")" + url
            + R"(","method":"get","timestamp":1700000000000,"headers":[{"name":"Accept","value":"application/json"}]}})")
        + framed(R"({"response":{"id":")" + id + R"(","batchID":")" + id + R"(","statusCode":200,"url":")" + url
            + R"(","source":{"network":{}},"timestamp":1700000000120,"headers":[],"data":")" + json + R"("}})");
    // The hello answering the handshake (22 bytes framed); the app stays on however it went.
    if (!BenchPeer::writeAll(fd, messages.constData(), size_t(messages.size())))
        return;
    BenchPeer::readExactly(fd, 22);
    while (!stop->load())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::close(fd);
}

// User and system CPU ticks of a process from /proc; 0 when it cannot be read.
qint64 cpuTicks(const QString &pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the parenthesised command name: state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

// CPU ticks of the web engine's helper processes (every descendant of this process), by pid.
QHash<QString, qint64> helperTicks()
{
    const QString self = QString::number(::getpid());
    QHash<QString, QString> parentOf;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (pid.toLongLong() > 0 && stat.open(QIODevice::ReadOnly)) {
            const QByteArray text = stat.readAll();
            parentOf.insert(pid, QString::fromLatin1(text.mid(text.lastIndexOf(')') + 2).split(' ').value(1)));
        }
    }
    QHash<QString, qint64> ticks;
    for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
        for (QString up = it.value(); !up.isEmpty() && up != QLatin1String("0") && up != QLatin1String("1");
             up = parentOf.value(up)) {
            if (up == self) {
                ticks.insert(it.key(), cpuTicks(it.key()));
                break;
            }
        }
    }
    return ticks;
}

void idle(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

void measureIdle(const char *what, int seconds)
{

    const QString self = QString::number(::getpid());
    const qint64 ownBefore = cpuTicks(self);
    const QHash<QString, qint64> helpersBefore = helperTicks();
    idle(seconds);
    const qint64 own = cpuTicks(self) - ownBefore;
    // Helpers that started or ended within the stretch count from their start or to their end.
    qint64 helpers = 0;
    const QHash<QString, qint64> helpersAfter = helperTicks();
    for (auto it = helpersAfter.cbegin(); it != helpersAfter.cend(); ++it)
        helpers += it.value() - helpersBefore.value(it.key(), 0);
    const double perCore = double(::sysconf(_SC_CLK_TCK)) * seconds;
    std::printf("%s: this process %lld ticks in %d s (%.1f%% of a core), web engine helpers %lld ticks (%.1f%%)\n", what,
        qlonglong(own), seconds, 100.0 * double(own) / perCore, qlonglong(helpers), 100.0 * double(helpers) / perCore);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::prepareProgramEnvironment(home);
    QApplication app(argc, argv);
    if (!bench::programReady())
        return 2;
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    bench::ProgramWindow program(home);
    MainScene &scene = program.scene;
    const QUuid id = QUuid::createUuid();
    std::atomic_bool stop = false;
    std::thread peer(runApp, program.shared.listener.serverPort(), id.toByteArray(QUuid::WithoutBraces).toUpper(), &stop);
    const auto finish = [&](int code) {
        stop = true;
        peer.join();
        return code;
    };
    if (!bench::waitFor([&] { return program.shared.repository.exchange(id).has_value(); }, 30000)) {
        std::fprintf(stderr, "the app's exchange never arrived\n");
        return finish(1);
    }
    idle(1);
    measureIdle("connect screen, body viewer never shown", seconds);

    scene.selection().setMessageID(id);
    PayloadDetailsView *pane = nullptr;
    if (!bench::waitFor([&] { return (pane = scene.mainWindow()->findChild<PayloadDetailsView *>()) != nullptr; }, 10000)) {
        std::fprintf(stderr, "the details never showed\n");
        return finish(1);
    }
    pane->setSelectedDetailType(PayloadDetailsView::DetailType::Body);
    const auto *body = pane->findChild<PayloadBodyView *>();
    if (!body || !bench::waitFor([&] { return body->codeView()->coordinator().pageLoaded(); }, 60000)) {
        std::fprintf(stderr, "the body viewer's page never loaded\n");
        return finish(1);
    }
    idle(1);
    measureIdle("a row selected, its body shown", seconds);

    scene.selection().setMessageID(std::nullopt);
    idle(1);
    measureIdle("connect screen again, after the body viewer was shown", seconds);
    if (const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS"); !dir.isEmpty()) {
        QDir().mkpath(dir);
        // From the screen where it can be read: the spinner is a window of its own.
        QPixmap shot = scene.mainWindow()->screen()->grabWindow(0);
        if (shot.isNull())
            shot = scene.mainWindow()->grab();
        shot.save(QDir(dir).filePath(QStringLiteral("app_idle.png")));
    }
    return finish(0);
}
