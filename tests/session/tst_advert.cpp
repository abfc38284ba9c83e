// Service advertisement: the service name rules, the missing-daemon path of the listener, and,
// where the test may create network namespaces (root), a real Avahi daemon in a private network
// namespace that must see the service with its port, rename it on a collision and see it again
// after a daemon restart. Nothing is ever advertised on the machine's own network.
#include "tests/support/ScriptedPeer.h"

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/ServiceAdvertiser.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/MorvendaConstants.h"

#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QtTest>

#include <unistd.h>

#include <cstdio>

namespace {

// A private mDNS network: one namespace with loopback, its own D-Bus and avahi-daemon.
class Sandbox
{
public:
    Sandbox()
    {
        const QString tag = QString::number(QCoreApplication::applicationPid());
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("MDNS_SANDBOX_DIR"), QStringLiteral("/tmp/morvenda-advert-") + tag);
        m_env.insert(QStringLiteral("MDNS_SANDBOX_NS"), QStringLiteral("mvadv") + tag);
    }
    ~Sandbox()
    {
        for (QProcess *process : std::as_const(m_children)) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(3000);
            }
            delete process;
        }
        if (m_up) {
            run({QStringLiteral("down")});
        }
    }
    bool up(QString *error)
    {
        const auto [code, output] = run({QStringLiteral("up"), QStringLiteral("lo")});
        *error = output;
        m_up = code == 0;
        return m_up;
    }
    std::pair<int, QString> run(const QStringList &arguments, int timeoutMs = 30000) const
    {
        QProcess process;
        start(process, arguments);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return {-1, QStringLiteral("timed out")};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAll())};
    }
    // Starts a long-running command inside the namespace.
    QProcess *spawn(const QStringList &command)
    {
        auto *process = new QProcess;
        start(*process, QStringList{QStringLiteral("exec"), QStringLiteral("a")} + command);
        m_children.append(process);
        return process;
    }
    // Instances of the service type the namespace's daemon has seen, as (name, port), the name as
    // avahi-browse escapes it ("\\DDD" in decimal). Only its cache is read: a fresh network query
    // waits a second for late answers on every call, and every announcement on the loopback
    // network lands in the cache the moment it is sent.
    QList<std::pair<QString, int>> browse() const
    {
        const auto [code, output] = run({QStringLiteral("exec"), QStringLiteral("a"), QStringLiteral("avahi-browse"),
                                         QStringLiteral("-rpc"), MorvendaConstants::serviceType()});
        QList<std::pair<QString, int>> seen;
        for (const QString &line : output.split(u'\n')) {
            const QStringList fields = line.split(u';');
            if (fields.size() >= 9 && fields[0] == u'=') {
                seen.append({fields[3], fields[8].toInt()});
            }
        }
        return seen;
    }

private:
    // The sandbox script lives beside this test's source; its output and errors are read as one.
    void start(QProcess &process, const QStringList &arguments) const
    {
        process.setProcessEnvironment(m_env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("/bin/bash"), QStringList{QStringLiteral(QT_TESTCASE_SOURCEDIR "/tst_advert_sandbox.sh")} + arguments);
    }

    QProcessEnvironment m_env;
    QList<QProcess *> m_children;
    bool m_up = false;
};

// Child mode: advertise one service and report each event on stdout until terminated.
int runAdvertiser(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ServiceAdvertiser advertiser(QString::fromUtf8(argv[2]), MorvendaConstants::serviceType(),
                                 static_cast<quint16>(QByteArray(argv[3]).toUInt()));
    auto say = [](const QString &line) {
        std::fprintf(stdout, "%s\n", qUtf8Printable(line));
        std::fflush(stdout);
    };
    QObject::connect(&advertiser, &ServiceAdvertiser::registered, &app,
                     [&](const QString &name) { say(QStringLiteral("registered ") + name); });
    QObject::connect(&advertiser, &ServiceAdvertiser::renamed, &app,
                     [&](const QString &, const QString &name) { say(QStringLiteral("renamed ") + name); });
    QObject::connect(&advertiser, &ServiceAdvertiser::unavailable, &app,
                     [&](const QString &reason) { say(QStringLiteral("unavailable ") + reason); });
    QObject::connect(&advertiser, &ServiceAdvertiser::failed, &app,
                     [&](const QString &reason) { say(QStringLiteral("failed ") + reason); });
    advertiser.start();
    return app.exec();
}

} // namespace

class tst_Advert : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void serviceNameFitsOneLabel_data();
    void serviceNameFitsOneLabel();
    void bonjourNameDropsEveryLocal();
    void withoutDaemonTheServerLogsOnceAndServes();
    void daemonInNamespaceSeesRenamesAndRecovers();
};

void tst_Advert::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*.debug=false\nmorvenda.*.info=false"));
}

void tst_Advert::serviceNameFitsOneLabel_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::addRow("a short name is kept") << QStringLiteral("Studio Mac") << QStringLiteral("Studio Mac");
    QTest::addRow("a long ASCII name is cut to 63 bytes") << QString(70, u'm') << QString(63, u'm');
    // 62 ASCII bytes, then "é" (2 bytes) would end at byte 64: it is dropped whole.
    QTest::addRow("a character across the limit is dropped whole")
        << QString(62, u'a') + QStringLiteral("éb") << QString(62, u'a');
    QTest::addRow("a character ending at the limit is kept")
        << QString(61, u'a') + QStringLiteral("éb") << QString(61, u'a') + QStringLiteral("é");
    QTest::addRow("an empty name falls back to the host name") << QString() << QSysInfo::machineHostName().left(63);
}

void tst_Advert::serviceNameFitsOneLabel()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QString result = ServiceAdvertiser::serviceName(name);
    QCOMPARE(result, expected);
    QVERIFY(result.toUtf8().size() <= ServiceAdvertiser::maxNameBytes);
    QVERIFY(!result.isEmpty());
}

// Every ".local" goes, wherever it stands, and only in lower case.
void tst_Advert::bonjourNameDropsEveryLocal()
{
    QCOMPARE(MorvendaListener::bonjourName(QStringLiteral("studio.localbox.local.LOCAL")), QStringLiteral("studiobox.LOCAL"));
}

void tst_Advert::withoutDaemonTheServerLogsOnceAndServes()
{
    // No system bus reachable, so no daemon: the path every machine without Avahi takes.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/morvenda-test-bus");
    qunsetenv("MORVENDA_NO_ADVERTISE");
    UserManager users;
    SettingsManager settings;
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener({users, settings, milestones, repository, logger}, MorvendaListener::Options{QHostAddress::LocalHost, true});
    qputenv("MORVENDA_NO_ADVERTISE", "1");

    const QRegularExpression unavailable(QStringLiteral("advertising unavailable.*connect by address and port"));
    const auto unavailableLines = [&] { return logger.log().filter(unavailable).size(); };
    QTRY_COMPARE(unavailableLines(), 1);
    QVERIFY(logger.log().last().contains(QString::number(listener.serverPort())));

    ScriptedPeer peer;
    QVERIFY(peer.connectTo(listener.serverPort()));
    peer.handshake(QStringLiteral("App"));
    QTRY_COMPARE(peer.frames().size(), 1);
    QCOMPARE(unavailableLines(), 1);
}

void tst_Advert::daemonInNamespaceSeesRenamesAndRecovers()
{
    if (::geteuid() != 0) {
        QSKIP("Creating a network namespace needs root");
    }
    for (const char *tool : {"ip", "dbus-daemon", "avahi-daemon", "avahi-browse", "avahi-publish-service"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()
            && QStandardPaths::findExecutable(QString::fromLatin1(tool), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")}).isEmpty()) {
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));
        }
    }
    Sandbox sandbox;
    QString error;
    if (!sandbox.up(&error)) {
        QSKIP(qPrintable(QStringLiteral("Network namespaces are unavailable here: ") + error.trimmed()));
    }
    const QString self = QCoreApplication::applicationFilePath();

    // Another service holds the name first.
    QProcess *other = sandbox.spawn({QStringLiteral("avahi-publish-service"), QStringLiteral("MorvendaTest"),
                                     MorvendaConstants::serviceType(), QStringLiteral("1111")});
    QByteArray otherOutput;
    QTRY_VERIFY_WITH_TIMEOUT((otherOutput += other->readAll()).contains("Established under name 'MorvendaTest'"), 15000);

    QProcess *ours = sandbox.spawn({self, QStringLiteral("--advertise"), QStringLiteral("MorvendaTest"), QStringLiteral("4242")});
    QByteArray events;
    auto readEvents = [&] { return events += ours->readAllStandardOutput(); };
    QTRY_VERIFY_WITH_TIMEOUT(readEvents().contains("registered MorvendaTest #2"), 15000);
    QVERIFY(events.contains("renamed MorvendaTest #2"));
    const auto ourPortIsSeen = [&] {
        const auto seen = sandbox.browse();
        return std::any_of(seen.cbegin(), seen.cend(), [](const auto &s) { return s.second == 4242; });
    };
    QTRY_VERIFY_WITH_TIMEOUT(sandbox.browse().contains(std::pair(QStringLiteral("MorvendaTest\\032\\0352"), 4242)), 5000);
    QVERIFY(sandbox.browse().contains(std::pair(QStringLiteral("MorvendaTest"), 1111)));

    // The daemon restarts: the service is registered again without help.
    QCOMPARE(sandbox.run({QStringLiteral("stop-avahi"), QStringLiteral("a")}).first, 0);
    QCOMPARE(sandbox.run({QStringLiteral("start-avahi"), QStringLiteral("a")}).first, 0);
    QTRY_VERIFY_WITH_TIMEOUT(readEvents().count("registered ") >= 2, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(ourPortIsSeen(), 5000);

    // The daemon's host name changes (a clash on the network, a renamed machine): it withdraws
    // every service while it registers the new name, and the service must come back by itself.
    const qsizetype registrations = readEvents().count("registered ");
    const auto renamed = sandbox.run({QStringLiteral("exec"), QStringLiteral("a"), QStringLiteral("avahi-set-host-name"),
                                      QStringLiteral("mdnsbox-renamed")});
    QVERIFY2(renamed.first == 0, qPrintable(renamed.second));
    QTRY_VERIFY_WITH_TIMEOUT(readEvents().count("registered ") > registrations, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(ourPortIsSeen(), 5000);
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--advertise") == 0) {
        return runAdvertiser(argc, argv);
    }
    QCoreApplication app(argc, argv);
    tst_Advert test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_advert.moc"
