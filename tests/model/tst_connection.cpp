// One app connection over real loopback sockets: whole messages in and out, states, sends that
// complete exactly once, keepalive options, a peer that stops reading.
#include "MorvendaModel/MorvendaConnection.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <memory>
#include <new>
#include <thread>

namespace {

QByteArray framed(const QByteArray &body)
{
    return *MorvendaFramer::frame(body);
}

QList<QByteArray> bodies(const QSignalSpy &received)
{
    QList<QByteArray> result;
    for (const QList<QVariant> &arguments : received)
        result.append(arguments.at(0).toByteArray());
    return result;
}

// Writes all of `bytes` to `fd` blocking, as an app on its own thread does; stops when the peer is gone.
void sendAll(int fd, const QByteArray &bytes)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += n;
    }
}

// A loopback pair: `peer` is the test's app, `connection` wraps the accepted socket.
struct Pair {
    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;
    std::unique_ptr<MorvendaConnection> connection;

    bool open(std::shared_ptr<FrameBudget> budget = {})
    {
        if (!server.listen(QHostAddress::LocalHost))
            return false;
        peer = std::make_unique<QTcpSocket>();
        peer->connectToHost(QHostAddress::LocalHost, server.serverPort());
        if (!server.waitForNewConnection(5000) || !peer->waitForConnected(5000))
            return false;
        connection = std::make_unique<MorvendaConnection>(server.nextPendingConnection(), std::move(budget));
        return true;
    }
};

int intOption(qintptr fd, int level, int name)
{
    int value = -1;
    socklen_t length = sizeof value;
    return ::getsockopt(static_cast<int>(fd), level, name, &value, &length) == 0 ? value : -1;
}

struct Outcomes {
    int successes = 0;
    QStringList failures;
    MorvendaConnection::SendCompletion recorder()
    {
        return [this](const MorvendaConnection::SendResult &result) {
            if (result)
                ++successes;
            else
                failures.append(result.error());
        };
    }
    int total() const { return successes + int(failures.size()); }
};

} // namespace

class tst_Connection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Connection and listener debug lines would drown the test output.
        QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*.debug=false\nmorvenda.*.info=false"));
    }

    void oversizeFrameIsSkippedAndTheConnectionGoesOn()
    {
        Pair pair;
        QVERIFY(pair.open());
        QSignalSpy received(pair.connection.get(), &MorvendaConnection::payloadReceived);
        QSignalSpy skipped(pair.connection.get(), &MorvendaConnection::oversizeFrameSkipped);
        pair.connection->start();

        // A writer thread keeps the kernel buffers full, so the connection's own read buffer fills
        // up again and again while the frame is skipped: reading must never stall.
        const quint64 length = MorvendaFramer::maxFrameLength + 1;
        const int fd = int(pair.peer->socketDescriptor());
        std::thread writer([fd, length] {
            sendAll(fd, *MorvendaFramer::header(length));
            const QByteArray chunk(1 << 20, 'x');
            for (quint64 sent = 0; sent < length; sent += quint64(chunk.size()))
                sendAll(fd, chunk.left(qsizetype(std::min<quint64>(quint64(chunk.size()), length - sent))));
            sendAll(fd, framed("after"));
        });
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 30000);
        writer.join();
        QCOMPARE(bodies(received), QList<QByteArray>{"after"});
        QCOMPARE(skipped.size(), 1);
        QCOMPARE(skipped.at(0).at(0).toULongLong(), length);
        QVERIFY(pair.connection->isOpen());
    }

    // A handler that runs out of memory costs its own event only: the connection reads on, and
    // its close still completes.
    void handlersRunningOutOfMemoryCostOnlyTheirEvent()
    {
        Pair pair;
        QVERIFY(pair.open(std::make_shared<FrameBudget>(1024)));  // a 200 KB frame is skipped
        QSignalSpy received(pair.connection.get(), &MorvendaConnection::payloadReceived);
        const auto outOfMemory = [] { throw std::bad_alloc(); };
        connect(pair.connection.get(), &MorvendaConnection::oversizeFrameSkipped, this, outOfMemory);
        connect(pair.connection.get(), &MorvendaConnection::closed, this, outOfMemory);
        pair.connection->start();
        pair.peer->write(framed(QByteArray(200'000, 's')) + framed("after"));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(bodies(received), QList<QByteArray>{"after"});
        pair.peer->close();
        QTRY_COMPARE(pair.connection->state(), MorvendaConnection::State::Failed);
    }

    void everythingSentBeforeACloseIsDeliveredWholeAndInOrder()
    {
        for (int round = 0; round < 20; ++round) {
            Pair pair;
            QVERIFY(pair.open());
            QSignalSpy received(pair.connection.get(), &MorvendaConnection::payloadReceived);
            QSignalSpy closed(pair.connection.get(), &MorvendaConnection::closed);
            pair.connection->start();
            // Megabytes, more than the connection's read buffer, split wherever the kernel likes.
            QList<QByteArray> sent{QByteArray(), QByteArray(300'000, 'b')};
            QByteArray stream = framed(sent[0]) + framed(sent[1]);
            for (int i = 0; i < 200 + 50 * round; ++i) {
                sent.append(QByteArray::number(i) + QByteArray(8500, 'f'));
                stream += framed(sent.last());
            }
            // The app writes everything at once and closes at once, from its own thread.
            const int fd = ::dup(int(pair.peer->socketDescriptor()));
            pair.peer.reset();
            std::thread writer([fd, &stream] {
                sendAll(fd, stream);
                ::close(fd);
            });
            QTRY_COMPARE(closed.size(), 1);
            writer.join();
            QCOMPARE(bodies(received), sent);
        }
    }

    void sendWritesOneFrameAndCompletesOnce()
    {
        Pair pair;
        QVERIFY(pair.open());
        pair.connection->start();
        Outcomes outcomes;
        pair.connection->send(QByteArray(300, 'm'), outcomes.recorder());
        pair.connection->send(QByteArray(), outcomes.recorder());
        pair.connection->send("no completion");
        QCOMPARE(outcomes.total(), 0);  // never from inside send
        const QByteArray expected = framed(QByteArray(300, 'm')) + framed("") + framed("no completion");
        QByteArray got;
        QTRY_VERIFY((got += pair.peer->readAll(), got.size() >= expected.size()));
        QCOMPARE(got, expected);
        QTRY_COMPARE(outcomes.successes, 2);
        QTest::qWait(20);
        QCOMPARE(outcomes.total(), 2);
    }

    void sendsFailOnceAndHalfFramesGoWhenTheConnectionEnds_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addRow("a send after the peer closed") << QStringLiteral("peer closed");
        QTest::addRow("a waiting send when the connection is cancelled") << QStringLiteral("cancel");
        QTest::addRow("a waiting send when the connection is destroyed") << QStringLiteral("destroy");
    }

    void sendsFailOnceAndHalfFramesGoWhenTheConnectionEnds()
    {
        QFETCH(QString, end);
        Pair pair;
        QVERIFY(pair.open());
        const QPointer<QTcpSocket> socket = pair.connection->findChild<QTcpSocket *>();
        QVERIFY(socket);
        QSignalSpy received(pair.connection.get(), &MorvendaConnection::payloadReceived);
        QSignalSpy closed(pair.connection.get(), &MorvendaConnection::closed);
        pair.connection->start();
        // A closed connection stays in the list for the rest of the run, so it must not keep the
        // part of a large body that arrived before its app went away, nor after a cancel.
        pair.peer->write(*MorvendaFramer::header(8 << 20) + QByteArray(2 << 20, 'h'));
        QTRY_VERIFY(pair.connection->bufferedInputBytes() > (1 << 20));
        if (end == QLatin1StringView("peer closed")) {
            pair.peer->close();
            QTRY_COMPARE(closed.size(), 1);
        }
        Outcomes outcomes;
        pair.connection->send(QByteArray(8 << 20, 'p'), outcomes.recorder());
        if (end == QLatin1StringView("cancel")) {
            pair.connection->cancel();
            QCOMPARE(pair.connection->state(), MorvendaConnection::State::Cancelled);
            QCOMPARE(closed.size(), 1);
            pair.connection->cancel();
            QCOMPARE(closed.size(), 1);
            // Reading stops too.
            pair.peer->write(framed("ignored"));
            QTRY_VERIFY(pair.peer->state() != QAbstractSocket::ConnectedState);
        } else if (end == QLatin1StringView("destroy")) {
            pair.connection.reset();
        }
        QTRY_COMPARE(outcomes.failures.size(), 1);
        QCOMPARE(outcomes.successes, 0);
        QCOMPARE(received.size(), 0);
        if (pair.connection) {
            QCOMPARE(pair.connection->bufferedInputBytes(), 0);
            // Nor its socket: only what its entry shows stays.
            QTRY_VERIFY(socket.isNull());
            QCOMPARE(pair.connection->peerAddress(), QHostAddress(QHostAddress::LocalHost));
            QCOMPARE(pair.connection->socketDescriptor(), qintptr(-1));
            QVERIFY(!pair.connection->isOpen());
        }
    }

    void statesFollowTheSocketWithKeepAliveSet()
    {
        Pair pair;
        QVERIFY(pair.open());
        QCOMPARE(pair.connection->state(), MorvendaConnection::State::Setup);
        const qintptr fd = pair.connection->socketDescriptor();
        QCOMPARE(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
        QCOMPARE(intOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), MorvendaConnection::keepAliveIdleSeconds);
        QCOMPARE(intOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), MorvendaConnection::keepAliveIntervalSeconds);
        QCOMPARE(intOption(fd, IPPROTO_TCP, TCP_KEEPCNT), MorvendaConnection::keepAliveProbeCount);

        QSignalSpy states(pair.connection.get(), &MorvendaConnection::stateChanged);
        pair.connection->start();
        QCOMPARE(pair.connection->state(), MorvendaConnection::State::Ready);
        QCOMPARE(pair.connection->stateDescription(), QStringLiteral("ready"));
        pair.peer->abort();
        QTRY_COMPARE(pair.connection->state(), MorvendaConnection::State::Failed);
        QVERIFY(pair.connection->stateDescription().startsWith(QLatin1StringView("failed(")));
        QCOMPARE(states.size(), 3);
        QCOMPARE(states.at(0).at(0).value<MorvendaConnection::State>(), MorvendaConnection::State::Preparing);
    }

    void peerThatNeverReadsIsBounded()
    {
        Pair pair;
        QVERIFY(pair.open());
        pair.peer->setReadBufferSize(1);  // the test's app stops reading almost at once
        pair.connection->start();
        Outcomes outcomes;
        const QByteArray message(1 << 20, 'n');
        const int sends = int(MorvendaConnection::maxPendingOutput / message.size()) + 40;
        for (int i = 0; i < sends; ++i) {
            pair.connection->send(message, outcomes.recorder());
            QCoreApplication::processEvents();
            QVERIFY(pair.connection->pendingOutputBytes() <= MorvendaConnection::maxPendingOutput);
        }
        QTRY_VERIFY(!outcomes.failures.isEmpty());
        QVERIFY(outcomes.failures.first().contains(QLatin1StringView("not reading")));
        // The rest are still pending or delivered; closing settles every one of them exactly once.
        pair.connection->cancel();
        QTRY_COMPARE(outcomes.total(), sends);
    }
};

QTEST_GUILESS_MAIN(tst_Connection)
#include "tst_connection.moc"
