// Registry half of the listener: listening, advertising, accepting, handshakes, selection and
// disconnection. Dispatch and sending are in MorvendaListenerDispatch.cpp.
#include "MorvendaListener.h"

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/ServiceAdvertiser.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaModel/MorvendaConstants.h"

#include <QSysInfo>
#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcMorvendaListener, "morvenda.MorvendaListener")

namespace {

// The connection objects are QObjects that may be released from inside their own signals.
MorvendaListener::ConnectionPtr makeShared(MorvendaConnection *connection)
{
    return MorvendaListener::ConnectionPtr(connection, [](MorvendaConnection *c) { c->deleteLater(); });
}

qsizetype indexOfId(const QList<MorvendaListener::ConnectionPtr> &list, const QUuid &id)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i]->id() == id) {
            return i;
        }
    }
    return -1;
}

QString describe(const QTcpSocket &socket)
{
    const QHostAddress address = socket.peerAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
        ? u'[' + address.toString() + u']'
        : address.toString();
    return host + u':' + QString::number(socket.peerPort());
}

} // namespace

void MorvendaListener::Server::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState,
                                     QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        qCWarning(lcMorvendaListener, "Unable to take an accepted connection: %s", qUtf8Printable(socket->errorString()));
        delete socket;
        ::close(int(descriptor));
        return;
    }
    addPendingConnection(socket);
}

MorvendaListener::MorvendaListener(QObject *parent)
    : MorvendaListener(Options{}, parent)
{
}

MorvendaListener::MorvendaListener(const Options &options, QObject *parent)
    : QObject(parent)
    , m_decoder(Decoder::make())
{
    connect(&m_server, &QTcpServer::newConnection, this, &MorvendaListener::handleNewConnections);
    connect(&m_server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        // QTcpServer stops accepting after any such error (out of descriptors, for example) and
        // never starts again by itself: try again shortly, and log once until an accept works.
        QTimer::singleShot(acceptRetryMs, this, [this] { m_server.resumeAccepting(); });
        if (std::exchange(m_acceptFailing, true)) {
            return;
        }
        const QString description = QStringLiteral("failed(") + m_server.errorString() + u')';
        qCDebug(lcMorvendaListener, "Listener state updated: %s", qUtf8Printable(description));
        if (m_logger) {
            m_logger->append(QStringLiteral("Listener state updated: ") + description);
        }
    });
    startListening(options);
}

MorvendaListener::~MorvendaListener()
{
    // Connections may outlive the listener (views hold them); they must not call back into it.
    for (const auto *list : {&m_connections, &m_pendingConnections, &m_replacedConnections}) {
        for (const auto &connection : *list) {
            connection->QObject::disconnect(this);
        }
    }
    if (m_activeConnection) {
        m_activeConnection->QObject::disconnect(this);
    }
}

QString MorvendaListener::bonjourName(const QString &hostName)
{
    QString name = hostName;
    name.remove(QStringLiteral(".local"), Qt::CaseSensitive);
    return name;
}

QString MorvendaListener::bonjourName()
{
    static const QString name = bonjourName(QSysInfo::machineHostName());
    return name;
}

void MorvendaListener::startListening(const Options &options)
{
    quint16 port = 0;
    const QByteArray portSetting = qgetenv("MORVENDA_PORT");
    if (!portSetting.isEmpty()) {
        bool ok = false;
        const uint value = portSetting.toUInt(&ok);
        if (!ok || value == 0 || value > 65535) {
            const QString message = QStringLiteral("Unable to start listener: MORVENDA_PORT=\"%1\" is not a port number")
                                        .arg(QString::fromLocal8Bit(portSetting));
            qCCritical(lcMorvendaListener, "%s", qUtf8Printable(message));
            errorLine(message);
            return;
        }
        port = static_cast<quint16>(value);
    }
    if (!m_server.listen(options.address, port)) {
        const QString message = port != 0
            ? QStringLiteral("Unable to start listener: port %1 is not available (%2)").arg(port).arg(m_server.errorString())
            : QStringLiteral("Unable to start listener: ") + m_server.errorString();
        qCCritical(lcMorvendaListener, "%s", qUtf8Printable(message));
        errorLine(message);
        return;
    }
    m_server.setMaxPendingConnections(maxOpenConnections);
    qCDebug(lcMorvendaListener, "Starting listener");
    qCInfo(lcMorvendaListener, "Listening on port %u", unsigned(m_server.serverPort()));
    if (qgetenv("MORVENDA_NO_ADVERTISE") == "1") {
        qCInfo(lcMorvendaListener, "Not advertising the service (MORVENDA_NO_ADVERTISE=1)");
    } else if (options.advertise) {
        // On the first turn of the event loop, after `configure`, so its lines reach both logs.
        QTimer::singleShot(0, this, &MorvendaListener::startAdvertising);
    }
}

void MorvendaListener::startAdvertising()
{
    m_advertiser = new ServiceAdvertiser(bonjourName(), MorvendaConstants::serviceType(), m_server.serverPort(), this);
    const quint16 port = m_server.serverPort();
    connect(m_advertiser, &ServiceAdvertiser::registered, this, [](const QString &name) {
        qCInfo(lcMorvendaListener, "Advertising as \"%s\"", qUtf8Printable(name));
    });
    connect(m_advertiser, &ServiceAdvertiser::renamed, this, [this](const QString &oldName, const QString &newName) {
        qCInfo(lcMorvendaListener, "Service name \"%s\" is taken; advertising as \"%s\"", qUtf8Printable(oldName),
               qUtf8Printable(newName));
        appendLine(QStringLiteral("Service name \"%1\" is taken; advertising as \"%2\"").arg(oldName, newName));
    });
    connect(m_advertiser, &ServiceAdvertiser::unavailable, this, [this, port](const QString &reason) {
        const QString message = QStringLiteral("Service advertising unavailable (%1); connect by address and port (port %2)")
                                    .arg(reason)
                                    .arg(port);
        qCWarning(lcMorvendaListener, "%s", qUtf8Printable(message));
        errorLine(message);
    });
    connect(m_advertiser, &ServiceAdvertiser::failed, this, [this](const QString &reason) {
        const QString message = QStringLiteral("Unable to advertise the service: ") + reason;
        qCCritical(lcMorvendaListener, "%s", qUtf8Printable(message));
        errorLine(message);
    });
    m_advertiser->start();
}

void MorvendaListener::configure(UserManager &userManager, SettingsManager &settingsManager,
                                 MilestoneManager &milestoneManager, MessageRepository &repository, Logger &logger)
{
    m_userManager = &userManager;
    m_settingsManager = &settingsManager;
    m_milestoneManager = &milestoneManager;
    m_repository = &repository;
    m_logger = &logger;
    settingsManager.setAlertPresentingDelegate(this);
    for (const auto &[isError, text] : std::exchange(m_earlyLines, {})) {
        isError ? logger.error(text) : logger.append(text);
    }
}

void MorvendaListener::appendLine(const QString &text)
{
    if (m_logger) {
        m_logger->append(text);
    } else if (m_earlyLines.size() < maxEarlyLines) {
        m_earlyLines.append({false, text});
    }
}

void MorvendaListener::errorLine(const QString &text)
{
    if (m_logger) {
        m_logger->error(text);
    } else if (m_earlyLines.size() < maxEarlyLines) {
        m_earlyLines.append({true, text});
    }
}

int MorvendaListener::openConnectionCount() const
{
    int count = 0;
    for (const auto *list : {&m_connections, &m_pendingConnections, &m_replacedConnections}) {
        count += int(std::count_if(list->cbegin(), list->cend(), [](const ConnectionPtr &c) { return c->isOpen(); }));
    }
    return count;
}

void MorvendaListener::handleNewConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_acceptFailing = false;
        acceptConnection(socket);
    }
}

void MorvendaListener::acceptConnection(QTcpSocket *socket)
{
    const QString description = describe(*socket);
    if (openConnectionCount() >= maxOpenConnections) {
        // Connections that never shake hands (a scanner, a stuck client) must not lock the apps
        // out: the one that has waited longest for its handshake makes room.
        const auto silent = std::find_if(m_pendingConnections.cbegin(), m_pendingConnections.cend(),
                                         [](const ConnectionPtr &c) { return c->isOpen(); });
        if (silent != m_pendingConnections.cend()) {
            const ConnectionPtr evicted = *silent;
            const QString message = QStringLiteral("Too many open connections (%1): closing connection %2, which has not sent its handshake")
                                        .arg(QString::number(maxOpenConnections), evicted->displayName());
            qCWarning(lcMorvendaListener, "%s", qUtf8Printable(message));
            errorLine(message);
            evicted->cancel();  // its close takes it out of the pending list
        }
    }
    if (openConnectionCount() >= maxOpenConnections) {
        const QString message = QStringLiteral("Too many open connections (%1): closing the connection from %2")
                                    .arg(maxOpenConnections)
                                    .arg(description);
        qCWarning(lcMorvendaListener, "%s", qUtf8Printable(message));
        errorLine(message);
        socket->abort();
        socket->deleteLater();
        return;
    }
    qCDebug(lcMorvendaListener, "Listener connection received: %s", qUtf8Printable(description));
    appendLine(QStringLiteral("Listener connection received: ") + description);

    ConnectionPtr connection = makeShared(new MorvendaConnection(socket));
    const std::weak_ptr<MorvendaConnection> weak = connection;
    const QUuid id = connection->id();
    MorvendaConnection *raw = connection.get();
    connect(raw, &MorvendaConnection::payloadReceived, this, [this, weak](const QByteArray &message) {
        if (ConnectionPtr c = weak.lock()) {
            handlePayload(c, message);
        }
    });
    connect(raw, &MorvendaConnection::errorOccurred, this, &MorvendaListener::handleConnectionError);
    connect(raw, &MorvendaConnection::oversizeFrameSkipped, this, [this, weak](quint64 length) {
        const ConnectionPtr c = weak.lock();
        // One substitution pass: the app's name may itself contain "%3".
        const QString message = QStringLiteral("Skipped a message of %1 bytes from %2: larger than the limit of %3 bytes")
                                    .arg(QString::number(length), c ? c->displayName() : QString(),
                                         QString::number(MorvendaFramer::maxFrameLength));
        errorLine(message);
    });
    connect(raw, &MorvendaConnection::closed, this, [this, id] { handleConnectionClosed(id); });
    m_pendingConnections.append(connection);
    connection->start();
}

void MorvendaListener::handleConnectionClosed(const QUuid &id)
{
    // A pending connection that closed can never shake hands; a replaced one is no longer
    // reachable. Registered connections stay listed (with their closed state) until disconnected.
    if (const qsizetype i = indexOfId(m_pendingConnections, id); i >= 0) {
        m_pendingConnections.removeAt(i);
    }
    if (const qsizetype i = indexOfId(m_replacedConnections, id); i >= 0) {
        m_replacedConnections.removeAt(i);
    }
}

void MorvendaListener::retire(const ConnectionPtr &connection)
{
    if (connection->isOpen() && indexOfId(m_replacedConnections, connection->id()) < 0) {
        m_replacedConnections.append(connection);
    }
}

void MorvendaListener::handleHandshake(const ConnectionPtr &connection, const QString &name)
{
    if (const qsizetype i = indexOfId(m_pendingConnections, connection->id()); i >= 0) {
        m_pendingConnections.removeAt(i);
    }
    // A member shaking hands again under a new name leaves under its old name first.
    if (const qsizetype i = indexOfId(m_connections, connection->id()); i >= 0 && m_connections[i]->displayName() != name) {
        m_connections.removeAt(i);
    }
    connection->setDisplayName(name);
    const auto sameName = std::find_if(m_connections.begin(), m_connections.end(),
                                       [&name](const ConnectionPtr &c) { return c->displayName() == name; });
    if (sameName != m_connections.end()) {
        if (*sameName != connection) {
            retire(*sameName);  // replaced, not cancelled
        }
        *sameName = connection;
    } else {
        m_connections.append(connection);
    }
    emit connectionsChanged(m_connections);
    if (m_activeConnection && m_activeConnection->displayName() == name) {
        m_activeConnection = connection;
        emit activeConnectionChanged(m_activeConnection);
    }
}

void MorvendaListener::setActiveConnection(const ConnectionPtr &connection)
{
    m_activeConnection = connection;
    emit activeConnectionChanged(m_activeConnection);
}

void MorvendaListener::select(const ConnectionPtr &connection)
{
    setActiveConnection(connection);
    const QString name = connection ? connection->displayName() : QString();
    qCDebug(lcMorvendaListener, "Selecting connection: %s", qUtf8Printable(name));
    appendLine(QStringLiteral("Selecting connection: ") + name);
}

void MorvendaListener::disconnect(const ConnectionPtr &connection)
{
    if (connection) {
        disconnect(connection->id());
    }
}

void MorvendaListener::disconnect(const QUuid &connectionId)
{
    const qsizetype i = indexOfId(m_connections, connectionId);
    if (i < 0) {
        return;
    }
    const ConnectionPtr found = m_connections.takeAt(i);
    found->cancel();
    emit connectionsChanged(m_connections);
}

void MorvendaListener::log(const QString &text)
{
    appendLine(text);
}

void MorvendaListener::setTimelineRecordingEnabled(bool enabled)
{
    m_timelineRecordingEnabled = enabled;
    emit timelineRecordingEnabledChanged(enabled);
}

void MorvendaListener::setAlertViewState(const Alert::ViewState &alert)
{
    m_alertViewState = alert;
    emit alertViewStateChanged(alert);
}

void MorvendaListener::presentAlert(const Alert::ViewState &alert)
{
    setAlertViewState(alert);
}

void MorvendaListener::sendToActiveConnection(const AppPayload &payload)
{
    if (m_activeConnection) {
        send(payload, m_activeConnection);
    }
}
