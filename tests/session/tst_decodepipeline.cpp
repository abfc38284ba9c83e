// Messages decoded off the main thread come back in each connection's order, with the notices
// between them where they happened, whatever the bunches and the workers make of the split and
// even when the worker gets no processor (only the app whose message it is stuck in waits, and a
// large frame is never decoded on the main thread); a connection with too much waiting stops reading until
// it is applied, and so do the ones holding the most when all together have too much, never a
// quiet one; memory running out costs one message; a disconnected app's waiting messages go with
// it and nothing keeps the connection alive.
#include "MorvendaApp/session/DecodePipeline.h"

#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <array>
#include <functional>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <new>
#include <thread>

namespace {

using ConnectionPtr = DecodePipeline::ConnectionPtr;

QByteArray requestJson(const QString &url, qsizetype bodyBytes = 0)
{
    return QByteArrayLiteral(R"({"request":{"id":")") + QUuid::createUuid().toByteArray(QUuid::WithoutBraces)
        + QByteArrayLiteral(R"(","url":")") + url.toUtf8() + QByteArrayLiteral(R"(","headers":[],"data":")")
        + QByteArray(bodyBytes, 'd') + QByteArrayLiteral(R"("}})");
}

// What the handlers saw, one line per call, per connection.
struct Recorder
{
    std::map<QUuid, QStringList> seen;
    QStringList everyUrl; // over every connection, in the order applied
    int messages = 0;

    DecodePipeline::MessageHandler handler()
    {
        return [this](const ConnectionPtr &c, const QByteArray &, DecodePipeline::Decoded decoded) {
            ++messages;
            if (!decoded) {
                seen[c->id()].append(decoded.error().description.contains(QStringLiteral("not enough memory"))
                                         ? QStringLiteral("out of memory")
                                         : QStringLiteral("undecodable"));
                return;
            }
            const QString url = decoded->asRequest()->urlText();
            if (url.endsWith(QStringLiteral("/throwing")))
                throw std::bad_alloc();
            seen[c->id()].append(url);
            everyUrl.append(url);
        };
    }
    void notice(DecodePipeline &pipeline, const ConnectionPtr &c, const QString &text)
    {
        pipeline.addNotice(c, [this, id = c->id(), text] { seen[id].append(text); });
    }
};

// Accepted loopback sockets wrapped as the listener wraps them, never started: the pipeline
// only pauses and resumes their reading.
class Sockets
{
public:
    Sockets() { m_server.listen(QHostAddress::LocalHost); }
    ConnectionPtr connection()
    {
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, m_server.serverPort());
        if (!client->waitForConnected(5000) || !m_server.waitForNewConnection(5000))
            return nullptr;
        m_clients.push_back(std::move(client));
        return std::make_shared<MorvendaConnection>(m_server.nextPendingConnection());
    }

private:
    QTcpServer m_server;
    std::vector<std::unique_ptr<QTcpSocket>> m_clients;
};

// Holds every thread but the main one inside decoding the stuck app's messages while set: a worker
// that gets no processor. Counts the decodings of each of the stuck app's messages and of the large
// frames.
constexpr int maxStuckMessages = 256;
std::atomic<bool> workerHeld{false};
std::atomic<int> workerInside{0};
std::array<std::atomic<int>, maxStuckMessages> stuckDecodes{};
std::atomic<int> largeDecodes{0};
std::atomic<int> largeDecodesOnMain{0};
Qt::HANDLE mainThread = nullptr;

int stuckIndex(QByteArrayView json)
{
    static const QByteArray marker = QByteArrayLiteral("/stuck/");
    const qsizetype at = QByteArray::fromRawData(json.data(), json.size()).indexOf(marker);
    if (at < 0)
        return -1;
    int index = 0;
    for (qsizetype i = at + marker.size(); i < json.size() && json[i] >= '0' && json[i] <= '9'; ++i)
        index = index * 10 + (json[i] - '0');
    return index < maxStuckMessages ? index : -1;
}

void holdWorkers(QByteArrayView json)
{
    const bool onMain = QThread::currentThreadId() == mainThread;
    if (json.size() > DecodePipeline::helpMaxBytes) {
        ++largeDecodes;
        if (onMain)
            ++largeDecodesOnMain;
    }
    const int stuck = stuckIndex(json);
    if (stuck < 0)
        return;
    ++stuckDecodes[size_t(stuck)];
    if (onMain)
        return;
    ++workerInside;
    while (workerHeld.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Holds the workers as holdWorkers does, and makes each message marked "/slow/" cost 30 ms to
// decode wherever it is decoded: frames that are costly to decode.
void slowAndHeld(QByteArrayView json)
{
    holdWorkers(json);
    if (QByteArray::fromRawData(json.data(), json.size()).contains("/slow/"))
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

// Connections of which the last has the highest address: the pipeline keeps its queues in that
// order, so a pipeline that always served them from the first would serve that one last.
std::vector<ConnectionPtr> byAddress(Sockets &sockets, int count)
{
    std::vector<ConnectionPtr> connections;
    for (int c = 0; c < count; ++c)
        connections.push_back(sockets.connection());
    std::sort(connections.begin(), connections.end(), [](const ConnectionPtr &a, const ConnectionPtr &b) {
        return std::less<>()(a.get(), b.get());
    });
    return connections;
}

} // namespace

class tst_DecodePipeline : public QObject
{
    Q_OBJECT
private slots:
    void eachConnectionKeepsItsOrderWithItsNotices();
    void boundsPauseReadingAndStarveNoConnection();
    void memoryRunningOutCostsOneMessage();
    void stalledWorkerHoldsBackOnlyItsOwnApp();
    void appsTakeTurnsAtTheWorkers();
    void appsTakeTurnsAtTheMainThreadsHelp();
    void disconnectedAppLosesOnlyWhatWasStillWaiting();
};

void tst_DecodePipeline::eachConnectionKeepsItsOrderWithItsNotices()
{
    Sockets sockets;
    Recorder recorder;
    DecodePipeline pipeline(recorder.handler());
    std::vector<ConnectionPtr> connections;
    for (int c = 0; c < 3; ++c) {
        connections.push_back(sockets.connection());
        QVERIFY(connections.back());
    }
    std::map<QUuid, QStringList> expected;
    // Many small messages, a few over a bunch's size on their own, an undecodable one and a
    // skipped frame, the connections interleaved; some turns pass halfway, so later messages
    // join bunches while earlier ones are still being decoded or applied.
    for (int i = 0; i < 400; ++i) {
        for (const ConnectionPtr &c : connections) {
            const QString url = QStringLiteral("https://shop.example/%1/%2").arg(c->id().toString()).arg(i);
            if (i % 97 == 13) {
                pipeline.addMessage(c, "{\"request\":");
                expected[c->id()].append(QStringLiteral("undecodable"));
            } else if (i % 150 == 40) {
                recorder.notice(pipeline, c, QStringLiteral("skipped %1").arg(i));
                expected[c->id()].append(QStringLiteral("skipped %1").arg(i));
            } else {
                pipeline.addMessage(c, requestJson(url, i % 50 == 7 ? DecodePipeline::bunchBytes + 1 : 0));
                expected[c->id()].append(url);
            }
        }
        if (i % 120 == 0)
            QCoreApplication::processEvents();
    }
    for (const ConnectionPtr &c : connections) {
        recorder.notice(pipeline, c, QStringLiteral("closed"));
        expected[c->id()].append(QStringLiteral("closed"));
    }
    QTRY_COMPARE(pipeline.waitingCount(), 0);
    for (const ConnectionPtr &c : connections)
        QCOMPARE(recorder.seen[c->id()], expected[c->id()]);
    QCOMPARE(pipeline.connectionCount(), 0);
    // A notice with nothing waiting before it is handled at once.
    recorder.notice(pipeline, connections.front(), QStringLiteral("closed again"));
    QCOMPARE(recorder.seen[connections.front()->id()].size(), expected[connections.front()->id()].size() + 1);
}

void tst_DecodePipeline::boundsPauseReadingAndStarveNoConnection()
{
    Sockets sockets;
    Recorder recorder;
    DecodePipeline::Limits limits;
    limits.connectionMessages = 40;
    limits.connectionBytes = 64 * 1024;
    limits.totalMessages = 60;
    DecodePipeline pipeline(recorder.handler(), limits);
    std::vector<ConnectionPtr> connections;
    for (int c = 0; c < 3; ++c) {
        connections.push_back(sockets.connection());
        QVERIFY(connections.back());
    }
    const ConnectionPtr &greedy = connections[0];
    const ConnectionPtr &steady = connections[1];
    const ConnectionPtr &quiet = connections[2];
    const auto add = [&](const ConnectionPtr &c, int count) {
        for (int i = 0; i < count; ++i)
            pipeline.addMessage(c, requestJson(QStringLiteral("https://shop.example/%1").arg(recorder.messages)));
    };
    // A connection's own bound, in messages.
    add(greedy, 39);
    QVERIFY(!greedy->isReadingPaused());
    add(greedy, 1);
    QVERIFY(greedy->isReadingPaused());
    // Over the shared bound, the others still read up to their share of it (60 / 2, 60 / 3).
    add(steady, 29);
    QVERIFY(!steady->isReadingPaused());
    add(steady, 1);
    QVERIFY(steady->isReadingPaused());
    add(quiet, 19);
    QVERIFY(!quiet->isReadingPaused());
    // A connection's own bound, in bytes.
    pipeline.addMessage(quiet, requestJson(QStringLiteral("https://shop.example/large"), limits.connectionBytes));
    QVERIFY(quiet->isReadingPaused());
    QCOMPARE(pipeline.waitingCount(), 90);

    // Applying resumes every one of them, the paused ones at the latest once their queues are
    // empty; the apps go on sending whenever they may read, and every message arrives.
    int sent = 90;
    const auto keepSending = [&] {
        for (const ConnectionPtr &c : connections) {
            if (!c->isReadingPaused() && sent < 2000) {
                add(c, 5);
                sent += 5;
            }
        }
        return pipeline.waitingCount() == 0 && sent >= 2000;
    };
    QTRY_VERIFY_WITH_TIMEOUT(keepSending(), 20000);
    QCOMPARE(recorder.messages, sent);
    for (const ConnectionPtr &c : connections) {
        QVERIFY(!c->isReadingPaused());
        QVERIFY2(recorder.seen[c->id()].size() > 100, qPrintable(QString::number(recorder.seen[c->id()].size())));
    }
    QCOMPARE(pipeline.waitingBytes(), 0);
}

void tst_DecodePipeline::memoryRunningOutCostsOneMessage()
{
    Sockets sockets;
    Recorder recorder;
    DecodePipeline pipeline(recorder.handler());
    const ConnectionPtr c = sockets.connection();
    QVERIFY(c);
    Decoder::setDecodeHookForTesting([](QByteArrayView json) {
        if (json.contains("/exhausting"))
            throw std::bad_alloc();
    });
    const auto removeHook = qScopeGuard([] { Decoder::setDecodeHookForTesting(nullptr); });
    QTest::ignoreMessage(QtCriticalMsg, "Dropped a message of 129 bytes: out of memory while handling it");
    // Out of memory while decoding (on a worker) and while applying (on the main thread), each
    // between messages that arrive.
    QStringList expected;
    for (int i = 0; i < 200; ++i) {
        const QString url = i == 70 ? QStringLiteral("https://shop.example/exhausting")
            : i == 150              ? QStringLiteral("https://shop.example/throwing")
                                    : QStringLiteral("https://shop.example/%1").arg(i);
        const QByteArray json = requestJson(url);
        QCOMPARE_LE(json.size(), 129);
        pipeline.addMessage(c, json + QByteArray(129 - json.size(), ' '));
        if (i == 70)
            expected.append(QStringLiteral("out of memory"));
        else if (i != 150)
            expected.append(url);
    }
    QTRY_COMPARE(pipeline.waitingCount(), 0);
    QCOMPARE(recorder.seen[c->id()], expected);
}

void tst_DecodePipeline::stalledWorkerHoldsBackOnlyItsOwnApp()
{
    Sockets sockets;
    Recorder recorder;
    DecodePipeline pipeline(recorder.handler());
    const ConnectionPtr stuck = sockets.connection();
    const ConnectionPtr small = sockets.connection();
    const ConnectionPtr large = sockets.connection();
    const ConnectionPtr later = sockets.connection();
    QVERIFY(stuck && small && large && later);
    mainThread = QThread::currentThreadId();
    workerHeld = true;
    workerInside = 0;
    for (std::atomic<int> &count : stuckDecodes)
        count = 0;
    largeDecodes = 0;
    largeDecodesOnMain = 0;
    Decoder::setDecodeHookForTesting(holdWorkers);
    // Before the pipeline goes: it waits for its worker.
    const auto release = qScopeGuard([] {
        workerHeld = false;
        Decoder::setDecodeHookForTesting(nullptr);
    });
    const auto urls = [](const QString &app, int count) {
        QStringList list;
        for (int i = 0; i < count; ++i)
            list.append(QStringLiteral("https://shop.example/%1/%2").arg(app).arg(i));
        return list;
    };
    const auto send = [&](const ConnectionPtr &c, const QStringList &list, qsizetype bodyBytes = 0) {
        for (const QString &url : list)
            pipeline.addMessage(c, requestJson(url, bodyBytes));
    };

    // The worker gets stuck inside one of an app's messages: that app waits for it (the main
    // thread may decode its later ones, never that one a second time). On a busy machine the main
    // thread may have taken the first ones before the worker ran at all, so the app sends until
    // the worker holds one.
    QStringList stuckUrls;
    const auto sendStuck = [&] {
        const QString url = QStringLiteral("https://shop.example/stuck/%1").arg(stuckUrls.size());
        stuckUrls.append(url);
        pipeline.addMessage(stuck, requestJson(url));
        return false;
    };
    sendStuck();
    QTRY_VERIFY(workerInside.load() == 1 || (stuckUrls.size() < maxStuckMessages && sendStuck()));
    send(stuck, urls(QStringLiteral("stuck-after"), 2));
    // The small messages of another app that no worker has started come through meanwhile.
    const QStringList smallUrls = urls(QStringLiteral("small"), 300);
    send(small, smallUrls);
    QTRY_COMPARE(recorder.seen[small->id()], smallUrls);
    // A frame too large to decode within a frame waits for the worker, whatever comes after it.
    const QStringList largeUrls = urls(QStringLiteral("large"), 2);
    send(large, largeUrls.mid(0, 1), DecodePipeline::helpMaxBytes + 1);
    send(large, largeUrls.mid(1));
    const QStringList laterUrls = urls(QStringLiteral("later"), 100);
    send(later, laterUrls);
    QTRY_COMPARE(recorder.seen[later->id()], laterUrls);
    const QStringList stuckSeen = recorder.seen[stuck->id()];
    QVERIFY(stuckSeen.size() < stuckUrls.size());
    QCOMPARE(stuckSeen, stuckUrls.mid(0, stuckSeen.size()));
    QVERIFY(recorder.seen[large->id()].isEmpty());

    workerHeld = false;
    QTRY_COMPARE(pipeline.waitingCount(), 0);
    QCOMPARE(recorder.seen[stuck->id()], stuckUrls + urls(QStringLiteral("stuck-after"), 2));
    QCOMPARE(recorder.seen[large->id()], largeUrls);
    for (qsizetype i = 0; i < stuckUrls.size(); ++i)
        QCOMPARE(stuckDecodes[size_t(i)].load(), 1);
    QCOMPARE(largeDecodes.load(), 1);
    QCOMPARE(largeDecodesOnMain.load(), 0);
}

// Two apps send large frames that take long to decode, then a quiet app sends one: a worker takes
// it as soon as it is done with its current frame, not after all of theirs, and a second worker
// serves the apps while the first is inside a large frame.
void tst_DecodePipeline::appsTakeTurnsAtTheWorkers()
{
    Sockets sockets;
    Recorder recorder;
    DecodePipeline pipeline(recorder.handler());
    const std::vector<ConnectionPtr> apps = byAddress(sockets, 3);
    QVERIFY(apps[0] && apps[1] && apps[2]);
    mainThread = QThread::currentThreadId();
    workerHeld = false;
    Decoder::setDecodeHookForTesting(slowAndHeld);
    const auto unhook = qScopeGuard([] { Decoder::setDecodeHookForTesting(nullptr); });
    const qsizetype large = DecodePipeline::helpMaxBytes + 1;  // never decoded on the main thread
    for (int i = 0; i < 6; ++i) {
        for (int a = 0; a < 2; ++a)
            pipeline.addMessage(apps[size_t(a)], requestJson(QStringLiteral("https://shop.example/slow/%1/%2").arg(a).arg(i), large));
    }
    pipeline.addMessage(apps[2], requestJson(QStringLiteral("https://shop.example/quiet"), large));
    QTRY_COMPARE_WITH_TIMEOUT(pipeline.waitingCount(), 0, 20000);
    QCOMPARE(recorder.everyUrl.size(), 13);
    // At most the first frame of each busy app comes before it.
    QCOMPARE_LT(recorder.everyUrl.indexOf(QStringLiteral("https://shop.example/quiet")), 3);
    QCOMPARE(recorder.seen[apps[0]->id()].constLast(), QStringLiteral("https://shop.example/slow/0/5"));
}

// While the worker is stuck, the main thread decodes small frames itself: the apps take turns
// there too, whichever app's queue comes first.
void tst_DecodePipeline::appsTakeTurnsAtTheMainThreadsHelp()
{
    Sockets sockets;
    Recorder recorder;
    DecodePipeline pipeline(recorder.handler());
    const ConnectionPtr stuck = sockets.connection();
    const std::vector<ConnectionPtr> apps = byAddress(sockets, 3);
    QVERIFY(stuck && apps[0] && apps[1] && apps[2]);
    mainThread = QThread::currentThreadId();
    workerHeld = true;
    workerInside = 0;
    Decoder::setDecodeHookForTesting(slowAndHeld);
    const auto release = qScopeGuard([] {
        workerHeld = false;
        Decoder::setDecodeHookForTesting(nullptr);
    });
    // Until the worker holds one of the stuck app's messages (the main thread may take the first).
    int stuckSent = 0;
    const auto sendStuck = [&] {
        pipeline.addMessage(stuck, requestJson(QStringLiteral("https://shop.example/stuck/%1").arg(stuckSent++)));
        return false;
    };
    sendStuck();
    QTRY_VERIFY(workerInside.load() == 1 || (stuckSent < maxStuckMessages && sendStuck()));
    for (int i = 0; i < 20; ++i) {
        for (int a = 0; a < 2; ++a)
            pipeline.addMessage(apps[size_t(a)], requestJson(QStringLiteral("https://shop.example/slow/%1/%2").arg(a).arg(i)));
    }
    pipeline.addMessage(apps[2], requestJson(QStringLiteral("https://shop.example/quiet")));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.everyUrl.contains(QStringLiteral("https://shop.example/quiet")), 20000);
    QStringList served = recorder.everyUrl;
    served.removeIf([](const QString &url) { return url.contains(QLatin1StringView("/stuck/")); });
    QCOMPARE_LT(served.indexOf(QStringLiteral("https://shop.example/quiet")), 6);
    workerHeld = false;
    QTRY_COMPARE_WITH_TIMEOUT(pipeline.waitingCount(), 0, 20000);
    QCOMPARE(recorder.seen[apps[1]->id()].size(), 20);
}

void tst_DecodePipeline::disconnectedAppLosesOnlyWhatWasStillWaiting()
{
    Sockets sockets;
    Recorder recorder;
    auto pipeline = std::make_unique<DecodePipeline>(recorder.handler());
    ConnectionPtr leaving = sockets.connection();
    const ConnectionPtr staying = sockets.connection();
    QVERIFY(leaving && staying);
    const std::weak_ptr<MorvendaConnection> left = leaving;
    const QUuid leavingId = leaving->id();
    for (int i = 0; i < 10; ++i)
        pipeline->addMessage(leaving, requestJson(QStringLiteral("https://shop.example/applied/%1").arg(i)));
    QTRY_COMPARE(recorder.messages, 10);
    // Still waiting when the app is disconnected: decoded perhaps, never applied.
    for (int i = 0; i < 300; ++i) {
        pipeline->addMessage(leaving, requestJson(QStringLiteral("https://shop.example/late/%1").arg(i), i % 3 ? 0 : 4096));
        pipeline->addMessage(staying, requestJson(QStringLiteral("https://shop.example/staying/%1").arg(i)));
    }
    leaving->cancel();
    recorder.notice(*pipeline, leaving, QStringLiteral("closed"));
    leaving.reset();
    QTRY_COMPARE(pipeline->waitingCount(), 0);
    QCOMPARE(recorder.seen[leavingId].size(), 11);
    QCOMPARE(recorder.seen[leavingId].constLast(), QStringLiteral("closed"));
    QCOMPARE(recorder.seen[staying->id()].size(), 300);
    QVERIFY(left.expired());

    // Going away with messages still being decoded waits for the workers and frees them all.
    for (int i = 0; i < 500; ++i)
        pipeline->addMessage(staying, requestJson(QStringLiteral("https://shop.example/%1").arg(i), 8192));
    pipeline.reset();
}

QTEST_GUILESS_MAIN(tst_DecodePipeline)
#include "tst_decodepipeline.moc"
