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

ConnectionRegistry::ConnectionRegistry(Logger &logger, QObject *parent)
    : QObject(parent)
    , m_logger(logger)
{
}

int ConnectionRegistry::openConnectionCount() const
{
    int count = 0;
    for (const auto *list : {&m_connections, &m_pendingConnections, &m_replacedConnections}) {
        count += int(std::count_if(list->cbegin(), list->cend(), [](const ConnectionPtr &c) { return c->isOpen(); }));
    }
    return count;
}

bool ConnectionRegistry::makeRoom(const QString &peer)
{
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
            m_logger.error(message);
            evicted->cancel();  // its close takes it out of the pending list
        }
    }
    if (openConnectionCount() < maxOpenConnections) {
        return true;
    }
    const QString message = QStringLiteral("Too many open connections (%1): closing the connection from %2")
                                .arg(QString::number(maxOpenConnections), peer);
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
    found->cancel();
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
