// The real program and its stored users across restarts: a reported user is stored, the
// developer's favourite and notes survive a restart and a new report, and a store written by a
// newer program stops it with the reason and stays untouched.
#include "UsersFixtures.h"

#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "tests/support/ScriptedPeer.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace UsersFixtures;

namespace {
QByteArray userFrame(const char *email)
{
    return QByteArrayLiteral(R"({"user":{"name":"Ulla","token":"u-token","email":")") + email
        + R"(","capabilities":[],"isImpersonating":false,"isSubuser":false,"isAdmin":false,"tags":["subuser"],)"
          R"("retailer":{"name":"Shop","token":"r-1","isActive":true,"country":"GER"}}})";
}
} // namespace

class TestStoredUsersApp : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_data = std::make_unique<QTemporaryDir>();
        m_port = ScriptedPeer::freePort();
    }
    void cleanup()
    {
        stop();
        m_data.reset();
    }

    void favouriteAndNotesSurviveRestartAndNewReports()
    {
        start();
        {
            ScriptedPeer app;
            QVERIFY(connectApp(app));
            app.send(userFrame("first@example.com"));
            QTRY_VERIFY_WITH_TIMEOUT(!storePath().isEmpty(), 10000);
            RawDatabase raw(storePath());
            QTRY_COMPARE_WITH_TIMEOUT(raw.value("SELECT email FROM stored_user WHERE user_token = 'u-token'"),
                QStringLiteral("first@example.com"), 10000);

            // What the developer does in the window while the program runs: the same store calls.
            auto store = openStore(storePath());
            QVERIFY(store);
            const auto stored = store->fetchByToken(QStringLiteral("u-token"));
            QVERIFY(stored && *stored);
            QVERIFY(store->setFavorite((*stored)->id, true));
            QVERIFY(store->setNotes((*stored)->id, QStringLiteral("checkout tester")));
        }
        stop();

        start();
        ScriptedPeer app;
        QVERIFY(connectApp(app));
        app.send(userFrame("second@example.com"));
        RawDatabase raw(storePath());
        QTRY_COMPARE_WITH_TIMEOUT(raw.value("SELECT group_concat(email || ' ' || favorite || ' ' || notes || ' ' || retailer_token)"
                                            " FROM stored_user"),
            QStringLiteral("second@example.com 1 checkout tester r-1"), 10000);
    }

    void newerStoreStopsTheProgramAndStaysUntouched()
    {
        const QString folder = m_data->filePath(QStringLiteral("Morvenda/Morvenda"));
        const QString path = folder + QLatin1Char('/') + ImpersonateUserStore::fileName();
        {
            auto store = openStore(path);
            QVERIFY(store);
            QVERIFY(store->addUser(QStringLiteral("t"), QStringLiteral("n")));
        }
        {
            RawDatabase raw(path);
            QVERIFY(raw.exec("PRAGMA journal_mode=DELETE; PRAGMA user_version = 99"));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        start(QProcess::SeparateChannels);
        // The reason is on stderr at once; the message box then waits for the developer.
        QTRY_VERIFY_WITH_TIMEOUT(m_stderr.append(m_app->readAllStandardError()).contains("newer version"), 10000);
        QVERIFY(m_stderr.contains(QFile::encodeName(path)));
        ScriptedPeer app;
        QVERIFY(!app.connectTo(m_port));
        stop();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QVERIFY(QDir(folder).entryList({QStringLiteral("*.corrupt-*")}).isEmpty());
    }

private:
    void start(QProcess::ProcessChannelMode mode = QProcess::ForwardedErrorChannel)
    {
        m_app = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MORVENDA_PORT"), QString::number(m_port));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_data->path());
        m_app->setProcessEnvironment(env);
        m_app->setProcessChannelMode(mode);
        m_stderr.clear();
        m_app->start(QStringLiteral(MORVENDA_EXECUTABLE), {});
        QVERIFY(m_app->waitForStarted(10000));
    }
    void stop()
    {
        if (m_app && m_app->state() != QProcess::NotRunning) {
            m_app->terminate();
            if (!m_app->waitForFinished(10000)) {
                m_app->kill();
                m_app->waitForFinished();
            }
        }
        m_app.reset();
    }
    bool connectApp(ScriptedPeer &app)
    {
        const bool connected = QTest::qWaitFor([&] {
            if (m_app->state() == QProcess::NotRunning || app.connectTo(m_port)) {
                return true;
            }
            app.socket().abort();
            QTest::qWait(50);
            return false;
        }, 20000) && app.isConnected();
        if (!connected) {
            return false;
        }
        app.handshake(QStringLiteral("Shop app"));
        return QTest::qWaitFor([&] { return !app.frames().isEmpty(); }, 10000);
    }
    QString storePath() const
    {
        QDirIterator files(m_data->path(), {ImpersonateUserStore::fileName()}, QDir::Files, QDirIterator::Subdirectories);
        return files.hasNext() ? files.next() : QString();
    }

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QProcess> m_app;
    quint16 m_port = 0;
    QByteArray m_stderr;
};

QTEST_GUILESS_MAIN(TestStoredUsersApp)
#include "tst_storedusers_app.moc"
