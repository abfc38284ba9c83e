// Which app connections the server holds and in what role: pending until their handshake, then
// registered under the app's name (at most one per name), replaced by a newer connection of the
// same name, and the active one. Enforces the limits on open sockets. Owned by the listener; main
// thread.
#pragma once

#include "MorvendaModel/FrameBudget.h"
#include "MorvendaModel/MorvendaConnection.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QUuid>

#include <cstdint>
#include <memory>

class Logger;

// The platform log of the listener and its parts (registry, dispatch).
Q_DECLARE_LOGGING_CATEGORY(lcMorvendaListener)

// Open sockets (pending, registered and replaced together) the server keeps at most, so a port
// scan, a reconnect loop or one hostile host cannot exhaust descriptors or lock the apps out.
struct ConnectionLimits {
    int maxOpen = 256;
    // Per remote address: far more than the apps one device or simulator host runs at once.
    int maxPerAddress = 32;
    // Bytes of partly received frames held across all connections (see FrameBudget).
    std::uint64_t frameBudget = FrameBudget::defaultLimit;
};

class ConnectionRegistry : public QObject
{
    Q_OBJECT
public:
    using ConnectionPtr = std::shared_ptr<MorvendaConnection>;

    explicit ConnectionRegistry(Logger &logger, ConnectionLimits limits = {}, QObject *parent = nullptr);

    const ConnectionLimits &limits() const { return m_limits; }
    // Shared by every connection the server accepts; connections may outlive the registry.
    const std::shared_ptr<FrameBudget> &frameBudget() const { return m_frameBudget; }
    // Registered connections in order of their handshake; closed ones stay until disconnected.
    const QList<ConnectionPtr> &connections() const { return m_connections; }
    // Accepted connections that have not shaken hands yet and are still open.
    const QList<ConnectionPtr> &pendingConnections() const { return m_pendingConnections; }
    ConnectionPtr activeConnection() const { return m_activeConnection; }

    // Makes room for a new connection from `address` (`peer` names it in the log), closing others
    // as the limits require. False when there is no room: the caller closes the new socket.
    bool makeRoom(const QHostAddress &address, const QString &peer);
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
    // Row changes of connections(), each emitted right after the list changed; then
    // connectionsChanged once per operation with the whole list.
    void connectionInserted(int row, const ConnectionRegistry::ConnectionPtr &connection);
    void connectionReplaced(int row, const ConnectionRegistry::ConnectionPtr &connection);
    void connectionRemoved(int row);
    void connectionsChanged(const QList<ConnectionRegistry::ConnectionPtr> &connections);
    void activeConnectionChanged(const ConnectionRegistry::ConnectionPtr &connection);

private:
    // The row of a registered connection; searched from the newest.
    qsizetype rowOf(const ConnectionPtr &connection) const;
    int openCount(const QHostAddress *address = nullptr) const;
    bool evictPending(const QHostAddress *address, const QString &reason);
    bool evictIdlest(const QList<ConnectionPtr> &list, const QString &reason);
    void retire(const ConnectionPtr &connection);

    Logger &m_logger;
    ConnectionLimits m_limits;
    std::shared_ptr<FrameBudget> m_frameBudget;
    QList<ConnectionPtr> m_connections;
    // The same connections by display name, and those of them whose socket has not closed yet:
    // closed connections stay listed, so a handshake or an accept must not look through them all.
    QHash<QString, ConnectionPtr> m_byName;
    QList<ConnectionPtr> m_openRegistered;
    ConnectionPtr m_activeConnection;
    QList<ConnectionPtr> m_pendingConnections;
    // Replaced by a newer connection of the same name but not cancelled: kept until they close.
    QList<ConnectionPtr> m_replacedConnections;
};
