// The stored users in the application's start-up, with the shared objects and the main window
// built as the program builds them.
#include "UsersFixtures.h"
#include "tests/support/SceneFixture.h"

#include "MorvendaApp/MainScene/MainWindow.h"

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
        const auto stored = m_shared->userStore->fetchByToken(reported.token);
        QVERIFY(stored && *stored);

        // The developer deletes the user; showing the window again must not bring it back.
        QVERIFY(*m_shared->userStore->remove((*stored)->id));
        m_scene->mainWindow()->hide();
        m_scene->show();
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
