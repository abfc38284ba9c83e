// The application's windows around real shared objects and a loopback server: start-up, the
// one-time wiring, the application-wide shortcuts, the single-instance panel
// windows, the shared help dialog, failed saves raising the listener's alert, and the end.
#include "tests/support/Artifacts.h"
#include "tests/support/SceneFixture.h"
#include "tests/support/ScriptedPeer.h"

#include "CodeMirror/CodeMirrorViewModel.h"
#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/MorvendaCommands.h"
#include "MorvendaApp/MainScene/PanelWindow.h"
#include "MorvendaApp/users/ui/UserView.h"
#include "MorvendaApp/components/HelpButton.h"
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/shell/ConnectToPeerView.h"
#include "MorvendaApp/shell/ConsoleView.h"
#include "MorvendaApp/shell/ConsoleViewModel.h"
#include "MorvendaApp/shell/PreferencesView.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/metrics/RequestAmountChartViewModel.h"
#include "MorvendaApp/metrics/ui/MetricsView.h"
#include "MorvendaApp/metrics/ui/RequestAmountChart.h"
#include "MorvendaApp/components/SelectionChipButton.h"
#include "MorvendaApp/timeline/MessageSelection.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTcpServer>
#include <QMessageBox>
#include <QTest>
#include <QToolBar>

namespace {
constexpr std::array<SideView, 5> kPanels = {SideView::User, SideView::Impersonation, SideView::Settings,
    SideView::Milestone, SideView::Deeplink};

Qt::Key digitKey(int n)
{
    return Qt::Key(Qt::Key_0 + n);
}
} // namespace

class TestMainScene : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startUpShowsTheConnectScreen();
    void wiringRunsOnceAcrossHideAndShow();
    void sidebarShortcutsWorkWhileAPanelWindowHasFocus_data();
    void sidebarShortcutsWorkWhileAPanelWindowHasFocus();
    void windowShortcutsOpenOneWindowPerPanel_data();
    void windowShortcutsOpenOneWindowPerPanel();
    void closingOnePanelWindowClearsOnlyItsMark();
    void panelWindowsOpenOneStepApart();
    void helpMenuAndToolbarShareOneDialog();
    void aFailedSaveRaisesTheListenersAlert();
    void aServerThatCannotListenIsAnnouncedOnce();
    void closingTheMainWindowClosesEverythingAndQuits();
    void theConsolePaneAndTheDarkPreferenceReachEveryWindow();
    void theMetricsPaneCountsTheRepositorysRequests();
    void anAlertOpensOverThePanelWindowInUse();

private:
    static void activate(QWidget *window);
    static void pressInActiveWindow(QWidget *window, Qt::Key key, Qt::KeyboardModifiers modifiers);

    std::unique_ptr<SceneFixture> m_fixture;
    SharedObjects *m_shared = nullptr;
    MainScene *m_scene = nullptr;
    Preferences *m_preferences = nullptr;
    std::unique_ptr<QSignalSpy> m_wired;
    QList<QUrl> m_opened;
};

void TestMainScene::init()
{
    m_opened.clear();
    m_fixture = std::make_unique<SceneFixture>([this](const QUrl &url) { m_opened.append(url); }, ScriptedPeer::freePort());
    m_shared = m_fixture->shared.get();
    m_scene = m_fixture->scene.get();
    m_preferences = &m_fixture->preferences;
    QVERIFY(m_shared->listener.isListening());
    m_wired = std::make_unique<QSignalSpy>(m_scene, &MainScene::wired);
    m_scene->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_scene->mainWindow()));
}

void TestMainScene::cleanup()
{
    m_wired.reset();
    m_fixture.reset();
}

void TestMainScene::activate(QWidget *window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QTRY_COMPARE(QApplication::activeWindow(), window);
}

void TestMainScene::pressInActiveWindow(QWidget *window, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    activate(window);
    QTest::keyClick(window, key, modifiers);
}

void TestMainScene::startUpShowsTheConnectScreen()
{
    MainWindow *window = m_scene->mainWindow();
    auto *connect = window->findChild<ConnectToPeerView *>();
    QVERIFY(connect);
    QVERIFY(connect->isVisible());
    QVERIFY(connect->serverNameLabel()->text().contains(MorvendaListener::bonjourName().toHtmlEscaped()));
    QVERIFY(window->timelineColumn()->width() >= MainWindow::kTimelineMinWidth);
    saveArtifact(window, QStringLiteral("main-window.png"));
}

void TestMainScene::wiringRunsOnceAcrossHideAndShow()
{
    QCOMPARE(m_wired->count(), 1);
    QVERIFY(m_scene->isWired());
    for (int i = 0; i < 2; ++i) {
        m_scene->mainWindow()->hide();
        m_scene->mainWindow()->show();
        m_scene->show();
    }
    QCOMPARE(m_wired->count(), 1);

    // Wired: what an app sends reaches the repository and the log.
    ScriptedPeer peer;
    QVERIFY(peer.connectTo(m_shared->listener.serverPort()));
    peer.handshake(QStringLiteral("Shop"));
    peer.request(QStringLiteral("8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01"), QStringLiteral("https://shop.example/api/cart"));
    QTRY_COMPARE(m_shared->repository.exchanges().size(), qsizetype(1));
    QTRY_VERIFY(m_shared->logger.log().contains(QStringLiteral("Selecting connection: Shop")));
    saveArtifact(m_scene->mainWindow(), QStringLiteral("main-window-peer.png"));

    // The main window's selection reaches the details column, which leaves the connect screen.
    QVERIFY(m_scene->mainWindow()->findChild<ConnectToPeerView *>());
    m_scene->selection().setMessageID(QUuid(QStringLiteral("8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01")));
    QTRY_VERIFY(!m_scene->mainWindow()->findChild<ConnectToPeerView *>());
    m_scene->selection().setMessageID(std::nullopt);
    QTRY_VERIFY(m_scene->mainWindow()->findChild<ConnectToPeerView *>());
}

void TestMainScene::sidebarShortcutsWorkWhileAPanelWindowHasFocus_data()
{
    QTest::addColumn<int>("n");
    for (int n = 1; n <= 5; ++n) {
        QTest::addRow("Ctrl+%d toggles %s from another panel's window", n, qPrintable(rawValue(kPanels[std::size_t(n - 1)])))
            << n;
    }
}

void TestMainScene::sidebarShortcutsWorkWhileAPanelWindowHasFocus()
{
    QFETCH(int, n);
    const SideView view = kPanels[std::size_t(n - 1)];
    // Focus sits in the window of a different panel, which has no menu bar of its own.
    const SideView other = kPanels[std::size_t(n % 5)];
    m_scene->commands()->windowAction(other)->trigger();
    PanelWindow *window = m_scene->panelWindow(other);
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));

    pressInActiveWindow(window, digitKey(n), Qt::ControlModifier);
    QCOMPARE(m_shared->windowManager.sideView(), view);
    pressInActiveWindow(window, digitKey(n), Qt::ControlModifier);
    QCOMPARE(m_shared->windowManager.sideView(), SideView::None);
}

void TestMainScene::windowShortcutsOpenOneWindowPerPanel_data()
{
    sidebarShortcutsWorkWhileAPanelWindowHasFocus_data();
}

void TestMainScene::windowShortcutsOpenOneWindowPerPanel()
{
    QFETCH(int, n);
    const SideView view = kPanels[std::size_t(n - 1)];
    m_shared->windowManager.toggle(view);

    pressInActiveWindow(m_scene->mainWindow(), digitKey(n), Qt::ControlModifier | Qt::AltModifier);
    PanelWindow *window = m_scene->panelWindow(view);
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->objectName(), rawValue(view));
    QCOMPARE(window->windowTitle(), PanelWindow::title(view));
    QVERIFY(m_shared->windowManager.windows().contains(view));
    QCOMPARE(m_shared->windowManager.sideView(), SideView::None);

    // A second press from the main window raises the same window.
    pressInActiveWindow(m_scene->mainWindow(), digitKey(n), Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(m_scene->panelWindow(view), window);
    QTRY_COMPARE(QApplication::activeWindow(), window);
    int sameId = 0;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        sameId += top->isVisible() && top->objectName() == rawValue(view) ? 1 : 0;
    }
    QCOMPARE(sameId, 1);
    QCOMPARE(m_shared->windowManager.windows().size(), 1);
}

void TestMainScene::closingOnePanelWindowClearsOnlyItsMark()
{
    m_scene->commands()->windowAction(SideView::User)->trigger();
    m_scene->commands()->windowAction(SideView::Deeplink)->trigger();
    QCOMPARE(m_shared->windowManager.windows(), (QSet<SideView>{SideView::User, SideView::Deeplink}));
    m_scene->panelWindow(SideView::User)->close();
    QCOMPARE(m_shared->windowManager.windows(), QSet<SideView>{SideView::Deeplink});
    QTRY_VERIFY(!m_scene->panelWindow(SideView::User));
    QVERIFY(m_scene->panelWindow(SideView::Deeplink)->isVisible());
    // Opening it again makes a fresh window.
    m_scene->commands()->windowAction(SideView::User)->trigger();
    QVERIFY(m_scene->panelWindow(SideView::User));
}

// Without a window manager to place them (and with one that does not cascade), windows opened at
// one spot would hide each other whole.
void TestMainScene::panelWindowsOpenOneStepApart()
{
    QList<QPoint> places;
    for (SideView view : {SideView::Settings, SideView::Milestone, SideView::Deeplink}) {
        m_scene->commands()->windowAction(view)->trigger();
        PanelWindow *window = m_scene->panelWindow(view);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(window->screen()->availableGeometry().contains(window->pos()));
        places.append(window->pos());
    }
    QVERIFY(places.at(1).x() > places.at(0).x() && places.at(1).y() > places.at(0).y());
    QCOMPARE(places.at(2) - places.at(1), places.at(1) - places.at(0));

    // Far down the screen, the next window starts again near its top.
    PanelWindow *last = m_scene->panelWindow(SideView::Deeplink);
    const QRect area = last->screen()->availableGeometry();
    last->move(area.bottomRight() - QPoint(20, 20));
    m_scene->commands()->windowAction(SideView::User)->trigger();
    PanelWindow *user = m_scene->panelWindow(SideView::User);
    QVERIFY(area.contains(user->pos()));
    QVERIFY(user->pos().y() < area.center().y());
}

void TestMainScene::helpMenuAndToolbarShareOneDialog()
{
    QAction *help = m_scene->commands()->helpAction();
    help->trigger();
    HelpView *dialog = m_scene->helpView();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    help->trigger();
    QVERIFY(!dialog->isVisible());

    auto *button = m_scene->mainWindow()->toolbar()->findChild<HelpButton *>();
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_scene->helpView(), dialog);
    QVERIFY(dialog->isVisible());

    QListWidget *list = dialog->list();
    QListWidgetItem *metrics = dialog->itemFor(Help::Metrics);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(metrics).center());
    QCOMPARE(m_opened, QList<QUrl>{*helpUrl(Help::Metrics)});
}

void TestMainScene::aFailedSaveRaisesTheListenersAlert()
{
    QSignalSpy alerts(&m_shared->listener, &MorvendaListener::alertViewStateChanged);
    m_scene->commands()->saveAction()->trigger();
    QFileDialog *panel = m_scene->mainWindow()->findChild<QFileDialog *>();
    QVERIFY(panel);
    QTRY_VERIFY(panel->isVisible());
    panel->selectFile(m_fixture->dir.filePath(QStringLiteral("missing-folder/session.json")));
    static_cast<QDialog *>(panel)->accept();
    QTRY_COMPARE(alerts.count(), 1);
    QVERIFY(m_shared->listener.alertViewState());
    QCOMPARE(m_shared->listener.alertViewState()->title, L10n::text("FileSaver.failedTitle"));
}

// A second instance on a fixed port that is taken must not pretend to serve: one alert, and the
// console holds the reason.
void TestMainScene::aServerThatCannotListenIsAnnouncedOnce()
{
    QVERIFY(!m_shared->listener.alertViewState()); // the healthy start of init() raised none

    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::LocalHost));
    qputenv("MORVENDA_PORT", QByteArray::number(occupant.serverPort()));
    SharedObjects second(MorvendaListener::Options{QHostAddress::LocalHost, false});
    qunsetenv("MORVENDA_PORT");
    QVERIFY(!second.listener.isListening());
    QSignalSpy alerts(&second.listener, &MorvendaListener::alertViewStateChanged);
    {
        MainScene scene(second, *m_preferences, [](const QUrl &) {});
        scene.show();
        QVERIFY(QTest::qWaitForWindowExposed(scene.mainWindow()));
        QCOMPARE(alerts.count(), 1);
        QCOMPARE(second.listener.alertViewState()->title, L10n::text("Listener.unableToStartTitle"));
        const QString port = QString::number(occupant.serverPort());
        QVERIFY2(second.listener.alertViewState()->message->contains(QStringLiteral("port ") + port),
            qPrintable(*second.listener.alertViewState()->message));
        // The connect screen behind the alert does not claim to serve.
        const auto states = scene.mainWindow()->findChildren<QLabel *>(QStringLiteral("serverState"));
        QVERIFY(!states.isEmpty());
        for (const QLabel *state : states)
            QCOMPARE(state->text(), L10n::text("Connection.serverNotRunning"));
        QVERIFY(second.logger.log().join(QLatin1Char('\n')).contains(QStringLiteral("Unable to start listener")));
        scene.mainWindow()->hide();
        scene.show();
        QCOMPARE(alerts.count(), 1);
        for (QWidget *box : QApplication::topLevelWidgets()) {
            if (box->inherits("QMessageBox"))
                box->close();
        }
    }
}

void TestMainScene::closingTheMainWindowClosesEverythingAndQuits()
{
    QSignalSpy quit(m_scene, &MainScene::quitRequested);
    m_scene->commands()->windowAction(SideView::Settings)->trigger();
    m_scene->commands()->windowAction(SideView::Milestone)->trigger();
    // Preferences is one window, however often it is asked for.
    m_scene->commands()->preferencesAction()->trigger();
    PreferencesView *preferences = m_scene->preferencesView();
    QVERIFY(preferences && preferences->isVisible());
    m_scene->commands()->preferencesAction()->trigger();
    QCOMPARE(m_scene->preferencesView(), preferences);
    m_scene->commands()->helpAction()->trigger();

    m_scene->commands()->quitAction()->trigger();
    QCOMPARE(quit.count(), 1);
    QVERIFY(!m_scene->mainWindow()->isVisible());
    QTRY_VERIFY(!m_scene->panelWindow(SideView::Settings));
    QTRY_VERIFY(!m_scene->panelWindow(SideView::Milestone));
    QVERIFY(!m_scene->helpView()->isVisible());
    QTRY_VERIFY(!m_scene->preferencesView());
    QVERIFY(m_shared->windowManager.windows().isEmpty());
}

void TestMainScene::theConsolePaneAndTheDarkPreferenceReachEveryWindow()
{
    m_shared->logger.append(QStringLiteral("Logged before the console was shown"));
    m_shared->windowManager.toggleBottomView(BottomView::Console);
    auto *console = m_scene->mainWindow()->findChild<ConsoleView *>();
    QVERIFY(console);
    QTRY_VERIFY(console->isVisible());
    QCOMPARE(console->viewModel().log().first(), QStringLiteral("Logged before the console was shown"));

    m_scene->commands()->windowAction(SideView::User)->trigger();
    m_preferences->setPreferredColorScheme(PreferredColorScheme::Dark);
    QTRY_VERIFY(isDarkPalette(m_scene->mainWindow()->palette()));
    QTRY_VERIFY(isDarkPalette(m_scene->panelWindow(SideView::User)->palette()));
    QTRY_VERIFY(console->codeMirrorViewModel().darkMode());
    bool loaded = false;
    console->codeMirrorViewModel().getContent(this, [&](const CodeMirrorViewModel::TextResult &) { loaded = true; });
    QTRY_VERIFY_WITH_TIMEOUT(loaded, 20000);
    saveArtifact(m_scene->mainWindow(), QStringLiteral("main-window-console-dark.png"));

    m_preferences->setPreferredColorScheme(PreferredColorScheme::System);
    QTRY_VERIFY(!isDarkPalette(m_scene->mainWindow()->palette()));
    QTRY_VERIFY(!console->codeMirrorViewModel().darkMode());
}

void TestMainScene::theMetricsPaneCountsTheRepositorysRequests()
{
    m_shared->windowManager.toggleBottomView(BottomView::Metrics);
    auto *pane = m_scene->mainWindow()->findChild<MetricsView *>();
    QVERIFY(pane);
    QTRY_VERIFY(pane->isVisible());
    QTest::mouseClick(pane->graphButton(GraphType::RequestCount), Qt::LeftButton);
    auto *chart = qobject_cast<RequestAmountChart *>(pane->chart());
    QVERIFY(chart);
    m_shared->repository.addRequest(Request(QUuid::createUuid(), Url::fromText(QStringLiteral("https://shop.example/a")),
                                        Method::Get, 1765000000.5, std::nullopt, {}),
        QStringLiteral("App"));
    QCOMPARE(chart->viewModel().graphData().size(), 1);
    QTRY_VERIFY(chart->chartView()->isVisible());
    saveArtifact(m_scene->mainWindow(), QStringLiteral("main-window-metrics-count.png"));
}

void TestMainScene::anAlertOpensOverThePanelWindowInUse()
{
    m_scene->openPanelWindow(SideView::User);
    PanelWindow *panel = m_scene->panelWindow(SideView::User);
    QVERIFY(panel);
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    // The user panel is built into its own window, not left empty.
    QVERIFY(panel->findChild<UserView *>());
    activate(panel);

    const auto boxOver = [](QWidget *window) {
        for (QMessageBox *box : window->findChildren<QMessageBox *>()) {
            if (box->isVisible())
                return box;
        }
        return static_cast<QMessageBox *>(nullptr);
    };
    m_shared->listener.presentAlert(Alert::ViewState{QStringLiteral("Over the panel"), std::nullopt, {}});
    QTRY_VERIFY(boxOver(panel));
    QVERIFY(!boxOver(m_scene->mainWindow()));
    boxOver(panel)->button(QMessageBox::Ok)->click();

    // From the main window, the alert stays on the main window.
    activate(m_scene->mainWindow());
    m_shared->listener.presentAlert(Alert::ViewState{QStringLiteral("Over the main window"), std::nullopt, {}});
    QTRY_VERIFY(boxOver(m_scene->mainWindow()));
    QVERIFY(!boxOver(panel));
    boxOver(m_scene->mainWindow())->button(QMessageBox::Ok)->click();
}

QTEST_MAIN(TestMainScene)
#include "tst_mainscene.moc"
