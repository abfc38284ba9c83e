// The stored users in the application's start-up: the store opened in the data folder with the
// shared objects, the updater started once with the main window, and a damaged store said once
// that window is up.
#include "UsersFixtures.h"

#include "MorvendaApp/MainScene/MainScene.h"
#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/SharedObjects.h"
#include "MorvendaApp/shell/Preferences.h"

#include <QApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
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
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<QSettings>(m_dir->filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
        m_preferences = std::make_unique<Preferences>(*m_settings);
    }
    void cleanup()
    {
        m_scene.reset();
        m_shared.reset();
        m_preferences.reset();
        m_settings.reset();
    }

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
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, '\x01'));
        file.close();

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
        m_shared = std::make_unique<SharedObjects>(MorvendaListener::Options{QHostAddress::LocalHost, false});
        m_scene = std::make_unique<MainScene>(*m_shared, *m_preferences, [](const QUrl &) {});
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<SharedObjects> m_shared;
    std::unique_ptr<MainScene> m_scene;
};

QTEST_MAIN(TestStoredUsersStartup)
#include "tst_storedusers_startup.moc"
