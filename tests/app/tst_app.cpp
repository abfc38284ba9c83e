// The real program, started as a user would (offscreen, on a fixed port): it serves at once,
// answers a handshake with the server's hello, and keeps serving after an app sends garbage.
#include "tests/support/ScriptedPeer.h"

#include "MorvendaModel/MorvendaFramer.h"

#include <QProcess>
#include <QTest>

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void garbageFromAnAppLeavesTheProgramRunning();

private:
    bool connectWithRetry(ScriptedPeer &peer);

    std::unique_ptr<QProcess> m_app;
    quint16 m_port = 0;
};

void TestApp::init()
{
    m_port = ScriptedPeer::freePort();
    m_app = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MORVENDA_PORT"), QString::number(m_port));
    m_app->setProcessEnvironment(env);
    m_app->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_app->start(QStringLiteral(MORVENDA_EXECUTABLE), {});
    QVERIFY(m_app->waitForStarted(10000));
}

void TestApp::cleanup()
{
    if (m_app->state() != QProcess::NotRunning) {
        m_app->terminate();
        if (!m_app->waitForFinished(10000)) {
            m_app->kill();
            m_app->waitForFinished();
        }
    }
    m_app.reset();
}

bool TestApp::connectWithRetry(ScriptedPeer &peer)
{
    // The program listens from the moment its shared objects exist; give it time to get there.
    return QTest::qWaitFor([&] {
        if (m_app->state() == QProcess::NotRunning) {
            return true;
        }
        if (peer.connectTo(m_port)) {
            return true;
        }
        peer.socket().abort();
        QTest::qWait(50);
        return false;
    }, 20000) && peer.isConnected();
}

void TestApp::garbageFromAnAppLeavesTheProgramRunning()
{
    ScriptedPeer peer;
    QVERIFY(connectWithRetry(peer));
    peer.handshake(QStringLiteral("Noisy"));
    QTRY_COMPARE_WITH_TIMEOUT(peer.frames().size(), 1, 10000);
    QVERIFY2(peer.frames().first().contains("serverHello"), peer.frames().first().constData());
    peer.send(QByteArrayLiteral("{not json"));
    peer.send(QByteArrayLiteral(R"({"request":{"id":"not-a-uuid"}})"));
    peer.socket().write(QByteArray("\xff\xff\xff\x7f", 4)); // a frame header far over the cap
    peer.socket().write(QByteArray(4096, 'x'));
    peer.socket().flush();
    QTest::qWait(500);
    QCOMPARE(m_app->state(), QProcess::Running);

    // Still serving: a new app connects and is answered.
    ScriptedPeer next;
    QVERIFY(connectWithRetry(next));
    next.handshake(QStringLiteral("Calm"));
    QTRY_COMPARE_WITH_TIMEOUT(next.frames().size(), 1, 10000);
}

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
