// The listener's registered connections as list rows, in the listener's order, with each row's
// live state, its selection mark (it is the active connection) and the user its app reported.
// Adapts the shared MorvendaListener and UserManager, which outlive it; main thread.
#pragma once

#include "MorvendaApp/session/MorvendaListener.h"

#include <QAbstractListModel>
#include <QList>

class UserManager;

class ConnectionListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1,     // QUuid
        DisplayNameRole,               // QString
        StateRole,                     // int: MorvendaConnection::State
        StateTextRole,                 // QString: "ready", "failed(…)"
        IsSelectedRole,                // bool: the row is the active connection (by display name)
        HasUserRole,                   // bool
        UserNameRole,                  // QString, null when absent
        UserTokenRole,                 // QString, null when absent
        UserTagsRole,                  // QList<UserTag>, shared with the user: no copy however many
        UserImageUrlRole,              // QUrl of the profile picture, empty when absent
        UserCountryRole,               // QString: the retailer's country, null when absent
    };

    ConnectionListModel(MorvendaListener &listener, UserManager &userManager, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    MorvendaListener::ConnectionPtr connectionAt(int row) const;
    // The row of the connection with that id, or -1.
    int rowOf(const QUuid &id) const;
    // The row of the connection with that display name, or -1.
    int rowOfName(const QString &name) const;

signals:
    // After a row was inserted or removed: the list of names changed (a replacement keeps the name).
    void namesChanged();

private:
    void insertConnection(int row, const MorvendaListener::ConnectionPtr &connection);
    void replaceConnection(int row, const MorvendaListener::ConnectionPtr &connection);
    void removeConnection(int row);
    void follow(MorvendaConnection *connection);
    void refreshAllRows(const QList<int> &roles);

    MorvendaListener &m_listener;
    UserManager &m_userManager;
    QList<MorvendaListener::ConnectionPtr> m_connections;
};
