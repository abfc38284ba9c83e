// The real program on a store written by a newer version of it. The rest of the stored users'
// start-up is checked in process by the start-up test.
#include "UsersFixtures.h"

#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "tests/support/ScriptedPeer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace UsersFixtures;

class TestStoredUsersApp : public QObject
{
    Q_OBJECT

private slots:
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

        const quint16 port = ScriptedPeer::freePort();
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MORVENDA_PORT"), QString::number(port));
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(MORVENDA_EXECUTABLE), {});
        QVERIFY(program.waitForStarted(10000));
        // The reason is on stderr at once; the message box then waits for the developer.
        QByteArray errors;
        QTRY_VERIFY_WITH_TIMEOUT(errors.append(program.readAllStandardError()).contains("newer version"), 10000);
        QVERIFY(errors.contains(QFile::encodeName(path)));
        ScriptedPeer app;
        QVERIFY(!app.connectTo(port));
        program.kill();
        QVERIFY(program.waitForFinished(10000));

        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QVERIFY(QDir(folder).entryList({QStringLiteral("*.corrupt-*")}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStoredUsersApp)
#include "tst_storedusers_app.moc"
