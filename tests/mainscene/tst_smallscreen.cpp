// The program's windows on a 1280×720 screen whose windows get frames (the offscreen platform set
// up before the application starts): every window it opens lies inside the screen's available
// area, preferences opens over the main window, and apps that connect never make the main window
// taller.
#include "tests/support/Artifacts.h"
#include "tests/support/SceneFixture.h"
#include "tests/support/ScriptedPeer.h"

#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/MorvendaCommands.h"
#include "MorvendaApp/MainScene/PanelWindow.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/shell/HelpView.h"
#include "MorvendaApp/shell/PreferencesView.h"
#include "MorvendaApp/users/ui/ImpersonateUserCreationView.h"
#include "MorvendaApp/users/ui/ImpersonationListView.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr QSize kScreen{1280, 720};
// A second, smaller screen to the right of the first.
constexpr QSize kSmallest{800, 500};

Request request(const QUuid &id)
{
    return Request(id, Url::fromText(QStringLiteral("https://shop.example/api/catalog/p_8f3a/variants?size=M&q=a+b")),
        Method::Post, 1709634133.0, QStringLiteral("{\"items\": [1, 2]}"),
        {{QStringLiteral("Content-Type"), QStringLiteral("application/json")},
            {QStringLiteral("Cookie"), QStringLiteral("session=4f2a; theme=dark")}});
}

Response response(const QUuid &id)
{
    return Response(id, QUuid::createUuid(), 200, Url::fromText(QStringLiteral("https://shop.example/api/cart")),
        Response::Source::Network, 1709634134.0, {{QStringLiteral("Set-Cookie"), QStringLiteral("id=7; Path=/")}},
        QStringLiteral("[1]"));
}
} // namespace

class TestSmallScreen : public QObject
{
    Q_OBJECT

private slots:
    void everyWindowOpensInsideTheScreen();
    void theDetailsFitTheSmallestScreen();
    void connectingAppsNeverGrowsTheMainWindow();

private:
    static void verifyInside(QWidget *window, const char *what);
};

void TestSmallScreen::verifyInside(QWidget *window, const char *what)
{
    QVERIFY2(window, what);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QRect area = window->screen()->availableGeometry();
    QVERIFY2(area.contains(window->frameGeometry()),
        qPrintable(QStringLiteral("%1 at (%2,%3) %4×%5 is not inside the screen's %6×%7")
                       .arg(QLatin1StringView(what))
                       .arg(window->frameGeometry().x())
                       .arg(window->frameGeometry().y())
                       .arg(window->frameGeometry().width())
                       .arg(window->frameGeometry().height())
                       .arg(area.width())
                       .arg(area.height())));
    // Nothing of the window's content is cut: it has at least the room its layout asks for.
    QVERIFY2(window->width() >= window->minimumSizeHint().width() && window->height() >= window->minimumSizeHint().height(),
        what);
}

void TestSmallScreen::everyWindowOpensInsideTheScreen()
{
    QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), kScreen);
    SceneFixture fixture;
    MainScene &scene = *fixture.scene;
    scene.show();
    verifyInside(scene.mainWindow(), "the main window");

    for (SideView view : {SideView::User, SideView::Impersonation, SideView::Settings, SideView::Milestone,
             SideView::Deeplink}) {
        scene.commands()->windowAction(view)->trigger();
        verifyInside(scene.panelWindow(view), qPrintable(PanelWindow::title(view)));
    }

    auto *users = scene.panelWindow(SideView::Impersonation)->findChild<ImpersonationListView *>();
    QVERIFY(users);
    ImpersonateUserCreationView *sheet = users->presentAddUser();
    verifyInside(sheet, "the add-user sheet");
    saveArtifact(sheet, QStringLiteral("smallscreen-add-user.png"));
    sheet->reject();

    scene.commands()->preferencesAction()->trigger();
    PreferencesView *preferences = scene.preferencesView();
    verifyInside(preferences, "preferences");
    const QPoint offCentre = preferences->frameGeometry().center() - scene.mainWindow()->frameGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 4, "preferences opens centred on the main window");

    scene.showHelp();
    verifyInside(scene.helpView(), "the help dialog");
    // Where the screen has room for it, the dialog has its full least size.
    QVERIFY(scene.helpView()->width() >= HelpView::kMinimumSize.width());
    QVERIFY(scene.helpView()->height() >= HelpView::kMinimumSize.height());
}

void TestSmallScreen::theDetailsFitTheSmallestScreen()
{
    QScreen *small = QGuiApplication::screens().value(1);
    QVERIFY(small);
    QCOMPARE(small->availableGeometry().size(), kSmallest);
    SceneFixture fixture;
    MainScene &scene = *fixture.scene;
    MainWindow *window = scene.mainWindow();
    window->setScreen(small);
    window->move(small->availableGeometry().topLeft());
    const QUuid id = QUuid::createUuid();
    fixture.shared->repository.addRequest(request(id), QStringLiteral("Retail app"));
    fixture.shared->repository.addResponse(response(id), QStringLiteral("Retail app"));
    scene.show();
    scene.selection().setMessageID(id);
    // The request's title and its five tabs ask for more than the details column gets here.
    verifyInside(window, "the main window with an exchange selected");
    saveArtifact(window, QStringLiteral("smallscreen-details.png"));

    // The windows it opens go to its screen, not the first one.
    scene.openPanelWindow(SideView::Impersonation);
    PanelWindow *panel = scene.panelWindow(SideView::Impersonation);
    verifyInside(panel, "the impersonation window on the smallest screen");
    QCOMPARE(panel->screen(), small);
    verifyInside(panel->findChild<ImpersonationListView *>()->presentAddUser(), "the add-user sheet on the smallest screen");

    // The help dialog is cut down to the screen, and its last article is reached by scrolling.
    scene.showHelp();
    HelpView *help = scene.helpView();
    verifyInside(help, "the help dialog on the smallest screen");
    QCOMPARE(help->screen(), small);
    help->list()->scrollToBottom();
    QListWidgetItem *last = help->list()->item(help->list()->count() - 1);
    QVERIFY(help->list()->viewport()->rect().contains(help->list()->visualItemRect(last)));
    saveArtifact(help, QStringLiteral("smallscreen-help.png"));
}

void TestSmallScreen::connectingAppsNeverGrowsTheMainWindow()
{
    SceneFixture fixture;
    MainScene &scene = *fixture.scene;
    MainWindow *window = scene.mainWindow();
    scene.show();
    fixture.shared->windowManager.toggleBottomView(BottomView::Console);
    verifyInside(window, "the main window with the console");
    const int least = window->minimumSizeHint().height();

    // Four apps with their users and an opened file fill the connect screen past the window's
    // height: the screen scrolls, and the window's least height stays what it was.
    std::vector<std::unique_ptr<ScriptedPeer>> apps;
    for (int i = 0; i < 4; ++i) {
        apps.push_back(std::make_unique<ScriptedPeer>());
        QVERIFY(apps.back()->connectTo(fixture.shared->listener.serverPort()));
        apps.back()->handshake(QStringLiteral("Retail app %1").arg(i + 1));
        apps.back()->user(QStringLiteral("Ada %1").arg(i + 1), QStringLiteral("tok-%1").arg(i + 1));
    }
    QTRY_COMPARE(fixture.shared->listener.connections().size(), 4);
    fixture.shared->fileHolder.appendFile(QStringLiteral("file:///tmp/morvenda-session-1.json"));
    QTest::qWait(200);
    saveArtifact(window, QStringLiteral("smallscreen-four-apps.png"));
    QCOMPARE(window->minimumSizeHint().height(), least);
    verifyInside(window, "the main window with four apps, a file and the console");
}

int main(int argc, char *argv[])
{
    // The screen is the offscreen platform's, configured before the application exists.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 2;
    file.write(QStringLiteral(R"({"windowFrameMargins": true, "screens": [{"name": "720p", "x": 0, "y": 0,
        "width": %1, "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}, {"name": "smallest",
        "x": %1, "y": 0, "width": %3, "height": %4, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                   .arg(kScreen.width())
                   .arg(kScreen.height())
                   .arg(kSmallest.width())
                   .arg(kSmallest.height())
                   .toUtf8());
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
    QApplication app(argc, argv);
    TestSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_smallscreen.moc"
