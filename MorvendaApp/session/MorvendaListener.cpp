#include "MorvendaListener.h"

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/ServiceAdvertiser.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaModel/Encoder.h"
#include "MorvendaModel/MorvendaConstants.h"

#include <QPointer>
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
    QTcpSocket *socket = nullptr;
    try {
        socket = new QTcpSocket(this);
    } catch (const std::bad_alloc &) {
        qCCritical(lcMorvendaListener, "Out of memory while accepting a connection; closing it");
        ::close(int(descriptor));
        return;
    }
    if (!socket->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState,
                                     QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        qCWarning(lcMorvendaListener, "Unable to take an accepted connection: %s", qUtf8Printable(socket->errorString()));
        delete socket;
        ::close(int(descriptor));
        return;
    }
    addPendingConnection(socket);
}

MorvendaListener::MorvendaListener(const ListenerCollaborators &collaborators, const Options &options, QObject *parent)
    : QObject(parent)
    , m_logger(collaborators.logger)
    , m_registry(collaborators.logger, options.limits)
    , m_dispatcher(collaborators)
    , m_pipeline([this](const ConnectionPtr &connection, const QByteArray &message, DecodePipeline::Decoded decoded) {
        m_dispatcher.dispatch(connection, message, decoded);
    })
{
    connect(&m_registry, &ConnectionRegistry::connectionInserted, this, &MorvendaListener::connectionInserted);
    connect(&m_registry, &ConnectionRegistry::connectionReplaced, this, &MorvendaListener::connectionReplaced);
    connect(&m_registry, &ConnectionRegistry::connectionRemoved, this, &MorvendaListener::connectionRemoved);
    connect(&m_registry, &ConnectionRegistry::connectionsChanged, this, &MorvendaListener::connectionsChanged);
    connect(&m_registry, &ConnectionRegistry::activeConnectionChanged, this, &MorvendaListener::activeConnectionChanged);
    connect(&m_dispatcher, &PayloadDispatcher::handshakeReceived, this, &MorvendaListener::handleHandshake);
    connect(&m_dispatcher, &PayloadDispatcher::alertRaised, this, &MorvendaListener::setAlertViewState);
    collaborators.settingsManager.setAlertPresentingDelegate(this);

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
        m_logger.append(QStringLiteral("Listener state updated: ") + description);
    });
    startListening(options);
}

MorvendaListener::~MorvendaListener()
{
    // Connections may outlive the listener (views hold them); they must not call back into it.
    m_registry.disconnectAllFrom(this);
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
            m_startError = QStringLiteral("MORVENDA_PORT=\"%1\" is not a port number")
                               .arg(QString::fromLocal8Bit(portSetting));
            const QString message = QStringLiteral("Unable to start listener: ") + m_startError;
            qCCritical(lcMorvendaListener, "%s", qUtf8Printable(message));
            m_logger.error(message);
            return;
        }
        port = static_cast<quint16>(value);
    }
    if (!m_server.listen(options.address, port)) {
        m_startError = port != 0
            ? QStringLiteral("port %1 is not available (%2)").arg(port).arg(m_server.errorString())
            : m_server.errorString();
        const QString message = QStringLiteral("Unable to start listener: ") + m_startError;
        qCCritical(lcMorvendaListener, "%s", qUtf8Printable(message));
        m_logger.error(message);
        return;
    }
    m_server.setMaxPendingConnections(options.limits.maxOpen);
    qCDebug(lcMorvendaListener, "Starting listener");
    qCInfo(lcMorvendaListener, "Listening on port %u", unsigned(m_server.serverPort()));
    if (qgetenv("MORVENDA_NO_ADVERTISE") == "1") {
        qCInfo(lcMorvendaListener, "Not advertising the service (MORVENDA_NO_ADVERTISE=1)");
    } else if (options.advertise) {
        // On the first turn of the event loop, once the windows that show its lines exist.
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
        m_logger.append(QStringLiteral("Service name \"%1\" is taken; advertising as \"%2\"").arg(oldName, newName));
    });
    connect(m_advertiser, &ServiceAdvertiser::unavailable, this, [this, port](const QString &reason) {
        const QString message = QStringLiteral("Service advertising unavailable (%1); connect by address and port (port %2)")
                                    .arg(reason)
                                    .arg(port);
        qCWarning(lcMorvendaListener, "%s", qUtf8Printable(message));
        m_logger.error(message);
    });
    connect(m_advertiser, &ServiceAdvertiser::failed, this, [this](const QString &reason) {
        const QString message = QStringLiteral("Unable to advertise the service: ") + reason;
        qCCritical(lcMorvendaListener, "%s", qUtf8Printable(message));
        m_logger.error(message);
    });
    m_advertiser->start();
}

void MorvendaListener::handleNewConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_acceptFailing = false;
        try {
            acceptConnection(socket);
        } catch (const std::bad_alloc &) {
            // A connection half set up is released with the stack; its socket goes with it.
            qCCritical(lcMorvendaListener, "Out of memory while accepting a connection; closing it");
            socket->abort();
            socket->deleteLater();
        }
    }
}

void MorvendaListener::acceptConnection(QTcpSocket *socket)
{
    const QString description = describe(*socket);
    if (!m_registry.makeRoom(socket->peerAddress(), description)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    qCDebug(lcMorvendaListener, "Listener connection received: %s", qUtf8Printable(description));
    m_logger.append(QStringLiteral("Listener connection received: ") + description);

    ConnectionPtr connection = makeShared(new MorvendaConnection(socket, m_registry.frameBudget()));
    const std::weak_ptr<MorvendaConnection> weak = connection;
    const QUuid id = connection->id();
    MorvendaConnection *raw = connection.get();
    connect(raw, &MorvendaConnection::payloadReceived, this, [this, weak](const QByteArray &message) {
        if (ConnectionPtr c = weak.lock()) {
            m_pipeline.addMessage(c, message);
        }
    });
    // What happens to the connection is handled after the messages that came before it.
    const auto afterMessages = [this, weak](std::function<void()> notice) {
        if (ConnectionPtr c = weak.lock()) {
            m_pipeline.addNotice(c, std::move(notice));
        } else {
            notice();
        }
    };
    connect(raw, &MorvendaConnection::errorOccurred, this, [this, afterMessages](const QString &description) {
        afterMessages([this, description] { handleConnectionError(description); });
    });
    connect(raw, &MorvendaConnection::oversizeFrameSkipped, this, [this, weak, afterMessages](quint64 length, quint64 limit) {
        afterMessages([this, weak, length, limit] {
            const ConnectionPtr c = weak.lock();
            // One substitution pass: the app's name may itself contain "%3".
            const QString message = QStringLiteral("Skipped a message of %1 bytes from %2: larger than the limit of %3 bytes")
                                        .arg(QString::number(length), c ? c->displayName() : QString(),
                                             QString::number(limit));
            m_logger.error(message);
        });
    });
    connect(raw, &MorvendaConnection::closed, this, [this, id, raw, afterMessages] {
        afterMessages([this, id] { m_registry.handleClosed(id); });
        // Nothing more comes from a closed connection: what it holds for this listener goes.
        QObject::disconnect(raw, nullptr, this, nullptr);
    });
    m_registry.addPending(connection);
    connection->start();
}

void MorvendaListener::handleHandshake(const ConnectionPtr &connection, const QString &name)
{
    m_registry.registerHandshake(connection, name);
    send(AppPayload::serverHello(), connection);
}

void MorvendaListener::setActiveConnection(const ConnectionPtr &connection)
{
    m_registry.setActiveConnection(connection);
}

void MorvendaListener::select(const ConnectionPtr &connection)
{
    setActiveConnection(connection);
    const QString name = connection ? connection->displayName() : QString();
    qCDebug(lcMorvendaListener, "Selecting connection: %s", qUtf8Printable(name));
    m_logger.append(QStringLiteral("Selecting connection: ") + name);
}

void MorvendaListener::disconnect(const ConnectionPtr &connection)
{
    if (connection) {
        disconnect(connection->id());
    }
}

void MorvendaListener::disconnect(const QUuid &connectionId)
{
    m_registry.disconnect(connectionId);
}

void MorvendaListener::log(const QString &text)
{
    m_logger.append(text);
}

void MorvendaListener::setTimelineRecordingEnabled(bool enabled)
{
    m_dispatcher.setTimelineRecordingEnabled(enabled);
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
    if (const ConnectionPtr active = m_registry.activeConnection()) {
        send(payload, active);
    }
}

void MorvendaListener::send(const AppPayload &payload, const ConnectionPtr &connection)
{
    // Encoding cannot fail: every record has a JSON form.
    const QByteArray bytes = Encoder::encode(payload);
    QPointer<MorvendaListener> self(this);
    auto completion = [self](const MorvendaConnection::SendResult &result) {
        if (self) {
            self->handleSendCompletion(result);
        }
    };
    if (!connection) {
        // Completes like every other send: later, on the main thread, with the failure alert.
        QMetaObject::invokeMethod(
            this, [completion] { completion(tl::unexpected(QStringLiteral("No app is connected"))); },
            Qt::QueuedConnection);
        return;
    }
    connection->send(bytes, std::move(completion));
}

// Sends that fail together, such as the 100,000 answers an app that closed without reading left
// waiting, are one failure to the developer: the first of a run writes its line and raises the
// alert, equal ones that follow before the event loop turns again only count, and one line then
// says how many. So each failed send costs a comparison, whatever came before it.
void MorvendaListener::handleSendCompletion(const MorvendaConnection::SendResult &result)
{
    if (result) {
        endSendFailureRun();
        m_logger.append(QStringLiteral("Successfully sent app payload"));
        qCDebug(lcMorvendaListener, "Successfully sent app payload");
        return;
    }
    if (m_sendFailureRun && m_sendFailureRun->error == result.error()) {
        ++m_sendFailureRun->repeats;
        return;
    }
    endSendFailureRun();
    m_sendFailureRun = SendFailureRun{result.error(), 0};
    QTimer::singleShot(0, this, &MorvendaListener::endSendFailureRun);
    m_logger.error(QStringLiteral("Failed to send app payload: ") + result.error());
    qCCritical(lcMorvendaListener, "Failed to send app payload: %s", qUtf8Printable(Logger::excerpt(result.error())));
    setAlertViewState(Alert::ViewState::errorSendingMessageAlert(result.error()));
}

void MorvendaListener::endSendFailureRun()
{
    const std::optional<SendFailureRun> run = std::exchange(m_sendFailureRun, std::nullopt);
    if (!run || run->repeats == 0) {
        return;
    }
    const QString message = run->repeats == 1
        ? QStringLiteral("Failed to send app payload: %1 (1 more send failed the same way)").arg(run->error)
        : QStringLiteral("Failed to send app payload: %1 (%2 more sends failed the same way)").arg(run->error, QString::number(run->repeats));
    m_logger.error(message);
    qCCritical(lcMorvendaListener, "%s", qUtf8Printable(Logger::excerpt(message)));
}

void MorvendaListener::handleConnectionError(const QString &description)
{
    qCCritical(lcMorvendaListener, "Connection received error while processing data: %s", qUtf8Printable(description));
    m_logger.error(QStringLiteral("Connection received error while processing data: ") + description);
}
