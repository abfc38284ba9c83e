// The one server of a running tool: listens for the apps, advertises itself, accepts connections
// into its registry, hands what they send to its dispatcher, sends commands back and publishes
// the alert to present. Created once at start, after the stores and the log it is given, and
// shared by reference; lives on the main thread, as do its sockets.
#pragma once

#include "MorvendaApp/core/Alert.h"
#include "MorvendaApp/session/AlertPresentingDelegate.h"
#include "MorvendaApp/session/ConnectionRegistry.h"
#include "MorvendaApp/session/DecodePipeline.h"
#include "MorvendaApp/session/PayloadDispatcher.h"
#include "MorvendaModel/AppPayload.h"
#include "MorvendaModel/MorvendaConnection.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUuid>

#include <optional>

class ServiceAdvertiser;

struct ListenerOptions {
    // The application listens on every interface and advertises (which MORVENDA_NO_ADVERTISE=1
    // also switches off); tests pass the loopback address, and lower the limits to reach them
    // with a few sockets.
    ListenerOptions(QHostAddress address = QHostAddress::Any, bool advertise = true, ConnectionLimits limits = {})
        : address(std::move(address)), advertise(advertise), limits(limits)
    {
    }

    QHostAddress address;
    bool advertise;
    ConnectionLimits limits;
};

class MorvendaListener : public QObject, public AlertPresentingDelegate
{
    Q_OBJECT
public:
    using ConnectionPtr = ConnectionRegistry::ConnectionPtr;

    // After a failed accept (such as running out of descriptors), accepting resumes this much later.
    static constexpr int acceptRetryMs = 1000;

    using Options = ListenerOptions;

    // Starts listening at once: on MORVENDA_PORT when set, else on any free port. Becomes the
    // settings manager's alert delegate.
    explicit MorvendaListener(const ListenerCollaborators &collaborators, const Options &options = {},
                              QObject *parent = nullptr);
    ~MorvendaListener() override;

    // The advertised service name: the host name with every ".local" removed. Computed once.
    static QString bonjourName();
    static QString bonjourName(const QString &hostName);

    bool isListening() const { return m_server.isListening(); }
    // Why listening failed at start (names the port when one was asked for); empty while listening.
    const QString &startError() const { return m_startError; }
    quint16 serverPort() const { return m_server.serverPort(); }

    // Published state (see signals): each assignment notifies, equal values included.
    // Registered connections in order of their handshake; at most one per display name.
    const QList<ConnectionPtr> &connections() const { return m_registry.connections(); }
    ConnectionPtr activeConnection() const { return m_registry.activeConnection(); }
    const std::optional<Alert::ViewState> &alertViewState() const { return m_alertViewState; }
    bool timelineRecordingEnabled() const { return m_dispatcher.timelineRecordingEnabled(); }
    void setTimelineRecordingEnabled(bool enabled);
    // Accepted connections that have not shaken hands yet and are still open.
    const QList<ConnectionPtr> &pendingConnections() const { return m_registry.pendingConnections(); }

    // Makes `connection` active and writes "Selecting connection: <name>" to both logs.
    void select(const ConnectionPtr &connection);
    // Writes the published active connection directly, with no log line: how the views clear
    // it when a session file becomes the timeline's source.
    void setActiveConnection(const ConnectionPtr &connection);
    // Cancels the registered connection with that identifier and removes it; the active
    // connection stays active. An unknown identifier does nothing.
    void disconnect(const ConnectionPtr &connection);
    void disconnect(const QUuid &connectionId);
    // A plain line in the application log.
    void log(const QString &text);

    // Encodes `payload` and sends it on `connection`. The outcome is logged; a failure (a closed
    // or missing connection included) raises the send-failure alert, once for equal failures that
    // arrive together (they are counted in the log).
    void send(const AppPayload &payload, const ConnectionPtr &connection);

    // AlertPresentingDelegate
    void presentAlert(const Alert::ViewState &alert) override;
    void sendToActiveConnection(const AppPayload &payload) override;

signals:
    // Fine-grained changes of connections() for list models; connectionsChanged follows them.
    void connectionInserted(int row, const MorvendaListener::ConnectionPtr &connection);
    void connectionReplaced(int row, const MorvendaListener::ConnectionPtr &connection);
    void connectionRemoved(int row);
    void connectionsChanged(const QList<MorvendaListener::ConnectionPtr> &connections);
    void activeConnectionChanged(const MorvendaListener::ConnectionPtr &connection);
    void alertViewStateChanged(const Alert::ViewState &alert);
    void timelineRecordingEnabledChanged(bool enabled);

private:
    void startListening(const Options &options);
    void startAdvertising();
    void handleNewConnections();
    void acceptConnection(QTcpSocket *socket);
    void handleHandshake(const ConnectionPtr &connection, const QString &name);
    void handleSendCompletion(const MorvendaConnection::SendResult &result);
    void endSendFailureRun();
    void handleConnectionError(const QString &description);
    void setAlertViewState(const Alert::ViewState &alert);

    // Opens accepted sockets with QIODevice::Unbuffered. Qt 6.4 honours that only for sockets it
    // connects itself, so these still read ahead into their buffer; the connection bounds it
    // (MorvendaConnection::readBufferSize), and TCP flow control slows a fast app beyond that.
    class Server : public QTcpServer
    {
    protected:
        void incomingConnection(qintptr descriptor) override;
    };

    Logger &m_logger;
    Server m_server;
    QString m_startError;
    ServiceAdvertiser *m_advertiser = nullptr;
    ConnectionRegistry m_registry;
    PayloadDispatcher m_dispatcher;
    // Hands messages to the dispatcher, decoded off the main thread; declared after what its
    // handlers reach, so it goes (waiting for its workers) before them.
    DecodePipeline m_pipeline;
    std::optional<Alert::ViewState> m_alertViewState;
    bool m_acceptFailing = false;
    // Equal send failures handled in a row within one turn of the event loop.
    struct SendFailureRun {
        QString error;
        qint64 repeats;
    };
    std::optional<SendFailureRun> m_sendFailureRun;
};
