// The one server of a running tool: listens for the apps, advertises itself, keeps the accepted
// connections (pending until their handshake, then registered by name), dispatches what they send
// to the repository and the per-connection stores, sends commands back and raises alerts.
// Created once at start and shared by reference; lives on the main thread, as do its sockets.
#pragma once

#include "MorvendaApp/session/AlertPresentingDelegate.h"
#include "MorvendaApp/core/Alert.h"
#include "MorvendaModel/AppPayload.h"
#include "MorvendaModel/Decoder.h"
#include "MorvendaModel/MorvendaConnection.h"

#include <QHostAddress>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QUuid>

#include <memory>
#include <optional>

class Logger;
class MessageRepository;
class MilestoneManager;
class ServiceAdvertiser;
class SettingsManager;
class UserManager;

Q_DECLARE_LOGGING_CATEGORY(lcMorvendaListener)

class MorvendaListener : public QObject, public AlertPresentingDelegate
{
    Q_OBJECT
public:
    using ConnectionPtr = std::shared_ptr<MorvendaConnection>;

    // Open sockets (pending, registered and replaced together) at most: a port scan or a
    // reconnect loop must not exhaust descriptors. At the cap the connection that has waited
    // longest for its handshake is closed to make room; without one, the new one is closed.
    static constexpr int maxOpenConnections = 256;
    // After a failed accept (such as running out of descriptors), accepting resumes this much later.
    static constexpr int acceptRetryMs = 1000;
    // Undecodable messages are logged with at most this much of their text.
    static constexpr qsizetype maxLoggedBodyBytes = 64 * 1024;

    struct Options {
        // The application listens on every interface; tests pass the loopback address.
        QHostAddress address = QHostAddress::Any;
        // Advertising can also be switched off by MORVENDA_NO_ADVERTISE=1.
        bool advertise = true;
    };

    // Starts listening at once: on MORVENDA_PORT when set, else on any free port.
    explicit MorvendaListener(QObject *parent = nullptr);
    explicit MorvendaListener(const Options &options, QObject *parent = nullptr);
    ~MorvendaListener() override;

    // The advertised service name: the host name with every ".local" removed. Computed once.
    static QString bonjourName();
    static QString bonjourName(const QString &hostName);

    bool isListening() const { return m_server.isListening(); }
    quint16 serverPort() const { return m_server.serverPort(); }

    // Published state (see signals): each assignment notifies, equal values included.
    // Registered connections in order of their handshake; at most one per display name.
    const QList<ConnectionPtr> &connections() const { return m_connections; }
    ConnectionPtr activeConnection() const { return m_activeConnection; }
    const std::optional<Alert::ViewState> &alertViewState() const { return m_alertViewState; }
    bool timelineRecordingEnabled() const { return m_timelineRecordingEnabled; }
    void setTimelineRecordingEnabled(bool enabled);
    // Accepted connections that have not shaken hands yet and are still open.
    const QList<ConnectionPtr> &pendingConnections() const { return m_pendingConnections; }

    // Hands over the stores and the application log and becomes the settings manager's alert
    // delegate. Call once the shared objects exist, before the event loop runs; calling it
    // again replaces the objects and changes nothing else.
    void configure(UserManager &userManager, SettingsManager &settingsManager, MilestoneManager &milestoneManager,
                   MessageRepository &repository, Logger &logger);

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
    // or missing connection included) raises the send-failure alert.
    void send(const AppPayload &payload, const ConnectionPtr &connection);

    // AlertPresentingDelegate
    void presentAlert(const Alert::ViewState &alert) override;
    void sendToActiveConnection(const AppPayload &payload) override;

    // Decodes and dispatches one message of `connection` (what its payload signal calls).
    void handlePayload(const ConnectionPtr &connection, const QByteArray &message);

signals:
    void connectionsChanged(const QList<MorvendaListener::ConnectionPtr> &connections);
    void activeConnectionChanged(const MorvendaListener::ConnectionPtr &connection);
    void alertViewStateChanged(const Alert::ViewState &alert);
    void timelineRecordingEnabledChanged(bool enabled);

private:
    void startListening(const Options &options);
    void startAdvertising();
    void handleNewConnections();
    void acceptConnection(QTcpSocket *socket);
    void handleConnectionClosed(const QUuid &id);
    void handleHandshake(const ConnectionPtr &connection, const QString &name);
    std::optional<Payload> decodePayload(const QByteArray &message);
    void logUndecodablePayload(const DecodeError &error, const QByteArray &message);
    void presentLegacyProtocolAlert(const DecodeError &error);
    void handleSendCompletion(const MorvendaConnection::SendResult &result);
    void handleConnectionError(const QString &description);
    void retire(const ConnectionPtr &connection);
    int openConnectionCount() const;
    void setAlertViewState(const Alert::ViewState &alert);
    // Application-log lines written before `configure` are kept and written by it.
    void appendLine(const QString &text);
    void errorLine(const QString &text);

    // Opens accepted sockets with QIODevice::Unbuffered. Qt 6.4 honours that only for sockets it
    // connects itself, so these still read ahead into their buffer; the connection bounds it
    // (MorvendaConnection::readBufferSize), and TCP flow control slows a fast app beyond that.
    class Server : public QTcpServer
    {
    protected:
        void incomingConnection(qintptr descriptor) override;
    };

    Server m_server;
    ServiceAdvertiser *m_advertiser = nullptr;
    QList<ConnectionPtr> m_connections;
    ConnectionPtr m_activeConnection;
    std::optional<Alert::ViewState> m_alertViewState;
    bool m_timelineRecordingEnabled = true;
    QList<ConnectionPtr> m_pendingConnections;
    // Replaced by a newer connection of the same name but not cancelled: kept until they close.
    QList<ConnectionPtr> m_replacedConnections;
    QPointer<MessageRepository> m_repository;
    QPointer<UserManager> m_userManager;
    QPointer<SettingsManager> m_settingsManager;
    QPointer<MilestoneManager> m_milestoneManager;
    QPointer<Logger> m_logger;
    // (is error, text); bounded in case `configure` never comes. The platform log has them all.
    static constexpr qsizetype maxEarlyLines = 1000;
    QList<std::pair<bool, QString>> m_earlyLines;
    bool m_hasDisplayedLegacyProtocolAlert = false;
    bool m_acceptFailing = false;
    Decoder m_decoder;
};
