// Start-up time of the application, measured from outside: the program starts itself again as a
// child (offscreen) and times from launching the process to the child's first painted main
// window, and, with the console pane shown from the start, also to the console's editor page
// having loaded. Prints the median, minimum and maximum of several runs in milliseconds.
//
//     build/bench/app_startup [runs]
#include "CodeMirror/CodeMirrorBundle.h"
#include "CodeMirror/CodeMirrorViewModel.h"
#include "MorvendaApp/MainScene/MainScene.h"
#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/SharedObjects.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "MorvendaApp/shell/AppearanceService.h"
#include "MorvendaApp/shell/ConsoleView.h"
#include "MorvendaApp/shell/PortalColorScheme.h"
#include "MorvendaApp/shell/Preferences.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
// Reports the first paint of the watched widget on stdout, and ends the run after it if asked.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(bool quitAfter)
        : m_quitAfter(quitAfter)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            std::printf("painted\n");
            std::fflush(stdout);
            if (m_quitAfter) {
                QTimer::singleShot(0, qApp, &QApplication::quit);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_quitAfter;
    bool m_seen = false;
};

// The child: the entry point's start-up, then exit once what is measured has happened.
int runChild(int argc, char *argv[], bool withConsole)
{
    QApplication app(argc, argv);
    if (!CodeMirrorBundle::check()) {
        return 2;
    }
    QTemporaryDir dir;
    PortalColorScheme system;
    QSettings settings(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    Preferences preferences(settings);
    AppearanceService appearance(preferences, system);
    auto store = ImpersonateUserStore::open(dir.filePath(ImpersonateUserStore::fileName()));
    if (!store) {
        return 4;
    }
    SharedObjects shared(MorvendaListener::Options{QHostAddress::LocalHost, false}, std::move(*store));
    MainScene scene(shared, preferences);
    if (withConsole) {
        shared.windowManager.toggleBottomView(BottomView::Console);
        auto *console = scene.mainWindow()->findChild<ConsoleView *>();
        if (!console) {
            return 3;
        }
        console->codeMirrorViewModel().setOnLoadSuccess([] {
            std::printf("console\n");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QApplication::quit);
        });
    }
    FirstPaint firstPaint(!withConsole);
    scene.mainWindow()->installEventFilter(&firstPaint);
    scene.show();
    QTimer::singleShot(30000, &app, &QApplication::quit);
    return app.exec();
}

struct Times
{
    QList<double> painted;
    QList<double> console;
};

void runOnce(const QString &program, bool withConsole, Times &times)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("MORVENDA_NO_ADVERTISE"), QStringLiteral("1"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false;*.info=false"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer clock;
    clock.start();
    child.start(program, {withConsole ? QStringLiteral("--child-console") : QStringLiteral("--child")});
    QByteArray out;
    while (child.state() != QProcess::NotRunning || child.bytesAvailable() > 0) {
        child.waitForReadyRead(50);
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            if (line == "painted") {
                times.painted.append(ms);
            } else if (line == "console") {
                times.console.append(ms);
            }
        }
        if (child.state() == QProcess::NotRunning && !child.canReadLine()) {
            break;
        }
    }
    child.waitForFinished(30000);
}

void report(const char *what, QList<double> values)
{
    if (values.isEmpty()) {
        std::printf("%-48s no result\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-48s median %7.1f ms   min %7.1f   max %7.1f   (%lld runs)\n", what,
        values.at(values.size() / 2), values.first(), values.last(), qlonglong(values.size()));
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0) {
        return runChild(argc, argv, false);
    }
    if (argc > 1 && qstrcmp(argv[1], "--child-console") == 0) {
        return runChild(argc, argv, true);
    }
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 7;
    const QString program = QString::fromLocal8Bit(argv[0]);
    Times plain;
    Times console;
    for (int i = 0; i < runs; ++i) {
        runOnce(program, false, plain);
        runOnce(program, true, console);
    }
    report("process start -> first painted main window", plain.painted);
    report("  same, console pane shown", console.painted);
    report("  console pane shown -> its editor page loaded", console.console);
    return 0;
}
