#include "ConnectionListModel.h"

#include "MorvendaApp/session/UserManager.h"

ConnectionListModel::ConnectionListModel(MorvendaListener &listener, UserManager &userManager, QObject *parent)
    : QAbstractListModel(parent)
    , m_listener(listener)
    , m_userManager(userManager)
    , m_connections(listener.connections())
{
    // Row by row: closed connections stay listed, so a reset per handshake would grow with them.
    connect(&listener, &MorvendaListener::connectionInserted, this, &ConnectionListModel::insertConnection);
    connect(&listener, &MorvendaListener::connectionReplaced, this, &ConnectionListModel::replaceConnection);
    connect(&listener, &MorvendaListener::connectionRemoved, this, &ConnectionListModel::removeConnection);
    connect(&listener, &MorvendaListener::activeConnectionChanged, this,
        [this] { refreshAllRows({IsSelectedRole}); });
    // Only the row of that name: every other row would otherwise be measured again.
    connect(&userManager, &UserManager::userStored, this, [this](const QString &name) {
        const int row = rowOfName(name);
        if (row >= 0) {
            emit dataChanged(index(row), index(row),
                {HasUserRole, UserNameRole, UserTokenRole, UserTagsRole, UserImageUrlRole, UserCountryRole});
        }
    });
    for (const auto &connection : std::as_const(m_connections)) {
        follow(connection.get());
    }
}

// The badge follows the socket's state as it changes, not only when a store publishes.
void ConnectionListModel::follow(MorvendaConnection *connection)
{
    connect(connection, &MorvendaConnection::stateChanged, this, [this, connection] {
        // Searched from the end: the connections that change state are mostly the newest.
        for (int row = int(m_connections.size()) - 1; row >= 0; --row) {
            if (m_connections.at(row).get() == connection) {
                emit dataChanged(index(row), index(row), {StateRole, StateTextRole});
                return;
            }
        }
    });
}

void ConnectionListModel::insertConnection(int row, const MorvendaListener::ConnectionPtr &connection)
{
    Q_ASSERT(row >= 0 && row <= m_connections.size());
    beginInsertRows({}, row, row);
    m_connections.insert(row, connection);
    follow(connection.get());
    endInsertRows();
    emit namesChanged();
}

void ConnectionListModel::replaceConnection(int row, const MorvendaListener::ConnectionPtr &connection)
{
    Q_ASSERT(row >= 0 && row < m_connections.size());
    QObject::disconnect(m_connections.at(row).get(), nullptr, this, nullptr);
    m_connections[row] = connection;
    follow(connection.get());
    emit dataChanged(index(row), index(row));
}

void ConnectionListModel::removeConnection(int row)
{
    Q_ASSERT(row >= 0 && row < m_connections.size());
    beginRemoveRows({}, row, row);
    QObject::disconnect(m_connections.takeAt(row).get(), nullptr, this, nullptr);
    endRemoveRows();
    emit namesChanged();
}

void ConnectionListModel::refreshAllRows(const QList<int> &roles)
{
    if (!m_connections.isEmpty()) {
        emit dataChanged(index(0), index(int(m_connections.size()) - 1), roles);
    }
}

int ConnectionListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_connections.size());
}

MorvendaListener::ConnectionPtr ConnectionListModel::connectionAt(int row) const
{
    return row >= 0 && row < m_connections.size() ? m_connections.at(row) : nullptr;
}

int ConnectionListModel::rowOf(const QUuid &id) const
{
    for (int row = int(m_connections.size()) - 1; row >= 0; --row) {
        if (m_connections.at(row)->id() == id) {
            return row;
        }
    }
    return -1;
}

// The listener keeps one connection per name.
int ConnectionListModel::rowOfName(const QString &name) const
{
    for (int row = int(m_connections.size()) - 1; row >= 0; --row) {
        if (m_connections.at(row)->displayName() == name) {
            return row;
        }
    }
    return -1;
}

QVariant ConnectionListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const MorvendaConnection &connection = *m_connections.at(index.row());
    const auto user = [&]() -> const User * {
        const auto found = m_userManager.users().constFind(connection.displayName());
        return found == m_userManager.users().cend() ? nullptr : &found.value();
    };
    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return connection.displayName();
    case IdRole:
        return connection.id();
    case StateRole:
        return int(connection.state());
    case StateTextRole:
        return connection.stateDescription();
    case IsSelectedRole: {
        const auto active = m_listener.activeConnection();
        return active && active->displayName() == connection.displayName();
    }
    case HasUserRole:
        return user() != nullptr;
    case UserNameRole:
        return user() ? user()->name().value_or(QString()) : QString();
    case UserTokenRole:
        return user() ? user()->token().value_or(QString()) : QString();
    case UserTagsRole: {
        const User *found = user();
        return QVariant::fromValue(found ? found->tags() : QList<UserTag>());
    }
    case UserImageUrlRole: {
        const User *found = user();
        return found && found->profileImageURL() ? found->profileImageURL()->qurl() : QUrl();
    }
    case UserCountryRole: {
        const User *found = user();
        return found && found->retailer() && found->retailer()->country() ? *found->retailer()->country() : QString();
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> ConnectionListModel::roleNames() const
{
    auto names = QAbstractListModel::roleNames();
    names.insert(IdRole, "id");
    names.insert(DisplayNameRole, "displayName");
    names.insert(StateRole, "state");
    names.insert(StateTextRole, "stateText");
    names.insert(IsSelectedRole, "isSelected");
    names.insert(HasUserRole, "hasUser");
    names.insert(UserNameRole, "userName");
    names.insert(UserTokenRole, "userToken");
    names.insert(UserTagsRole, "userTags");
    names.insert(UserImageUrlRole, "userImageUrl");
    names.insert(UserCountryRole, "userCountry");
    return names;
}
