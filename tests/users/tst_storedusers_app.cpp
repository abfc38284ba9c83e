// The real program and its stored users across starts: what the developer set survives a restart
// and a new report of the same user; a store of a newer version stops the program untouched; a
// data folder that cannot be written leaves the program serving apps. The rest of the stored
// users' start-up is checked in process by the start-up test.
#include "UsersFixtures.h"

#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "tests/support/ScriptedPeer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace UsersFixtures;

namespace {

// The program on a port of its own with `dataHome` as its data folder; killed when it goes.
class Program
{
public:
    explicit Program(const QString &dataHome)
        : port(ScriptedPeer::freePort())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MORVENDA_PORT"), QString::number(port));
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(MORVENDA_EXECUTABLE), {});
    }
    ~Program()
    {
        process.kill();
        process.waitForFinished(10000);
    }
    // Stderr so far.
    const QByteArray &errors() { return m_errors.append(process.readAllStandardError()); }

    const quint16 port;
    QProcess process;

private:
    QByteArray m_errors;
};

QByteArray reportedUser(const QString &name)
{
    return QByteArrayLiteral(R"({"user":{"name":")") + name.toUtf8()
        + QByteArrayLiteral(R"(","token":"u-1","capabilities":[],"isImpersonating":false,"isSubuser":false,)"
                            R"("isAdmin":false,"tags":["subuser"]}})");
}

} // namespace

class TestStoredUsersApp : public QObject
{
    Q_OBJECT

private slots:
    void favouriteAndNotesSurviveARestartAndANewReport()
    {
        QTemporaryDir data;
        const QString path = data.filePath(QStringLiteral("Morvenda/Morvenda/")) + ImpersonateUserStore::fileName();
        reportInOneRun(data.path(), path, QStringLiteral("Ann"));
        if (QTest::currentTestFailed()) {
            return;
        }
        // What the developer sets in the window, set here while the program is not running.
        {
            auto store = openStore(path);
            QVERIFY(store);
            const ImpersonateUserData stored = **store->fetchByToken(QStringLiteral("u-1"));
            QVERIFY(store->setFavorite(stored.id, true));
            QVERIFY(store->setNotes(stored.id, QStringLiteral("test account")));
        }
        reportInOneRun(data.path(), path, QStringLiteral("Ann Again"));
        if (QTest::currentTestFailed()) {
            return;
        }
        auto store = openStore(path);
        QVERIFY(store);
        QCOMPARE(store->fetchAll()->size(), 1);
        QCOMPARE(fieldsOf(**store->fetchByToken(QStringLiteral("u-1"))),
            QStringLiteral("u-1|-|-|-|Ann Again|-|-|favorite|test account|[subuser]"));
    }

    void newerStoreStopsTheProgramAndStaysUntouched()
    {
        QTemporaryDir data;
        const QString folder = data.filePath(QStringLiteral("Morvenda/Morvenda"));
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

        {
            Program program(data.path());
            QVERIFY(program.process.waitForStarted(10000));
            // The reason is on stderr at once; the message box then waits for the developer.
            QTRY_VERIFY_WITH_TIMEOUT(program.errors().contains("newer version"), 10000);
            QVERIFY(program.errors().contains(QFile::encodeName(path)));
            ScriptedPeer app;
            QVERIFY(!app.connectTo(program.port));
        }

        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QVERIFY(QDir(folder).entryList({QStringLiteral("*.corrupt-*")}).isEmpty());
    }

    void anUnwritableDataFolderLeavesTheProgramServing()
    {
        QTemporaryDir home;
        // A file where the data folder belongs: nothing can be made in it, not even by root.
        const QString blocked = home.filePath(QStringLiteral("data"));
        QVERIFY(writeFile(blocked, "not a folder"));
        Program program(blocked);
        QVERIFY(program.process.waitForStarted(10000));
        ScriptedPeer app;
        QTRY_VERIFY_WITH_TIMEOUT(app.connectTo(program.port), 20000);
        app.handshake(QStringLiteral("Shop"));
        app.send(reportedUser(QStringLiteral("Ann")));
        QTRY_VERIFY_WITH_TIMEOUT(program.errors().contains("running without stored users"), 10000);
        QVERIFY(program.errors().contains(QFile::encodeName(blocked)));
        QCOMPARE(program.process.state(), QProcess::Running);
    }

private:
    // One run of the program in which an app reports the user "u-1" as `name`, until it is stored.
    static void reportInOneRun(const QString &dataHome, const QString &path, const QString &name)
    {
        Program program(dataHome);
        QVERIFY(program.process.waitForStarted(10000));
        ScriptedPeer app;
        QTRY_VERIFY_WITH_TIMEOUT(app.connectTo(program.port), 20000);
        app.handshake(QStringLiteral("Shop"));
        app.send(reportedUser(name));
        QTRY_VERIFY_WITH_TIMEOUT(
            QFile::exists(path) && RawDatabase(path).value("SELECT name FROM stored_user") == name, 20000);
    }
};

QTEST_GUILESS_MAIN(TestStoredUsersApp)
#include "tst_storedusers_app.moc"
