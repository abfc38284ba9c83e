// Which app connections the server holds and in what role: pending until their handshake, then
// registered under the app's name (at most one per name), replaced by a newer connection of the
// same name, and the active one. Enforces the cap on open sockets. Owned by the listener; main thread.
#pragma once

#include "MorvendaModel/MorvendaConnection.h"

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QUuid>

#include <memory>

class Logger;

// The platform log of the listener and its parts (registry, dispatch).
Q_DECLARE_LOGGING_CATEGORY(lcMorvendaListener)

class ConnectionRegistry : public QObject
{
    Q_OBJECT
public:
    using ConnectionPtr = std::shared_ptr<MorvendaConnection>;

    // Open sockets (pending, registered and replaced together) at most: a port scan or a
    // reconnect loop must not exhaust descriptors.
    static constexpr int maxOpenConnections = 256;

    explicit ConnectionRegistry(Logger &logger, QObject *parent = nullptr);

    // Registered connections in order of their handshake.
    const QList<ConnectionPtr> &connections() const { return m_connections; }
    // Accepted connections that have not shaken hands yet and are still open.
    const QList<ConnectionPtr> &pendingConnections() const { return m_pendingConnections; }
    ConnectionPtr activeConnection() const { return m_activeConnection; }

    // Makes room for a connection from `peer` (address and port, for the log) if the cap is
    // reached, by closing the connection that has waited longest for its handshake. False when
    // there is no room: the caller closes the new socket.
    bool makeRoom(const QString &peer);
    // A newly accepted connection; it stays pending until `registerHandshake`.
    void addPending(const ConnectionPtr &connection);
    // Takes `connection` under the app's `name`, replacing (not cancelling) a member of that name
    // and handing it the active role when that member held it.
    void registerHandshake(const ConnectionPtr &connection, const QString &name);
    void setActiveConnection(const ConnectionPtr &connection);
    // Cancels and removes the registered connection with that identifier; false when none.
    bool disconnect(const QUuid &connectionId);
    // A connection's socket closed: pending and replaced ones are forgotten, registered ones stay.
    void handleClosed(const QUuid &connectionId);
    // Detaches every known connection from `receiver` (the listener going away before them).
    void disconnectAllFrom(const QObject *receiver) const;

signals:
    void connectionsChanged(const QList<ConnectionRegistry::ConnectionPtr> &connections);
    void activeConnectionChanged(const ConnectionRegistry::ConnectionPtr &connection);

private:
    int openConnectionCount() const;
    void retire(const ConnectionPtr &connection);

    Logger &m_logger;
    QList<ConnectionPtr> m_connections;
    ConnectionPtr m_activeConnection;
    QList<ConnectionPtr> m_pendingConnections;
    // Replaced by a newer connection of the same name but not cancelled: kept until they close.
    QList<ConnectionPtr> m_replacedConnections;
};
