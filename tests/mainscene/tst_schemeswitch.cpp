// Switching the colour scheme while the windows are open: every panel, made in one scheme and
// switched to the other, must look exactly like the same panel made in the other scheme. A widget that
// keeps a colour or a tinted icon from the scheme it was made in shows here as differing pixels
// (the screenshots of both and their difference go to $MORVENDA_ARTIFACTS).
#include "tests/support/SceneFixture.h"

#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/PanelWindow.h"
#include "MorvendaApp/details/MorvendaDetailsView.h"
#include "MorvendaApp/shell/ConnectToPeerView.h"
#include "MorvendaApp/shell/PreferencesView.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/timeline/TimelineView.h"
#include "MorvendaApp/users/ui/ImpersonateUserCreationView.h"
#include "MorvendaApp/users/ui/ImpersonationListView.h"

#include <QDir>
#include <QTcpSocket>

#include <tuple>
#include <QSplitter>
#include <QTest>

namespace {

const QString kApp = QStringLiteral("Retail app");
const QUuid kExchange = QUuid::fromString(QStringLiteral("{3a6359db-a608-47e4-b17e-e7cf24616527}"));

enum class Place { ConnectScreen, Timeline, Details, UserPanel, UserSide, ImpersonationPanel, AddUserSheet, SettingsPanel, Preferences, Help };

// One scene with its windows open, as the developer left them.
struct OpenScene
{
    explicit OpenScene(PreferredColorScheme scheme)
    {
        fixture.preferences.setPreferredColorScheme(scheme);
        // Two opened files, one of them chosen: the connect screen's file list with both marks.
        fixture.shared->fileHolder.appendFile(QStringLiteral("file:///tmp/monday.json"));
        fixture.shared->fileHolder.appendFile(QStringLiteral("file:///tmp/tuesday.json"));
        fixture.shared->fileHolder.setOpenedFile(QStringLiteral("file:///tmp/tuesday.json"));
        fixture.scene->show();
        for (SideView view : {SideView::User, SideView::Impersonation, SideView::Settings, SideView::Milestone, SideView::Deeplink})
            fixture.scene->openPanelWindow(view);
        fixture.scene->showPreferences();
        fixture.scene->showHelp();
    }

    void selectExchange()
    {
        MessageRepository &repository = fixture.shared->repository;
        repository.addRequest(Request(kExchange, Url::fromText(QStringLiteral("https://shop.example/api/cart?currency=EUR")),
                                  Method::Post, 1709634133.0, QStringLiteral("{}"),
                                  {{QStringLiteral("Accept"), QStringLiteral("application/json")}}),
            kApp);
        repository.addResponse(Response(kExchange, kExchange, 404, Url::fromText(QStringLiteral("https://shop.example/api/cart")),
                                   Response::Source::Network, 1709634134.0, {}, QStringLiteral("[]")),
            kApp);
        fixture.scene->selection().setMessageID(kExchange);
    }

    // The active app has reported its user: the user panels show its rows and their dividers.
    void reportUser()
    {
        auto app = std::make_shared<MorvendaConnection>(new QTcpSocket);
        app->setDisplayName(kApp);
        fixture.shared->userManager.storeUser(kApp,
            User::withTags(QStringLiteral("Fiona Marsh"), QStringLiteral("u_8f2c61"), QStringLiteral("fiona@corner.example"),
                {QStringLiteral("orders.read"), QStringLiteral("orders.write")}, std::nullopt, false, false, false,
                {UserTag::AccountOwner, UserTag::PlaceOrder}, std::nullopt, std::nullopt));
        fixture.shared->listener.setActiveConnection(app);
        fixture.shared->windowManager.setSideView(SideView::User);
    }

    QWidget *widget(Place place) const
    {
        MainScene &scene = *fixture.scene;
        auto *impersonation = scene.panelWindow(SideView::Impersonation);
        switch (place) {
        case Place::ConnectScreen:
            return scene.mainWindow()->findChild<ConnectToPeerView *>();
        case Place::Timeline:
            return scene.mainWindow()->findChild<TimelineView *>();
        case Place::Details:
            return scene.mainWindow()->findChild<MorvendaDetailsView *>();
        case Place::UserPanel:
            return scene.panelWindow(SideView::User);
        case Place::UserSide:
            return scene.mainWindow()->findChild<MorvendaDetailsView *>()->sidePanel();
        case Place::ImpersonationPanel:
            return impersonation;
        case Place::AddUserSheet:
            return impersonation ? impersonation->findChild<ImpersonationListView *>()->presentAddUser() : nullptr;
        case Place::SettingsPanel:
            return scene.panelWindow(SideView::Settings);
        case Place::Preferences:
            return scene.preferencesView();
        case Place::Help:
            return scene.helpView();
        }
        return nullptr;
    }

    SceneFixture fixture;
};

// Pixels whose colour differs by more than a rounding step in any channel.
qint64 differingPixels(const QImage &a, const QImage &b, QImage *difference)
{
    *difference = QImage(a.size(), QImage::Format_RGB32);
    difference->fill(Qt::white);
    qint64 count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) > 2 || std::abs(p.green() - q.green()) > 2 || std::abs(p.blue() - q.blue()) > 2) {
                ++count;
                difference->setPixelColor(x, y, Qt::red);
            }
        }
    }
    return count;
}

} // namespace

class TestSchemeSwitch : public QObject
{
    Q_OBJECT

private slots:
    void aSwitchedPanelLooksLikeOneMadeInItsNewScheme_data();
    void aSwitchedPanelLooksLikeOneMadeInItsNewScheme();
};

void TestSchemeSwitch::aSwitchedPanelLooksLikeOneMadeInItsNewScheme_data()
{
    QTest::addColumn<Place>("place");
    QTest::addColumn<bool>("withExchange");
    QTest::addColumn<bool>("toLight");
    const QList<std::tuple<const char *, Place, bool>> places = {
        {"the connect screen", Place::ConnectScreen, false},
        {"the timeline with a row selected", Place::Timeline, true},
        {"the details of an exchange", Place::Details, true},
        {"the user panel's window", Place::UserPanel, false},
        {"the user panel in the side area", Place::UserSide, false},
        {"the impersonation panel's window", Place::ImpersonationPanel, false},
        {"the add-user sheet", Place::AddUserSheet, false},
        {"the settings panel's window", Place::SettingsPanel, false},
        {"preferences", Place::Preferences, false},
        {"the help dialog", Place::Help, false},
    };
    for (bool toLight : {true, false}) {
        for (const auto &[name, place, withExchange] : places)
            QTest::addRow("%s, %s", name, toLight ? "dark to light" : "light to dark") << place << withExchange << toLight;
    }
}

void TestSchemeSwitch::aSwitchedPanelLooksLikeOneMadeInItsNewScheme()
{
    QFETCH(Place, place);
    QFETCH(bool, withExchange);
    QFETCH(bool, toLight);
    const PreferredColorScheme from = toLight ? PreferredColorScheme::Dark : PreferredColorScheme::Light;
    const PreferredColorScheme to = toLight ? PreferredColorScheme::Light : PreferredColorScheme::Dark;

    const bool withUser = place == Place::UserPanel || place == Place::UserSide;
    OpenScene switched(from);
    if (withExchange)
        switched.selectExchange();
    if (withUser)
        switched.reportUser();
    QWidget *before = switched.widget(place);
    QVERIFY(before);
    QVERIFY(QTest::qWaitForWindowExposed(before->window()));
    before->grab(); // drawn once in the first scheme
    switched.fixture.preferences.setPreferredColorScheme(to);

    OpenScene fresh(to);
    if (withExchange)
        fresh.selectExchange();
    if (withUser)
        fresh.reportUser();
    QWidget *after = fresh.widget(place);
    QVERIFY(after);
    QVERIFY(QTest::qWaitForWindowExposed(after->window()));
    QCOMPARE(after->size(), before->size());

    // Deferred updates (styles, icons refreshed on the next turn) have run.
    QTest::qWait(50);
    const QImage made = after->grab().toImage();
    const QImage renewed = before->grab().toImage();
    QImage difference;
    const qint64 differing = differingPixels(renewed, made, &difference);
    if (const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS"); differing > 0 && !dir.isEmpty()) {
        QDir().mkpath(dir);
        const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
        renewed.save(QStringLiteral("%1/scheme-switched-%2.png").arg(dir, name));
        made.save(QStringLiteral("%1/scheme-made-%2.png").arg(dir, name));
        difference.save(QStringLiteral("%1/scheme-difference-%2.png").arg(dir, name));
    }
    QCOMPARE(differing, 0);
}

QTEST_MAIN(TestSchemeSwitch)
#include "tst_schemeswitch.moc"
