// The stored users in the application's start-up, with the shared objects and the main window
// built as the program builds them.
#include "UsersFixtures.h"
#include "tests/support/SceneFixture.h"

#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/users/ui/ImpersonationListView.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace UsersFixtures;

class TestStoredUsersStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Morvenda"));
        QCoreApplication::setApplicationName(QStringLiteral("Morvenda"));
        QVERIFY(!qEnvironmentVariableIsEmpty("XDG_DATA_HOME"));
    }
    void init()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }
    void cleanup() { m_fixture.reset(); }

    void theUpdaterStartsOnceWithTheMainWindow()
    {
        build();
        QCOMPARE(m_shared->userStore->path(), ImpersonateUserStore::defaultPath());
        QVERIFY(m_shared->userStore->path().startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
        Reported reported;
        m_shared->userManager.storeUser(QStringLiteral("app"), reported.user());
        QVERIFY(!*m_shared->userStore->fetchByToken(reported.token)); // no window yet

        m_scene->show();
        QTRY_VERIFY(m_shared->impersonateUpdater.waiting().isEmpty());
        const auto stored = m_shared->userStore->fetchByToken(reported.token);
        QVERIFY(stored && *stored);

        // The developer deletes the user; showing the window again must not bring it back.
        QVERIFY(*m_shared->userStore->remove((*stored)->id));
        m_scene->mainWindow()->hide();
        m_scene->show();
        QVERIFY(m_shared->impersonateUpdater.waiting().isEmpty());
        QVERIFY(!*m_shared->userStore->fetchByToken(reported.token));
        QVERIFY(!m_shared->listener.alertViewState());
    }

    void aDamagedStoreIsSaidOnceTheWindowIsUp()
    {
        const QString path = ImpersonateUserStore::defaultPath();
        QVERIFY(writeFile(path, QByteArray(4096, '\x01')));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a usable database")));
        build();
        const std::optional<QString> aside = m_shared->userStore->recoveredFile();
        QVERIFY(aside);
        QVERIFY(!m_shared->listener.alertViewState());

        QSignalSpy alerts(&m_shared->listener, &MorvendaListener::alertViewStateChanged);
        m_scene->show();
        QCOMPARE(alerts.size(), 1);
        const auto alert = alerts.at(0).at(0).value<Alert::ViewState>();
        QCOMPARE(alert.title, QStringLiteral("The stored users could not be read"));
        QVERIFY(alert.message && alert.message->contains(*aside));
        m_scene->mainWindow()->hide();
        m_scene->show();
        QCOMPARE(alerts.size(), 1);
        QVERIFY(m_shared->userStore->addUser(QStringLiteral("t"), QString()));
    }

    // Viewing traffic needs no stored users: a data folder that cannot be made runs the program
    // on, says so once, and the stored-users panel says so in place of its list.
    void anUnwritableDataFolderRunsWithoutStoredUsers()
    {
        QTemporaryDir home;
        const QString blocked = home.filePath(QStringLiteral("data"));
        QVERIFY(writeFile(blocked, "a file where the data folder belongs"));
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocked));
        const QString path = ImpersonateUserStore::defaultPath();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("running without stored users")));
        build();
        qputenv("XDG_DATA_HOME", dataHome);
        QVERIFY(!m_shared->userStore->isAvailable());

        QSignalSpy alerts(&m_shared->listener, &MorvendaListener::alertViewStateChanged);
        m_scene->show();
        QCOMPARE(alerts.size(), 1);
        const auto alert = alerts.at(0).at(0).value<Alert::ViewState>();
        QCOMPARE(alert.title, QStringLiteral("The stored users are unavailable"));
        QVERIFY2(alert.message && alert.message->contains(path)
                && alert.message->contains(blocked + QStringLiteral(" is not a folder")),
            qPrintable(alert.message.value_or(QString())));

        // Reports and the panel add nothing to say.
        m_shared->userManager.storeUser(QStringLiteral("app"), Reported{}.user());
        std::unique_ptr<QWidget> panel(m_scene->makePanel(SideView::Impersonation));
        auto *list = panel->findChild<ImpersonationListView *>();
        QVERIFY(list);
        panel->show();
        QVERIFY(list->isShowingLoading());
        const QList<QLabel *> labels = list->findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](const QLabel *label) {
            return label->isVisible() && label->text() == QStringLiteral("The stored users are unavailable");
        }));
        QVERIFY(!list->addUserButton()->isEnabled());
        QCOMPARE(alerts.size(), 1);
    }

    // A report that cannot be stored on a full disk is said on screen, once for a run of them;
    // the reports wait and are stored once there is room again.
    void aFullDiskIsSaidOnScreenOnce()
    {
        SmallDisk disk(QStringLiteral("512k"));
        if (!disk.isMounted()) {
            QSKIP("mounting a tmpfs is not allowed here");
        }
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(disk.filePath(QStringLiteral("data"))));
        build();
        qputenv("XDG_DATA_HOME", dataHome);
        m_scene->show();
        QSignalSpy alerts(&m_shared->listener, &MorvendaListener::alertViewStateChanged);

        disk.fill();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("was not stored")));
        const QString longName(20000, QLatin1Char('n'));
        m_shared->userManager.storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-1"), .name = longName}.user());
        m_shared->userManager.storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-2"), .name = longName}.user());
        QTRY_COMPARE(alerts.size(), 1);
        const auto alert = alerts.at(0).at(0).value<Alert::ViewState>();
        QCOMPARE(alert.title, QStringLiteral("Unable to save user"));
        QVERIFY2(alert.message && alert.message->contains(QStringLiteral("full"))
                && alert.message->contains(QStringLiteral("stored as soon as")),
            qPrintable(alert.message.value_or(QString())));

        disk.freeSpace();
        QTRY_VERIFY_WITH_TIMEOUT(m_shared->impersonateUpdater.waiting().isEmpty(), 10000);
        QVERIFY(*m_shared->userStore->fetchByToken(QStringLiteral("u-1")));
        QVERIFY(*m_shared->userStore->fetchByToken(QStringLiteral("u-2")));
        QCOMPARE(alerts.size(), 1);
        m_fixture.reset();
    }

private:
    void build()
    {
        m_fixture = std::make_unique<SceneFixture>();
        m_shared = m_fixture->shared.get();
        m_scene = m_fixture->scene.get();
    }

    std::unique_ptr<SceneFixture> m_fixture;
    SharedObjects *m_shared = nullptr;
    MainScene *m_scene = nullptr;
};

QTEST_MAIN(TestStoredUsersStartup)
#include "tst_storedusers_startup.moc"
