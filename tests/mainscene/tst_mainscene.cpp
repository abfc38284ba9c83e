// The application's windows around real shared objects and a loopback server: the one-time
// wiring, the application-wide shortcuts, the single-instance panel windows, the shared help
// dialog, alerts over the window in use, a server that cannot start, and the end.
#include "tests/support/Artifacts.h"
#include "tests/support/SceneFixture.h"
#include "tests/support/ScriptedPeer.h"

#include "CodeMirror/CodeMirrorViewModel.h"
#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/MorvendaCommands.h"
#include "MorvendaApp/MainScene/PanelWindow.h"
#include "MorvendaApp/users/ui/UserView.h"
#include "MorvendaApp/components/HelpButton.h"
#include "MorvendaApp/components/ToolbarButtons.h"
#include "MorvendaApp/details/MorvendaDetailsView.h"
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
#include <QClipboard>
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
    void anAppReachesEveryPaneThroughOneWiring();
    void panelShortcutsWorkFromEveryWindow_data();
    void panelShortcutsWorkFromEveryWindow();
    void panelWindowsOpenOneStepApartAndCloseAlone();
    void aServerThatCannotListenIsAnnouncedOnce();
    void oneHelpAndOnePreferencesWindowCloseWithTheMainWindow();
    void anAlertOpensOverThePanelWindowInUse();
    void aLinkThatCannotBeOpenedIsSaidWithTheLinkToCopy_data();
    void aLinkThatCannotBeOpenedIsSaidWithTheLinkToCopy();
    void onePressOfItsButtonShowsAPanelThatHasItsOwnWindow_data();
    void onePressOfItsButtonShowsAPanelThatHasItsOwnWindow();

private:
    static void activate(QWidget *window);
    static void pressInActiveWindow(QWidget *window, Qt::Key key, Qt::KeyboardModifiers modifiers);
    PanelWindow *openWindow(SideView view);

    std::unique_ptr<SceneFixture> m_fixture;
    SharedObjects *m_shared = nullptr;
    MainScene *m_scene = nullptr;
    std::unique_ptr<QSignalSpy> m_wired;
    QList<QUrl> m_opened;
    bool m_browserOpens = true; // what the opener reports
};

void TestMainScene::init()
{
    m_opened.clear();
    m_browserOpens = true;
    m_fixture = std::make_unique<SceneFixture>(
        [this](const QUrl &url) {
            m_opened.append(url);
            return m_browserOpens;
        },
        ScriptedPeer::freePort());
    m_shared = m_fixture->shared.get();
    m_scene = m_fixture->scene.get();
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

PanelWindow *TestMainScene::openWindow(SideView view)
{
    m_scene->commands()->windowAction(view)->trigger();
    return m_scene->panelWindow(view);
}

// Wired once, whatever the windows do: what an app sends reaches the repository, the log, the
// metrics pane's request count and, once chosen, the details column; the console pane shows what
// was logged before it was first shown, and follows the dark preference.
void TestMainScene::anAppReachesEveryPaneThroughOneWiring()
{
    QVERIFY(m_scene->mainWindow()->findChild<ConnectToPeerView *>()->isVisible());
    QCOMPARE(m_wired->count(), 1);
    for (int i = 0; i < 2; ++i) {
        m_scene->mainWindow()->hide();
        m_scene->mainWindow()->show();
        m_scene->show();
    }
    QCOMPARE(m_wired->count(), 1);

    ScriptedPeer peer;
    QVERIFY(peer.connectTo(m_shared->listener.serverPort()));
    peer.handshake(QStringLiteral("Shop"));
    peer.request(QStringLiteral("8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01"), QStringLiteral("https://shop.example/api/cart"));
    QTRY_COMPARE(m_shared->repository.exchanges().size(), qsizetype(1));
    QTRY_VERIFY(m_shared->logger.log().contains(QStringLiteral("Selecting connection: Shop")));
    m_shared->windowManager.toggleBottomView(BottomView::Metrics);
    auto *metrics = m_scene->mainWindow()->findChild<MetricsView *>();
    QVERIFY(metrics);
    QTest::mouseClick(metrics->graphButton(GraphType::RequestCount), Qt::LeftButton);
    auto *chart = qobject_cast<RequestAmountChart *>(metrics->chart());
    QVERIFY(chart);
    QCOMPARE(chart->viewModel().graphData().size(), 1);
    saveArtifact(m_scene->mainWindow(), QStringLiteral("main-window-metrics-count.png"));

    // The main window's selection reaches the details column, which leaves the connect screen.
    m_scene->selection().setMessageID(QUuid(QStringLiteral("8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01")));
    QTRY_VERIFY(!m_scene->mainWindow()->findChild<ConnectToPeerView *>());
    m_scene->selection().setMessageID(std::nullopt);
    QTRY_VERIFY(m_scene->mainWindow()->findChild<ConnectToPeerView *>());

    m_shared->windowManager.toggleBottomView(BottomView::Console);
    auto *console = m_scene->mainWindow()->findChild<ConsoleView *>();
    QVERIFY(console);
    QTRY_VERIFY(console->isVisible());
    QVERIFY(console->viewModel().log().contains(QStringLiteral("Selecting connection: Shop")));
    m_fixture->preferences.setPreferredColorScheme(PreferredColorScheme::Dark);
    QTRY_VERIFY(console->codeMirrorViewModel().darkMode());
    m_fixture->preferences.setPreferredColorScheme(PreferredColorScheme::System);
    QTRY_VERIFY(!console->codeMirrorViewModel().darkMode());
}

void TestMainScene::panelShortcutsWorkFromEveryWindow_data()
{
    QTest::addColumn<int>("n");
    for (int n = 1; n <= 5; ++n)
        QTest::addRow("Ctrl+Alt+%d opens the window of %s", n, qPrintable(rawValue(kPanels[std::size_t(n - 1)]))) << n;
}

void TestMainScene::panelShortcutsWorkFromEveryWindow()
{
    QFETCH(int, n);
    const SideView view = kPanels[std::size_t(n - 1)];
    m_shared->windowManager.toggle(view);

    // The window shortcut takes the panel out of the sidebar into one window; again, it raises it.
    pressInActiveWindow(m_scene->mainWindow(), digitKey(n), Qt::ControlModifier | Qt::AltModifier);
    PanelWindow *window = m_scene->panelWindow(view);
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(m_shared->windowManager.windows(), QSet<SideView>{view});
    QCOMPARE(m_shared->windowManager.sideView(), SideView::None);
    pressInActiveWindow(m_scene->mainWindow(), digitKey(n), Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(m_scene->panelWindow(view), window);
    QTRY_COMPARE(QApplication::activeWindow(), window);

    // The sidebar shortcut of another panel works from this window, which has no menu bar.
    const int other = n % 5 + 1;
    pressInActiveWindow(window, digitKey(other), Qt::ControlModifier);
    QCOMPARE(m_shared->windowManager.sideView(), kPanels[std::size_t(other - 1)]);
    pressInActiveWindow(window, digitKey(other), Qt::ControlModifier);
    QCOMPARE(m_shared->windowManager.sideView(), SideView::None);
}

// Without a window manager to place them (and with one that does not cascade), windows opened at
// one spot would hide each other whole.
void TestMainScene::panelWindowsOpenOneStepApartAndCloseAlone()
{
    QList<QPoint> places;
    for (SideView view : {SideView::Settings, SideView::Milestone, SideView::Deeplink}) {
        PanelWindow *window = openWindow(view);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(window->screen()->availableGeometry().contains(window->pos()));
        places.append(window->pos());
    }
    QVERIFY(places.at(1).x() > places.at(0).x() && places.at(1).y() > places.at(0).y());
    QCOMPARE(places.at(2) - places.at(1), places.at(1) - places.at(0));

    // Closing one forgets it alone, and its window goes.
    m_scene->panelWindow(SideView::Milestone)->close();
    QCOMPARE(m_shared->windowManager.windows(), (QSet<SideView>{SideView::Settings, SideView::Deeplink}));
    QTRY_VERIFY(!m_scene->panelWindow(SideView::Milestone));

    // Far down the screen, the next window starts again near its top.
    PanelWindow *last = m_scene->panelWindow(SideView::Deeplink);
    const QRect area = last->screen()->availableGeometry();
    last->move(area.bottomRight() - QPoint(20, 20));
    PanelWindow *user = openWindow(SideView::User);
    QVERIFY(area.contains(user->pos()));
    QVERIFY(user->pos().y() < area.center().y());
}

// A second instance on a fixed port that is taken must not pretend to serve: one alert, and the
// console holds the reason.
void TestMainScene::aServerThatCannotListenIsAnnouncedOnce()
{
    QVERIFY(!m_shared->listener.alertViewState()); // the healthy start of init() raised none

    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::LocalHost));
    SceneFixture second([](const QUrl &) { return true; }, occupant.serverPort());
    MorvendaListener &listener = second.shared->listener;
    QVERIFY(!listener.isListening());
    QSignalSpy alerts(&listener, &MorvendaListener::alertViewStateChanged);
    second.scene->show();
    QVERIFY(QTest::qWaitForWindowExposed(second.scene->mainWindow()));
    QCOMPARE(alerts.count(), 1);
    QCOMPARE(listener.alertViewState()->title, L10n::text("Listener.unableToStartTitle"));
    const QString port = QString::number(occupant.serverPort());
    QVERIFY2(listener.alertViewState()->message->contains(QStringLiteral("port ") + port),
        qPrintable(*listener.alertViewState()->message));
    // The connect screen behind the alert does not claim to serve.
    const auto states = second.scene->mainWindow()->findChildren<QLabel *>(QStringLiteral("serverState"));
    QVERIFY(!states.isEmpty());
    for (const QLabel *state : states)
        QCOMPARE(state->text(), L10n::text("Connection.serverNotRunning"));
    QVERIFY(second.shared->logger.log().join(QLatin1Char('\n')).contains(QStringLiteral("Unable to start listener")));
    second.scene->mainWindow()->hide();
    second.scene->show();
    QCOMPARE(alerts.count(), 1);
}

// The help menu and the toolbar's help button share one dialog, whose articles open through the
// scene; preferences is one window however often it is asked for; quitting closes them all.
void TestMainScene::oneHelpAndOnePreferencesWindowCloseWithTheMainWindow()
{
    QAction *help = m_scene->commands()->helpAction();
    help->trigger();
    HelpView *dialog = m_scene->helpView();
    QVERIFY(dialog && dialog->isVisible());
    help->trigger();
    QVERIFY(!dialog->isVisible());
    QTest::mouseClick(m_scene->mainWindow()->toolbar()->findChild<HelpButton *>(), Qt::LeftButton);
    QCOMPARE(m_scene->helpView(), dialog);
    QVERIFY(dialog->isVisible());
    QListWidget *list = dialog->list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(dialog->itemFor(Help::Metrics)).center());
    QCOMPARE(m_opened, QList<QUrl>{*helpUrl(Help::Metrics)});

    m_scene->commands()->preferencesAction()->trigger();
    PreferencesView *preferences = m_scene->preferencesView();
    QVERIFY(preferences && preferences->isVisible());
    m_scene->commands()->preferencesAction()->trigger();
    QCOMPARE(m_scene->preferencesView(), preferences);
    openWindow(SideView::Settings);
    openWindow(SideView::Milestone);

    QSignalSpy quit(m_scene, &MainScene::quitRequested);
    m_scene->commands()->quitAction()->trigger();
    QCOMPARE(quit.count(), 1);
    QVERIFY(!m_scene->mainWindow()->isVisible());
    QTRY_VERIFY(!m_scene->panelWindow(SideView::Settings));
    QTRY_VERIFY(!m_scene->panelWindow(SideView::Milestone));
    QVERIFY(!dialog->isVisible());
    QTRY_VERIFY(!m_scene->preferencesView());
    QVERIFY(m_shared->windowManager.windows().isEmpty());
}

void TestMainScene::anAlertOpensOverThePanelWindowInUse()
{
    PanelWindow *panel = openWindow(SideView::User);
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

    // From the main window, the alert of a failed save stays on the main window.
    activate(m_scene->mainWindow());
    m_scene->commands()->saveAction()->trigger();
    auto *saving = m_scene->mainWindow()->findChild<QFileDialog *>();
    QVERIFY(saving);
    QTRY_VERIFY(saving->isVisible());
    saving->selectFile(m_fixture->dir.filePath(QStringLiteral("missing-folder/session.json")));
    static_cast<QDialog *>(saving)->accept();
    QTRY_VERIFY(boxOver(m_scene->mainWindow()));
    QCOMPARE(m_shared->listener.alertViewState()->title, L10n::text("FileSaver.failedTitle"));
    QVERIFY(!boxOver(panel));
    boxOver(m_scene->mainWindow())->button(QMessageBox::Ok)->click();
}

void TestMainScene::aLinkThatCannotBeOpenedIsSaidWithTheLinkToCopy_data()
{
    QTest::addColumn<bool>("fromPanel");
    QTest::addRow("an article of the help dialog") << false;
    QTest::addRow("the help button of a panel in its window") << true;
}

// With no browser to open it, a click on a link used to do nothing on screen at all.
void TestMainScene::aLinkThatCannotBeOpenedIsSaidWithTheLinkToCopy()
{
    QFETCH(bool, fromPanel);
    m_browserOpens = false;
    QWidget *over = m_scene->mainWindow();
    if (fromPanel) {
        over = openWindow(SideView::Impersonation);
        QVERIFY(QTest::qWaitForWindowExposed(over));
        activate(over);
        auto *help = over->findChild<HelpButton *>();
        QVERIFY(help);
        help->trigger();
    } else {
        m_scene->showHelp();
        m_scene->helpView()->openArticle(Help::Metrics);
    }
    QCOMPARE(m_opened.size(), 1);
    const QString link = m_opened.first().toString();
    const auto &alert = m_shared->listener.alertViewState();
    QVERIFY(alert);
    QCOMPARE(alert->title, L10n::text("Link.unableToOpenTitle"));
    QVERIFY2(alert->message && alert->message->contains(link), qPrintable(alert->message.value_or(QString())));
    QVERIFY(m_shared->logger.log().join(QLatin1Char('\n')).contains(link));

    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = m_scene->mainWindow()->findChild<QMessageBox *>()) || (box = over->findChild<QMessageBox *>()));
    QTRY_VERIFY(box->isVisible());
    QGuiApplication::clipboard()->clear();
    QAbstractButton *copy = nullptr;
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == L10n::text("Link.copy"))
            copy = button;
    }
    QVERIFY(copy);
    copy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), link);
}

void TestMainScene::onePressOfItsButtonShowsAPanelThatHasItsOwnWindow_data()
{
    QTest::addColumn<SideView>("view");
    for (SideView view : kPanels)
        QTest::addRow("%s", qPrintable(rawValue(view))) << view;
}

// The panel moves into the main window's side area with one press of its toolbar button, its own
// window closing; the button then stands for the panel shown there.
void TestMainScene::onePressOfItsButtonShowsAPanelThatHasItsOwnWindow()
{
    QFETCH(SideView, view);
    QPointer<PanelWindow> window = openWindow(view);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    SideToolbarButton *button = nullptr;
    for (auto *candidate : m_scene->mainWindow()->findChildren<SideToolbarButton *>()) {
        if (candidate->view() == view)
            button = candidate;
    }
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_shared->windowManager.sideView(), view);
    QVERIFY(m_shared->windowManager.windows().isEmpty());
    QTRY_VERIFY(!window);
    auto *details = m_scene->mainWindow()->findChild<MorvendaDetailsView *>();
    QTRY_VERIFY(details->sidePanel() && details->sidePanel()->isVisible());
    QCOMPARE(button->tint(), std::optional(NamedColor::Blue));
}

QTEST_MAIN(TestMainScene)
#include "tst_mainscene.moc"
