#include "ConnectionRegistry.h"

#include "MorvendaApp/session/Logger.h"

#include <algorithm>

namespace {

qsizetype indexOfId(const QList<ConnectionRegistry::ConnectionPtr> &list, const QUuid &id)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i]->id() == id) {
            return i;
        }
    }
    return -1;
}

} // namespace

ConnectionRegistry::ConnectionRegistry(Logger &logger, ConnectionLimits limits, QObject *parent)
    : QObject(parent)
    , m_logger(logger)
    , m_limits(limits)
    , m_frameBudget(std::make_shared<FrameBudget>(limits.frameBudget))
{
}

qsizetype ConnectionRegistry::rowOf(const ConnectionPtr &connection) const
{
    for (qsizetype i = m_connections.size() - 1; i >= 0; --i) {
        if (m_connections[i] == connection) {
            return i;
        }
    }
    return -1;
}

int ConnectionRegistry::openCount(const QHostAddress *address) const
{
    int count = 0;
    for (const auto *list : {&m_openRegistered, &m_pendingConnections, &m_replacedConnections}) {
        count += int(std::count_if(list->cbegin(), list->cend(), [address](const ConnectionPtr &c) {
            return c->isOpen() && (!address || c->peerAddress().isEqual(*address));
        }));
    }
    return count;
}

// Closes the open pending connection that has waited longest for its handshake (of `address`
// when given): connections that never shake hands (a scanner, a stuck client) go first.
bool ConnectionRegistry::evictPending(const QHostAddress *address, const QString &reason)
{
    const auto silent = std::find_if(m_pendingConnections.cbegin(), m_pendingConnections.cend(), [address](const ConnectionPtr &c) {
        return c->isOpen() && (!address || c->peerAddress().isEqual(*address));
    });
    if (silent == m_pendingConnections.cend()) {
        return false;
    }
    const ConnectionPtr evicted = *silent;
    const QString message = reason + QStringLiteral(": closing connection %1, which has not sent its handshake").arg(evicted->displayName());
    qCWarning(lcMorvendaListener, "%s", qUtf8Printable(message));
    m_logger.error(message);
    evicted->cancel();  // its close takes it out of the pending list
    return true;
}

// Closes the open connection of `list` that has been idle longest, never the active one. A
// registered one stays listed, closed.
bool ConnectionRegistry::evictIdlest(const QList<ConnectionPtr> &list, const QString &reason)
{
    ConnectionPtr idlest;
    for (const ConnectionPtr &c : list) {
        if (c->isOpen() && c != m_activeConnection && (!idlest || c->lastActivity() < idlest->lastActivity())) {
            idlest = c;
        }
    }
    if (!idlest) {
        return false;
    }
    const QString message = reason + QStringLiteral(": closing connection %1, idle the longest").arg(idlest->displayName());
    qCWarning(lcMorvendaListener, "%s", qUtf8Printable(message));
    m_logger.error(message);
    idlest->cancel();
    return true;
}

bool ConnectionRegistry::makeRoom(const QHostAddress &address, const QString &peer)
{
    if (openCount(&address) >= m_limits.maxPerAddress) {
        // One host may only crowd out its own connections that never shook hands.
        const QString reason = QStringLiteral("Too many connections from %1 (%2)").arg(address.toString()).arg(m_limits.maxPerAddress);
        if (!evictPending(&address, reason)) {
            const QString message = reason + QStringLiteral(": closing the connection from ") + peer;
            qCWarning(lcMorvendaListener, "%s", qUtf8Printable(message));
            m_logger.error(message);
            return false;
        }
    }
    if (openCount() >= m_limits.maxOpen) {
        // Whoever fills the cap must not lock the apps out: make room among those that never
        // shook hands, then those replaced by a newer connection, then the registered ones.
        const QString reason = QStringLiteral("Too many open connections (%1)").arg(m_limits.maxOpen);
        if (!evictPending(nullptr, reason) && !evictIdlest(m_replacedConnections, reason)) {
            evictIdlest(m_openRegistered, reason);
        }
    }
    if (openCount() < m_limits.maxOpen) {
        return true;
    }
    const QString message = QStringLiteral("Too many open connections (%1): closing the connection from %2")
                                .arg(QString::number(m_limits.maxOpen), peer);
    qCWarning(lcMorvendaListener, "%s", qUtf8Printable(message));
    m_logger.error(message);
    return false;
}

void ConnectionRegistry::addPending(const ConnectionPtr &connection)
{
    m_pendingConnections.append(connection);
}

void ConnectionRegistry::handleClosed(const QUuid &connectionId)
{
    // A pending connection that closed can never shake hands; a replaced one is no longer
    // reachable. Registered connections stay listed (with their closed state) until disconnected.
    if (const qsizetype i = indexOfId(m_pendingConnections, connectionId); i >= 0) {
        m_pendingConnections.removeAt(i);
    }
    if (const qsizetype i = indexOfId(m_replacedConnections, connectionId); i >= 0) {
        m_replacedConnections.removeAt(i);
    }
    if (const qsizetype i = indexOfId(m_openRegistered, connectionId); i >= 0) {
        m_openRegistered.removeAt(i);
    }
}

void ConnectionRegistry::retire(const ConnectionPtr &connection)
{
    if (connection->isOpen() && indexOfId(m_replacedConnections, connection->id()) < 0) {
        m_replacedConnections.append(connection);
    }
}

void ConnectionRegistry::registerHandshake(const ConnectionPtr &connection, const QString &name)
{
    if (const qsizetype i = indexOfId(m_pendingConnections, connection->id()); i >= 0) {
        m_pendingConnections.removeAt(i);
    }
    // Replaced earlier and now registered again: it must not be counted twice toward the limits.
    if (const qsizetype i = indexOfId(m_replacedConnections, connection->id()); i >= 0) {
        m_replacedConnections.removeAt(i);
    }
    // A member shaking hands again under a new name leaves under its old name first.
    if (const QString old = connection->displayName(); old != name && m_byName.value(old) == connection) {
        const qsizetype i = rowOf(connection);
        m_byName.remove(old);
        m_connections.removeAt(i);
        emit connectionRemoved(int(i));
    }
    connection->setDisplayName(name);
    ConnectionPtr &named = m_byName[name];
    if (named) {
        const qsizetype i = rowOf(named);
        if (named != connection) {
            m_openRegistered.removeOne(named);
            retire(named);  // replaced, not cancelled
        }
        named = connection;
        m_connections[i] = connection;
        emit connectionReplaced(int(i), connection);
    } else {
        named = connection;
        m_connections.append(connection);
        emit connectionInserted(int(m_connections.size() - 1), connection);
    }
    if (connection->isOpen() && !m_openRegistered.contains(connection)) {
        m_openRegistered.append(connection);
    }
    emit connectionsChanged(m_connections);
    if (m_activeConnection && m_activeConnection->displayName() == name) {
        setActiveConnection(connection);
    }
}

void ConnectionRegistry::setActiveConnection(const ConnectionPtr &connection)
{
    m_activeConnection = connection;
    emit activeConnectionChanged(m_activeConnection);
}

bool ConnectionRegistry::disconnect(const QUuid &connectionId)
{
    const qsizetype i = indexOfId(m_connections, connectionId);
    if (i < 0) {
        return false;
    }
    const ConnectionPtr found = m_connections.takeAt(i);
    m_byName.remove(found->displayName());
    m_openRegistered.removeOne(found);
    found->cancel();
    emit connectionRemoved(int(i));
    emit connectionsChanged(m_connections);
    return true;
}

void ConnectionRegistry::disconnectAllFrom(const QObject *receiver) const
{
    for (const auto *list : {&m_connections, &m_pendingConnections, &m_replacedConnections}) {
        for (const auto &connection : *list) {
            connection->QObject::disconnect(receiver);
        }
    }
    if (m_activeConnection) {
        m_activeConnection->QObject::disconnect(receiver);
    }
}
