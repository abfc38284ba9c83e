// The real program on a real X server with a window manager (the test runs under xvfb-run and
// starts openbox): every toolbar button, every panel shortcut, preferences and help, pressed as a
// user presses them (xdotool), first in a fresh window, then with an app connected and a response
// body shown. The program must outlive every press. The offscreen platform never makes native
// windows, so only a test like this one sees what they do.
//
// Where to press is read from a replica: the same main scene built in this process on the same
// display, never mapped, at the size the window manager gave the program's window.
#include "tests/support/SceneFixture.h"
#include "tests/support/ScriptedPeer.h"

#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/MorvendaCommands.h"
#include "MorvendaApp/details/PayloadDetailsView.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/timeline/TimelineListView.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QToolBar>

class TestRealX : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void aFreshWindowSurvivesEveryPress();
    void aWindowShowingABodySurvivesEveryPress();
    void theMainWindowOpensInsideTheScreen();

private:
    // Where a user presses: window coordinates of the replica's widgets.
    struct Targets
    {
        QList<QPoint> toolbar;
        QPoint fileMenu;
        QPoint preferences;
        QPoint helpMenu;
        QPoint helpItem;
    };

    void startProgram();
    void findMainWindow();
    QString mainWindowId();
    QSize clientSize() const;
    static Targets targetsOf(MainScene &replica, QSize size);
    void pressEverything(const Targets &targets, const QString &phase);
    void verifyAlive(const QString &after);
    void activateMain();
    // `activate` raises the main window and gives it the focus first.
    void click(QPoint at, bool activate = true);
    void key(const QString &keys);
    void screenshot(const QString &name);

    QProcess m_windowManager;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_app;
    quint16 m_port = 0;
    QString m_window;
};

// Below the class: moc reads the class no further than the first raw string literal.
namespace {

const QString kScreenshots = qEnvironmentVariable("MORVENDA_ARTIFACTS");

// Runs a short X client to its end; its standard output, empty when it failed.
QString runX(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Runs xdotool; what went wrong, empty when it did what it was told.
QString xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(10000))
        return QStringLiteral("xdotool %1 did not finish").arg(arguments.join(QLatin1Char(' ')));
    if (process.exitCode() != 0)
        return QStringLiteral("xdotool %1: %2")
            .arg(arguments.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAllStandardError()));
    return {};
}

void settle(int ms)
{
    QTest::qWait(ms);
}

// The request and the response of one exchange with a JSON body, as an app writes them.
QByteArray requestFrame(const QString &id)
{
    return QStringLiteral(R"({"request":{"id":"%1","url":"https://shop.example.com/api/cart?currency=EUR",)"
                          R"("method":"get","timestamp":1700000000000,"headers":[{"name":"Accept","value":"application/json"}]}})")
        .arg(id)
        .toUtf8();
}

QByteArray responseFrame(const QString &id)
{
    return QStringLiteral(R"({"response":{"id":"%1","batchID":"%1","statusCode":200,)"
                          R"("url":"https://shop.example.com/api/cart?currency=EUR","source":{"network":{}},)"
                          R"("timestamp":1700000000120,"headers":[{"name":"Content-Type","value":"application/json"}],)"
                          R"("data":"{\"items\":[{\"sku\":\"A-1\",\"qty\":2}],\"total\":2}"}})")
        .arg(id)
        .toUtf8();
}

} // namespace

void TestRealX::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "runs under xvfb-run, which sets DISPLAY");
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    // A window manager frames, places and activates the windows as on a desktop.
    m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    QVERIFY2(m_windowManager.waitForStarted(10000), "openbox is installed by scripts/setup");
    QTRY_VERIFY_WITH_TIMEOUT(runX(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                                 .contains(QLatin1String("window id")),
        10000);
}

void TestRealX::cleanupTestCase()
{
    m_windowManager.terminate();
    if (!m_windowManager.waitForFinished(5000))
        m_windowManager.kill();
    m_windowManager.waitForFinished();
}

void TestRealX::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
}

void TestRealX::cleanup()
{
    if (m_app && m_app->state() != QProcess::NotRunning) {
        m_app->terminate();
        if (!m_app->waitForFinished(10000)) {
            m_app->kill();
            m_app->waitForFinished();
        }
    }
    m_app.reset();
    m_window.clear();
}

void TestRealX::startProgram()
{
    m_port = ScriptedPeer::freePort();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("MORVENDA_PORT"), QString::number(m_port));
    env.insert(QStringLiteral("MORVENDA_NO_ADVERTISE"), QStringLiteral("1"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    for (const char *dir : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
        const QString path = m_home->filePath(QString::fromLatin1(dir).toLower());
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QString::fromLatin1(dir), path);
    }
    m_app = std::make_unique<QProcess>();
    m_app->setProcessEnvironment(env);
    m_app->setProcessChannelMode(QProcess::ForwardedChannels);
    m_app->start(QStringLiteral(MORVENDA_EXECUTABLE), {});
    QVERIFY(m_app->waitForStarted(10000));
    findMainWindow();
}

void TestRealX::findMainWindow()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_app->state() != QProcess::Running || !mainWindowId().isEmpty(), 30000);
    QCOMPARE(m_app->state(), QProcess::Running);
    settle(1500); // first paint, the window manager's frame
}

QString TestRealX::mainWindowId()
{
    // Looked up at every use: the first web view makes the window's X window anew.
    m_window = runX(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
            QString::number(m_app->processId()), QStringLiteral("--name"), QStringLiteral("^Morvenda$")})
                   .section(QLatin1Char('\n'), 0, 0)
                   .trimmed();
    return m_window;
}

QSize TestRealX::clientSize() const
{
    const QString geometry = runX(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), m_window});
    const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(geometry);
    return size.hasMatch() ? QSize(size.captured(1).toInt(), size.captured(2).toInt()) : QSize();
}

TestRealX::Targets TestRealX::targetsOf(MainScene &replica, QSize size)
{
    MainWindow *window = replica.mainWindow();
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->resize(size);
    window->show();
    settle(300);
    Targets targets;
    const QToolBar *toolbar = window->toolbar();
    for (QAction *action : toolbar->actions()) {
        if (auto *button = qobject_cast<QAbstractButton *>(toolbar->widgetForAction(action)))
            targets.toolbar.append(button->mapTo(window, button->rect().center()));
    }
    // A menu item: the centre of its menu's title, then of the item in the menu dropped down
    // from the title's bottom-left corner.
    const auto menuItem = [window](QAction *item, QPoint *titleAt, QPoint *itemAt) {
        QMenuBar *bar = window->menuBar();
        for (QAction *title : bar->actions()) {
            if (title->menu() && title->menu()->actions().contains(item)) {
                const QRect titleRect = bar->actionGeometry(title);
                *titleAt = bar->mapTo(window, titleRect.center());
                *itemAt = bar->mapTo(window, titleRect.bottomLeft() + QPoint(0, 1))
                    + title->menu()->actionGeometry(item).center();
            }
        }
    };
    menuItem(replica.commands()->preferencesAction(), &targets.fileMenu, &targets.preferences);
    menuItem(replica.commands()->helpAction(), &targets.helpMenu, &targets.helpItem);
    return targets;
}

void TestRealX::verifyAlive(const QString &after)
{
    settle(700);
    QVERIFY2(m_app->state() == QProcess::Running,
        qPrintable(QStringLiteral("the program died after %1 (exit status %2, code %3)")
                       .arg(after)
                       .arg(m_app->exitStatus() == QProcess::CrashExit ? QStringLiteral("crash") : QStringLiteral("normal"))
                       .arg(m_app->exitCode())));
}

void TestRealX::activateMain()
{
    xdotool({QStringLiteral("windowactivate"), mainWindowId()});
    settle(150);
}

void TestRealX::click(QPoint at, bool activate)
{
    if (activate)
        activateMain();
    if (!activate)
        mainWindowId();
    const QString failure = xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), m_window,
        QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestRealX::key(const QString &keys)
{
    const QString failure = xdotool({QStringLiteral("key"), keys});
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestRealX::screenshot(const QString &name)
{
    if (!kScreenshots.isEmpty()) {
        QDir().mkpath(kScreenshots);
        runX(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), QDir(kScreenshots).filePath(name)});
    }
}

void TestRealX::pressEverything(const Targets &targets, const QString &phase)
{
    QCOMPARE(targets.toolbar.size(), 8);
    for (int i = 0; i < targets.toolbar.size(); ++i) {
        click(targets.toolbar.at(i));
        verifyAlive(QStringLiteral("%1: toolbar button %2").arg(phase).arg(i + 1));
        if (QTest::currentTestFailed())
            return;
        if (i == 0)
            screenshot(QStringLiteral("realx-%1-console.png").arg(phase));
    }
    screenshot(QStringLiteral("realx-%1-toolbar.png").arg(phase));
    // The help dialog the last button opened.
    key(QStringLiteral("Escape"));
    for (const char *modifiers : {"ctrl+", "ctrl+alt+"}) {
        for (int digit = 1; digit <= 5; ++digit) {
            activateMain();
            key(QLatin1StringView(modifiers) + QString::number(digit));
            verifyAlive(QStringLiteral("%1: %2%3").arg(phase, QLatin1StringView(modifiers)).arg(digit));
            if (QTest::currentTestFailed())
                return;
        }
    }
    screenshot(QStringLiteral("realx-%1-panels.png").arg(phase));
    // A menu item is clicked in the menu the click on its title dropped down.
    click(targets.fileMenu);
    settle(400);
    click(targets.preferences, false);
    verifyAlive(QStringLiteral("%1: preferences").arg(phase));
    click(targets.helpMenu);
    settle(400);
    click(targets.helpItem, false);
    verifyAlive(QStringLiteral("%1: help").arg(phase));
    screenshot(QStringLiteral("realx-%1-end.png").arg(phase));
}

void TestRealX::aFreshWindowSurvivesEveryPress()
{
    startProgram();
    const QSize size = clientSize();
    QVERIFY2(size.isValid(), "the window manager reports the window's size");
    SceneFixture replica;
    const Targets targets = targetsOf(*replica.scene, size);
    screenshot(QStringLiteral("realx-fresh-start.png"));
    pressEverything(targets, QStringLiteral("fresh"));
}

void TestRealX::aWindowShowingABodySurvivesEveryPress()
{
    startProgram();
    const QSize size = clientSize();
    QVERIFY2(size.isValid(), "the window manager reports the window's size");
    SceneFixture replica;
    const Targets targets = targetsOf(*replica.scene, size);
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    // The same app reaches the program and the replica, so both list the same row.
    ScriptedPeer app;
    ScriptedPeer twin;
    QVERIFY(app.connectTo(m_port));
    QVERIFY(twin.connectTo(replica.shared->listener.serverPort()));
    for (ScriptedPeer *peer : {&app, &twin}) {
        peer->handshake(QStringLiteral("Smoke App"));
        peer->send(requestFrame(id));
        peer->send(responseFrame(id));
        peer->socket().flush();
    }
    QTRY_VERIFY_WITH_TIMEOUT(replica.shared->repository.exchange(QUuid::fromString(id)).has_value(), 10000);

    // Where the row is, and where a Body tab is once the row is selected.
    MainWindow *window = replica.scene->mainWindow();
    auto *list = window->findChild<TimelineListView *>();
    QVERIFY(list);
    QTRY_VERIFY(list->visualRect(0).isValid());
    const QPoint row = list->viewport()->mapTo(window, list->visualRect(0).center());
    replica.scene->selection().setMessageID(QUuid::fromString(id));
    settle(300);
    // The lowest Body tab is the response's, whose body is not empty.
    QPoint bodyTab;
    for (PayloadDetailsView *pane : window->findChildren<PayloadDetailsView *>()) {
        for (QLabel *label : pane->findChildren<QLabel *>()) {
            const QPoint at = label->mapTo(window, label->rect().center());
            if (label->text() == PayloadDetailsView::tabLabel(PayloadDetailsView::DetailType::Body) && label->isVisible()
                && at.y() > bodyTab.y())
                bodyTab = at;
        }
    }
    QVERIFY2(!bodyTab.isNull(), "the replica shows a Body tab");

    click(row);
    verifyAlive(QStringLiteral("selecting the row"));
    settle(1000); // the details replace the connect screen
    click(bodyTab);
    verifyAlive(QStringLiteral("showing the body"));
    if (QTest::currentTestFailed())
        return;
    settle(3000); // the body viewer's page loads
    screenshot(QStringLiteral("realx-body-shown.png"));
    pressEverything(targets, QStringLiteral("body"));
    QVERIFY(app.isConnected());
}

void TestRealX::theMainWindowOpensInsideTheScreen()
{
    // 1280×800 does not fit this screen: the window is cut down, and its frame, title bar
    // included, lies inside the screen.
    startProgram();
    const QString info = runX(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m_window});
    const auto field = [&info](const char *name) {
        const QRegularExpression pattern(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1StringView(name)));
        return pattern.match(info).captured(1).toInt();
    };
    const QRect client(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
    const QString extents = runX(QStringLiteral("xprop"), {QStringLiteral("-id"), m_window, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QRegularExpressionMatch margins
        = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
    QVERIFY2(margins.hasMatch(), qPrintable(extents));
    const QRect frame = client.adjusted(-margins.captured(1).toInt(), -margins.captured(3).toInt(),
        margins.captured(2).toInt(), margins.captured(4).toInt());
    const QRect screen(QPoint(0, 0), QGuiApplication::primaryScreen()->size());
    QVERIFY2(screen.contains(frame),
        qPrintable(QStringLiteral("the frame (%1,%2) %3×%4 leaves the %5×%6 screen")
                       .arg(frame.x())
                       .arg(frame.y())
                       .arg(frame.width())
                       .arg(frame.height())
                       .arg(screen.width())
                       .arg(screen.height())));
}

QTEST_MAIN(TestRealX)
#include "tst_realx.moc"
