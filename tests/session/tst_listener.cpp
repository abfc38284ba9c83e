// The server over real loopback sockets with scripted apps: handshake and hello, dispatch into
// the repository and the stores, alerts, sends that fail, names, disconnection, pruning and the
// limits that protect the tool from a misbehaving peer.
#include "tests/support/LoopbackSession.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaModel/Decoder.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>

#include <functional>
#include <map>
#include <memory>
#include <new>
#include <vector>

namespace {

const QByteArray requestJson =
    R"({"request":{"id":"8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01","url":"https://shop.example/api/cart","method":"get","headers":[]}})";
const QByteArray responseJson =
    R"({"response":{"id":"8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01","batchID":"1B2C3D4E-0000-4000-8000-000000000001","statusCode":200,"headers":[]}})";
const QByteArray milestoneJson = R"({"milestone":[{"key":"orders","count":3}]})";

QByteArray protobufSettingJson(const char *overrideState)
{
    return QByteArrayLiteral(R"({"settings":[{"name":"Protobuf","key":"MOBILE_PROTOBUF_230512","directlyResponsibleEngineerName":"E",)")
        + QByteArrayLiteral(R"("overrideValue":{"boolean":")") + overrideState
        + QByteArrayLiteral(R"("},"defaultValue":{"boolean":"off"},"serverValue":{"boolean":"off"}}]})");
}

int openDescriptorCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
        }
    }
    return 0;
}

// Writes `bytes` in pieces, letting the server read as they go; `each` runs after every piece.
void writeThrough(ScriptedPeer &peer, QByteArrayView bytes, const std::function<void()> &each = {})
{
    for (qsizetype pos = 0; pos < bytes.size(); pos += 1 << 20) {
        peer.socket().write(bytes.data() + pos, std::min<qsizetype>(1 << 20, bytes.size() - pos));
        while (peer.socket().bytesToWrite() > (4 << 20)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        if (each) {
            each();
        }
    }
    QTRY_VERIFY(peer.socket().bytesToWrite() == 0);
}

bool logContains(const Logger &logger, const QString &text)
{
    for (const QString &line : logger.log()) {
        if (line.contains(text)) {
            return true;
        }
    }
    return false;
}

// The session with apps made to order, each from any loopback address.
struct Server : LoopbackSession {
    using LoopbackSession::LoopbackSession;

    std::unique_ptr<ScriptedPeer> connectPeer(const QHostAddress &from = {})
    {
        auto peer = std::make_unique<ScriptedPeer>();
        return peer->connectTo(listener.serverPort(), from) ? std::move(peer) : nullptr;
    }
    // Connects and shakes hands, and waits for the hello.
    std::unique_ptr<ScriptedPeer> connectApp(const QString &name, const QHostAddress &from = {})
    {
        auto peer = connectPeer(from);
        if (!peer) {
            return nullptr;
        }
        peer->handshake(name);
        return QTest::qWaitFor([&] { return peer->frames().size() == 1; }) ? std::move(peer) : nullptr;
    }
    MorvendaListener::ConnectionPtr connectionNamed(const QString &name) const
    {
        for (const auto &c : listener.connections()) {
            if (c->displayName() == name) {
                return c;
            }
        }
        return nullptr;
    }
};

} // namespace


class tst_Listener : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void recordingOffDropsOnlyRequestsAndResponses();
    void everythingSentBeforeACloseIsStored();
    void eachAppsMessagesAreHandledInTheOrderSent();
    void userPulseFiresBeforeLatestUserChanges();
    void legacyAlertIsRaisedOnceAcrossPeers();
    void undecodableMessagesAreLogged_data();
    void undecodableMessagesAreLogged();
    void binaryEncodingAlertActsOnTheConnectionActiveWhenPressed();
    void sendsFailingTogetherRaiseOneAlert();
    void handshakesJoinRenameReplaceAndTakeTheNameBack();
    void closedAndDisconnectedConnectionsLeaveTheLists();
    void closedConnectionsKeepOnlyTheirEntry();
    void manyConnectsAndClosesLeakNoDescriptors();
    void silentConnectionsDoNotLockAppsOut();
    void atTheCapTheIdlestRegisteredAppMakesRoom();
    void oneAddressCannotCrowdOutOthers();
    void acceptingResumesAfterRunningOutOfDescriptors();
    void partlyReceivedFramesShareOneBudget();
    void memoryRunningOutWhileDecodingCostsOnlyThatFrame();
};

void tst_Listener::recordingOffDropsOnlyRequestsAndResponses()
{
    Server server;
    auto peer = server.connectApp(QStringLiteral("App"));
    QVERIFY(peer);
    server.listener.setTimelineRecordingEnabled(false);
    QSignalSpy milestones(&server.milestones, &MilestoneManager::hasUpdatedMilestones);
    peer->send(requestJson);
    peer->send(responseJson);
    peer->send(protobufSettingJson("off"));
    peer->user(QStringLiteral("Ann"), QStringLiteral("t"));
    peer->send(milestoneJson);
    QTRY_COMPARE(milestones.size(), 1);
    QCOMPARE(server.repository.exchangeCount(), 0);
    QCOMPARE(server.settings.settings().value(QStringLiteral("App")).size(), 1);
    QCOMPARE(server.users.users().find(QStringLiteral("App"))->name(), std::optional<QString>(QStringLiteral("Ann")));
    QCOMPARE(server.milestones.milestone().value(QStringLiteral("App")).first().count(), 3);

    server.listener.setTimelineRecordingEnabled(true);
    peer->send(requestJson);
    peer->send(responseJson);
    QTRY_VERIFY(server.repository.exchangeCount() == 1 && server.repository.exchangeAt(0).responses().size() == 1);
    QCOMPARE(server.repository.exchangeAt(0).peer(), QStringLiteral("App"));
}

void tst_Listener::everythingSentBeforeACloseIsStored()
{
    Server server;
    auto peer = server.connectApp(QStringLiteral("Burst"));  // the hello is read, so the close is orderly
    QVERIFY(peer);
    const int requests = 300;
    for (int i = 0; i < requests; ++i) {
        const QByteArray id = QUuid::createUuid().toByteArray(QUuid::WithoutBraces).toUpper();
        peer->send(R"({"request":{"id":")" + id + R"(","headers":[],"data":")" + QByteArray(8000, 'd') + R"("}})");
    }
    peer->socket().disconnectFromHost();
    // The close may be seen before the last requests are stored (they are decoded meanwhile):
    // wait for what is asserted, however slow the build.
    QTRY_COMPARE_WITH_TIMEOUT(server.repository.exchangeCount(), requests, 60000);
    QTRY_COMPARE(server.listener.connections().first()->state(), MorvendaConnection::State::Failed);
    QCOMPARE(server.repository.exchangeCount(), requests);
}

void tst_Listener::eachAppsMessagesAreHandledInTheOrderSent()
{
    Server server;
    std::vector<std::unique_ptr<ScriptedPeer>> apps;
    for (int a = 0; a < 3; ++a) {
        apps.push_back(server.connectApp(QStringLiteral("App %1").arg(a)));
        QVERIFY(apps.back());
    }
    // Small requests with a few large ones among them, the apps interleaved; halfway the first
    // app sends a message that cannot be decoded and then renames itself.
    const int perApp = 300;
    for (int i = 0; i < perApp; ++i) {
        for (int a = 0; a < 3; ++a) {
            if (a == 0 && i == perApp / 2) {
                apps[0]->send("{\"request\":");
                apps[0]->handshake(QStringLiteral("App 0 renamed"));
            }
            const QByteArray id = QUuid::createUuid().toByteArray(QUuid::WithoutBraces).toUpper();
            const QByteArray url = "https://shop.example/" + QByteArray::number(a) + '/' + QByteArray::number(i);
            apps[a]->send(R"({"request":{"id":")" + id + R"(","url":")" + url + R"(","headers":[],"data":")"
                          + QByteArray(i % 60 == 5 ? 300'000 : 10, 'd') + R"("}})");
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(server.repository.exchangeCount(), 3 * perApp, 20000);
    std::map<QString, QStringList> urlsByPeer;
    for (qsizetype e = 0; e < server.repository.exchangeCount(); ++e) {
        const Exchange exchange = server.repository.exchangeAt(e);
        urlsByPeer[exchange.peer()].append(exchange.request()->urlText());
    }
    const auto urls = [](int app, int from, int to) {
        QStringList list;
        for (int i = from; i < to; ++i)
            list.append(QStringLiteral("https://shop.example/%1/%2").arg(app).arg(i));
        return list;
    };
    QCOMPARE(urlsByPeer[QStringLiteral("App 0")], urls(0, 0, perApp / 2));
    QCOMPARE(urlsByPeer[QStringLiteral("App 0 renamed")], urls(0, perApp / 2, perApp));
    QCOMPARE(urlsByPeer[QStringLiteral("App 1")], urls(1, 0, perApp));
    QCOMPARE(urlsByPeer[QStringLiteral("App 2")], urls(2, 0, perApp));

    // The undecodable message is logged between the handshakes around it.
    QStringList lines = server.logger.log();
    lines.removeIf([](const QString &line) {
        return !line.contains(QLatin1StringView("App 0")) && !line.startsWith(QLatin1StringView("<ERROR:"));
    });
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("Received client handshake: App 0. Sending hello."));
    QVERIFY(lines.at(1).startsWith(QLatin1StringView("<ERROR: Unable to decode Payload: ")));
    QCOMPARE(lines.at(2), QStringLiteral(R"(<ERROR: Data Received: {"request":>)"));
    QCOMPARE(lines.at(3), QStringLiteral("Received client handshake: App 0 renamed. Sending hello."));
}

void tst_Listener::userPulseFiresBeforeLatestUserChanges()
{
    Server server;
    auto peer = server.connectPeer();
    QVERIFY(peer);
    QStringList seenAtPulse;
    connect(&server.users, &UserManager::hasUpdatedUser, this, [&] {
        const auto &latest = server.users.latestUser();
        seenAtPulse.append(latest ? latest->name().value_or(QString()) : QStringLiteral("<none>"));
    });
    peer->user(QStringLiteral("first"), QStringLiteral("t"));
    peer->user(QStringLiteral("second"), QStringLiteral("t"));
    QTRY_COMPARE(seenAtPulse.size(), 2);
    QCOMPARE(seenAtPulse, (QStringList{QStringLiteral("<none>"), QStringLiteral("first")}));
    QCOMPARE(server.users.latestUser()->name(), std::optional<QString>(QStringLiteral("second")));
}

void tst_Listener::legacyAlertIsRaisedOnceAcrossPeers()
{
    Server server;
    QSignalSpy alerts(&server.listener, &MorvendaListener::alertViewStateChanged);
    auto first = server.connectPeer();
    auto second = server.connectPeer();
    QVERIFY(first && second);
    first->send(R"({"handshake":5})");
    QTRY_COMPARE(alerts.size(), 1);
    second->send(R"({"handshake":true})");
    QTRY_COMPARE(std::count_if(server.logger.log().cbegin(), server.logger.log().cend(),
                               [](const QString &l) { return l.startsWith(QLatin1StringView("<ERROR: Unable to decode Payload: ")); }),
                 2);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(server.listener.alertViewState()->title, L10n::text("LegacyCommunicationAlert.Title"));
    QVERIFY(server.listener.alertViewState()->message->contains(QLatin1StringView("handshake")));
}

void tst_Listener::undecodableMessagesAreLogged_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("dataLine");
    QTest::addRow("an unknown key is logged with its text")
        << QByteArray(R"({"hello":"x"})") << QStringLiteral(R"(<ERROR: Data Received: {"hello":"x"}>)");
    QTest::addRow("bytes that are not UTF-8 are named as such")
        << QByteArray("\xff\xfe{") << QStringLiteral("<ERROR: Data Received: -- Unable to convert to utf8 string -->");
    QTest::addRow("line feeds of the body become spaces")
        << QByteArray("{\n\"x\"") << QStringLiteral("<ERROR: Data Received: { \"x\">");
    const QByteArray big = QByteArray("[") + QByteArray(1 << 20, '1');
    QTest::addRow("a 1 MiB body shows its first 4 KiB and its size")
        << big << QStringLiteral("<ERROR: Data Received: ") + QString::fromLatin1(big.left(4 * 1024))
            + QStringLiteral(" … (1048577 bytes)>");
    QTest::addRow("a large body invalid only past the part shown is named as not UTF-8")
        << QByteArray(QByteArray(100'000, 'a') + "\xff") << QStringLiteral("<ERROR: Data Received: -- Unable to convert to utf8 string -->");
}

void tst_Listener::undecodableMessagesAreLogged()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, dataLine);
    Server server;
    QSignalSpy alerts(&server.listener, &MorvendaListener::alertViewStateChanged);
    auto peer = server.connectPeer();
    QVERIFY(peer);
    peer->send(message);
    QTRY_VERIFY(server.logger.log().size() >= 3);
    const QStringList &log = server.logger.log();
    QVERIFY(log.at(1).startsWith(QLatin1StringView("<ERROR: Unable to decode Payload: ")));
    QCOMPARE(log.at(2), dataLine);
    QCOMPARE(alerts.size(), 0);
    // The connection goes on.
    peer->handshake(QStringLiteral("Still here"));
    QTRY_COMPARE(server.listener.connections().size(), 1);
}

void tst_Listener::binaryEncodingAlertActsOnTheConnectionActiveWhenPressed()
{
    Server server;
    QSignalSpy alerts(&server.listener, &MorvendaListener::alertViewStateChanged);
    auto reporter = server.connectApp(QStringLiteral("Reporter"));
    auto other = server.connectApp(QStringLiteral("Other"));
    QVERIFY(reporter && other);
    server.listener.select(server.connectionNamed(QStringLiteral("Reporter")));

    reporter->send(protobufSettingJson("off"));
    reporter->send(protobufSettingJson("on"));
    QTRY_COMPARE(alerts.size(), 1);
    reporter->send(protobufSettingJson("on"));
    other->send(protobufSettingJson("on"));
    QSignalSpy settingsUpdates(&server.settings, &SettingsManager::hasUpdatedSettings);
    QTRY_COMPARE(settingsUpdates.size(), 2);
    QCOMPARE(alerts.size(), 1);

    const Alert::ViewState alert = *server.listener.alertViewState();
    QCOMPARE(alert.title, L10n::text("BinaryDecodingAlert.title"));
    QCOMPARE(alert.actions.size(), 2);
    QVERIFY(!alert.actions.at(1).completion);

    server.listener.select(server.connectionNamed(QStringLiteral("Other")));
    alert.actions.at(0).completion();
    const QByteArray expected = R"({"settingOverride":{"key":"MOBILE_PROTOBUF_230512","value":{"boolean":"off"}}})";
    QTRY_COMPARE(other->frames().size(), 2);
    QCOMPARE(other->frames().at(1), expected);
    QCOMPARE(reporter->frames().size(), 1);  // only its hello
}

// Sends to a connection the developer deleted while it was active fail; failures that arrive
// together raise one alert (the log counts the rest), a later or a different one raises again.
void tst_Listener::sendsFailingTogetherRaiseOneAlert()
{
    Server server;
    QSignalSpy alerts(&server.listener, &MorvendaListener::alertViewStateChanged);
    QVERIFY(server.connectApp(QStringLiteral("App")));
    server.listener.select(server.listener.connections().first());
    server.listener.disconnect(server.listener.activeConnection());
    QVERIFY(server.listener.connections().isEmpty());
    QVERIFY(server.listener.activeConnection());  // stays active

    for (const char *link : {"app://home", "app://cart", "app://account"}) {
        server.listener.sendToActiveConnection(AppPayload::runDeeplink(QString::fromLatin1(link)));
    }
    QTRY_VERIFY(logContains(server.logger, QStringLiteral(" (2 more sends failed the same way)>")));
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts.at(0).at(0).value<Alert::ViewState>().title, L10n::text("ErrorSendingMessageAlert.title"));

    server.listener.sendToActiveConnection(AppPayload::runDeeplink(QStringLiteral("app://home")));
    QTRY_COMPARE(alerts.size(), 2);
    server.listener.send(AppPayload::serverHello(), nullptr);
    QTRY_COMPARE(alerts.size(), 3);
}

// A handshake is answered with the hello once the app has joined the members, and a second one
// renames its member; another socket with a taken name replaces the member (and takes over as
// the active one) without closing the first, which may take the name back: two sockets, counted
// as two against the cap.
void tst_Listener::handshakesJoinRenameReplaceAndTakeTheNameBack()
{
    Server server({3, 3});
    auto old = server.connectPeer();
    QVERIFY(old);
    QTRY_COMPARE(server.listener.pendingConnections().size(), 1);
    qsizetype membersWhenChanged = -1;
    connect(&server.listener, &MorvendaListener::connectionsChanged, this,
            [&](const QList<MorvendaListener::ConnectionPtr> &c) { membersWhenChanged = c.size(); });
    old->handshake(QStringLiteral("Retailer iOS"));
    QTRY_COMPARE(old->raw().size(), 22);
    QCOMPARE(old->raw(), QByteArray::fromHex("12000000") + QByteArrayLiteral(R"({"serverHello":""})"));
    QCOMPARE(membersWhenChanged, 1);
    QCOMPARE(server.listener.pendingConnections().size(), 0);
    QVERIFY(server.connectionNamed(QStringLiteral("Retailer iOS")));
    QVERIFY(!server.listener.activeConnection());  // the developer selects it
    QVERIFY(logContains(server.logger, QStringLiteral("Received client handshake: Retailer iOS. Sending hello.")));

    old->handshake(QStringLiteral("App"));
    QTRY_COMPARE(old->frames().size(), 2);
    QCOMPARE(server.listener.connections().size(), 1);
    QVERIFY(!server.connectionNamed(QStringLiteral("Retailer iOS")));
    const auto oldConnection = server.connectionNamed(QStringLiteral("App"));
    QVERIFY(oldConnection);
    server.listener.select(oldConnection);

    QSignalSpy active(&server.listener, &MorvendaListener::activeConnectionChanged);
    auto fresh = server.connectApp(QStringLiteral("App"));
    QVERIFY(fresh);
    QTRY_COMPARE(active.size(), 1);
    QCOMPARE(server.listener.connections().size(), 1);
    QVERIFY(server.listener.activeConnection() != oldConnection);
    QCOMPARE(server.listener.activeConnection(), server.listener.connections().first());
    QVERIFY(oldConnection->isOpen() && old->isConnected());

    old->handshake(QStringLiteral("App"));
    QTRY_COMPARE(old->frames().size(), 3);
    QVERIFY(server.connectApp(QStringLiteral("Third")));
    QVERIFY(old->isConnected() && fresh->isConnected());
    QVERIFY(!logContains(server.logger, QStringLiteral("Too many")));
}

void tst_Listener::closedAndDisconnectedConnectionsLeaveTheLists()
{
    Server server;
    auto silent = server.connectPeer();
    QVERIFY(silent);
    QTRY_COMPARE(server.listener.pendingConnections().size(), 1);
    silent->socket().close();
    QTRY_COMPARE(server.listener.pendingConnections().size(), 0);

    auto a = server.connectApp(QStringLiteral("A"));
    auto b = server.connectApp(QStringLiteral("B"));
    QVERIFY(a && b);
    const auto target = server.connectionNamed(QStringLiteral("A"));
    server.listener.disconnect(QUuid::createUuid());  // unknown: nothing happens
    QCOMPARE(server.listener.connections().size(), 2);
    server.listener.disconnect(target->id());
    QCOMPARE(server.listener.connections().size(), 1);
    QCOMPARE(target->state(), MorvendaConnection::State::Cancelled);
    QTRY_VERIFY(!a->isConnected());
    QVERIFY(b->isConnected());
}

// A closed app stays listed with its name and state, nothing more: its socket and buffers go.
// One that never shook hands, or was replaced under its name, goes whole.
void tst_Listener::closedConnectionsKeepOnlyTheirEntry()
{
    Server server;
    auto silent = server.connectPeer();
    QVERIFY(silent);
    QTRY_COMPARE(server.listener.pendingConnections().size(), 1);
    std::weak_ptr<MorvendaConnection> silentConnection = server.listener.pendingConnections().first();
    silent->socket().close();
    QTRY_VERIFY(silentConnection.expired());

    auto app = server.connectApp(QStringLiteral("App"));
    QVERIFY(app);
    std::shared_ptr<MorvendaConnection> entry = server.connectionNamed(QStringLiteral("App"));
    QPointer<QTcpSocket> socket = entry->findChild<QTcpSocket *>();
    QVERIFY(socket);
    app->socket().close();
    QTRY_COMPARE(entry->state(), MorvendaConnection::State::Failed);
    QTRY_VERIFY(socket.isNull());
    QCOMPARE(server.listener.connections(), QList<MorvendaListener::ConnectionPtr>{entry});
    QCOMPARE(entry->displayName(), QStringLiteral("App"));
    QCOMPARE(entry->peerAddress(), QHostAddress(QHostAddress::LocalHost));

    const std::weak_ptr<MorvendaConnection> replaced = entry;
    entry.reset();
    auto again = server.connectApp(QStringLiteral("App"));
    QVERIFY(again);
    QTRY_VERIFY(replaced.expired());
    QCOMPARE(server.listener.connections().size(), 1);
}

void tst_Listener::manyConnectsAndClosesLeakNoDescriptors()
{
    Server server({256, 64});
    const int baseline = openDescriptorCount();
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<ScriptedPeer>> peers;
        for (int i = 0; i < 50; ++i) {
            auto peer = server.connectPeer();
            QVERIFY(peer);
            peers.push_back(std::move(peer));
        }
        QTRY_COMPARE(server.listener.pendingConnections().size(), 50);
        peers.clear();
        QTRY_COMPARE(server.listener.pendingConnections().size(), 0);
    }
    QTRY_COMPARE(openDescriptorCount(), baseline);
}

void tst_Listener::silentConnectionsDoNotLockAppsOut()
{
    // A peer that opens connections and never shakes hands (a scanner, a stuck client) fills
    // the cap; an app that connects afterwards must still get in.
    Server server({8, 16});
    std::vector<std::unique_ptr<ScriptedPeer>> silent;
    for (int i = 0; i < 8; ++i) {
        auto peer = server.connectPeer();
        QVERIFY(peer);
        silent.push_back(std::move(peer));
        QTRY_COMPARE(server.listener.pendingConnections().size(), i + 1);
    }
    auto app = server.connectApp(QStringLiteral("App"));
    QVERIFY(app);
    QVERIFY(server.connectionNamed(QStringLiteral("App")));
    // The connection that had waited longest for its handshake made room.
    QTRY_VERIFY(!silent.front()->isConnected());
    QVERIFY(silent.back()->isConnected());
    QVERIFY(logContains(server.logger, QStringLiteral("Too many open connections (8)")));
}

void tst_Listener::atTheCapTheIdlestRegisteredAppMakesRoom()
{
    // Apps that shook hands and then idle must not lock a new app out either; the active one is
    // never the one closed, and the closed one stays listed.
    Server server({4, 8});
    std::vector<std::unique_ptr<ScriptedPeer>> apps;
    for (int i = 0; i < 4; ++i) {
        auto app = server.connectApp(QStringLiteral("App %1").arg(i));
        QVERIFY(app);
        apps.push_back(std::move(app));
    }
    server.listener.select(server.connectionNamed(QStringLiteral("App 1")));  // idle, but active
    QSignalSpy milestones(&server.milestones, &MilestoneManager::hasUpdatedMilestones);
    apps[0]->send(milestoneJson);  // busy again
    QTRY_COMPARE(milestones.size(), 1);

    auto newcomer = server.connectApp(QStringLiteral("New"));
    QVERIFY(newcomer);
    QTRY_VERIFY(!apps[2]->isConnected());
    QVERIFY(apps[0]->isConnected() && apps[1]->isConnected() && apps[3]->isConnected());
    QCOMPARE(server.listener.connections().size(), 5);
    QCOMPARE(server.connectionNamed(QStringLiteral("App 2"))->state(), MorvendaConnection::State::Cancelled);
    QVERIFY(logContains(server.logger, QStringLiteral("Too many open connections (4): closing connection App 2, idle the longest")));
}

void tst_Listener::oneAddressCannotCrowdOutOthers()
{
    const QHostAddress crowd(QStringLiteral("127.0.0.2"));
    Server server({16, 3});
    std::vector<std::unique_ptr<ScriptedPeer>> crowded;
    for (int i = 0; i < 3; ++i) {
        auto app = server.connectApp(QStringLiteral("Crowd %1").arg(i), crowd);
        QVERIFY(app);
        crowded.push_back(std::move(app));
    }
    // A fourth from the same address: its silent connections would go first, but it has none.
    auto extra = server.connectPeer(crowd);
    QVERIFY(extra);
    QTRY_VERIFY(!extra->isConnected());
    QVERIFY(logContains(server.logger, QStringLiteral("Too many connections from 127.0.0.2 (3): closing the connection from 127.0.0.2:")));
    // Another host still gets in, and the crowd's registered apps are untouched.
    QVERIFY(server.connectApp(QStringLiteral("Elsewhere")));
    QVERIFY(std::all_of(crowded.cbegin(), crowded.cend(), [](const auto &p) { return p->isConnected(); }));
}

void tst_Listener::acceptingResumesAfterRunningOutOfDescriptors()
{
    // Running out of descriptors once (the rest of the tool holds many files) must not stop
    // the server for the rest of the run.
    Server server;
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    int lowestFree = 0;
    while (::fcntl(lowestFree, F_GETFD) != -1) {
        ++lowestFree;
    }
    // The app's socket takes the last allowed descriptor; accepting it then fails.
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree + 1);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    ScriptedPeer peer;
    const bool connected = peer.connectTo(server.listener.serverPort());
    QTRY_VERIFY(logContains(server.logger, QStringLiteral("Listener state updated: failed(")));
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    QVERIFY(connected);

    peer.handshake(QStringLiteral("App"));
    QTRY_COMPARE_WITH_TIMEOUT(peer.frames().size(), 1, 10000);
    QVERIFY(server.connectionNamed(QStringLiteral("App")));
}

void tst_Listener::partlyReceivedFramesShareOneBudget()
{
    ConnectionLimits limits;
    limits.frameBudget = 48 << 20;
    Server server(limits);
    auto holder = server.connectApp(QStringLiteral("Holder"));
    const QString greedyName = QStringLiteral("%3 %1 greedy");  // the notice shows it literally
    auto greedy = server.connectApp(greedyName);
    QVERIFY(holder && greedy);
    const QByteArray prefix = R"({"request":{"id":"8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01","url":"https://shop.example/held","headers":[],"data":")";
    const QByteArray held = *MorvendaFramer::frame(QByteArray(prefix + QByteArray((40 << 20) - prefix.size() - 3, 'h') + "\"}}"));
    const quint64 greedyLength = 200 << 20;
    const QByteArray filler(greedyLength, ' ');  // allocated before the baseline, as is `held`
    const qint64 baseline = residentBytes();
    qint64 peak = baseline;
    const auto sample = [&] { peak = std::max(peak, residentBytes()); };

    writeThrough(*holder, QByteArrayView(held).chopped(1024), sample);
    // Over what is left of the budget: given up as it streams, with the oversize frame's notice.
    greedy->sendRaw(*MorvendaFramer::header(greedyLength));
    writeThrough(*greedy, QByteArrayView(filler).first(120 << 20), sample);
    QTRY_VERIFY(logContains(server.logger, QStringLiteral("Skipped a message of ") + QString::number(greedyLength)
                                               + QStringLiteral(" bytes from ") + greedyName + QStringLiteral(": larger than the limit of ")));
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed blocks resident in its quarantine, so resident memory says
    // nothing about what the connections hold there.
    QVERIFY2(quint64(peak - baseline) < limits.frameBudget + (24 << 20),
             qPrintable(QStringLiteral("resident memory grew by %1 MiB").arg((peak - baseline) >> 20)));
#endif

    // The skipped frame's remaining bytes are counted off; every app's later frames arrive.
    writeThrough(*greedy, QByteArrayView(filler).sliced(120 << 20));
    greedy->request(QStringLiteral("8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A02"), QStringLiteral("https://shop.example/greedy"));
    auto late = server.connectApp(QStringLiteral("Late"));
    QVERIFY(late);
    late->request(QStringLiteral("8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A03"), QStringLiteral("https://shop.example/late"));
    QTRY_COMPARE(server.repository.exchangeCount(), 2);
    writeThrough(*holder, QByteArrayView(held).last(1024));
    QTRY_COMPARE(server.repository.exchangeCount(), 3);
    QCOMPARE(server.connectionNamed(QStringLiteral("Holder"))->bufferedInputBytes(), 0);
}

void tst_Listener::memoryRunningOutWhileDecodingCostsOnlyThatFrame()
{
    Server server;
    auto app = server.connectApp(QStringLiteral("Thrifty"));
    QVERIFY(app);
    Decoder::setDecodeHookForTesting([](QByteArrayView json) {
        if (json.contains("exhausting")) {
            throw std::bad_alloc();
        }
    });
    const auto removeHook = qScopeGuard([] { Decoder::setDecodeHookForTesting(nullptr); });
    app->request(QStringLiteral("8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A01"), QStringLiteral("https://shop.example/exhausting"));
    app->request(QStringLiteral("8C4F4A43-3B3E-4C55-9A51-2C3C1F0E0A02"), QStringLiteral("https://shop.example/next"));
    QTRY_COMPARE(server.repository.exchangeCount(), 1);
    QCOMPARE(server.repository.exchangeAt(0).request()->urlText(), QStringLiteral("https://shop.example/next"));
    QVERIFY(logContains(server.logger, QStringLiteral("Unable to decode Payload: dataCorrupted: not enough memory to decode")));
}

void tst_Listener::initTestCase()
{
    // Connection and listener debug lines would drown the test output.
    QLoggingCategory::setFilterRules(QStringLiteral("morvenda.*.debug=false\nmorvenda.*.info=false"));
}

QTEST_GUILESS_MAIN(tst_Listener)
#include "tst_listener.moc"
