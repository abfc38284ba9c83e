// Each connection's latest signed-in user, keyed by the connection's display name, and the user
// reported last by any connection. One shared instance for the whole run; main thread only.
#pragma once

#include "MorvendaModel/User.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <optional>

class UserManager : public QObject
{
    Q_OBJECT
public:
    explicit UserManager(QObject *parent = nullptr);

    // Connection display name → the user that connection reported last. Never cleared.
    const QHash<QString, User> &users() const { return m_users; }
    // The user of the last user payload from any connection; never reset once set.
    const std::optional<User> &latestUser() const { return m_latestUser; }

    // Replaces the entry, fires userStored and hasUpdatedUser, then publishes the user as latestUser: a
    // subscriber of the pulse still reads the previous latest user.
    void storeUser(const QString &connectionName, const User &user);

signals:
    // The entry of that connection name changed: for views of many connections, which would
    // otherwise look at every entry on each pulse.
    void userStored(const QString &connectionName);
    void hasUpdatedUser();
    void latestUserChanged(const std::optional<User> &user);

private:
    QHash<QString, User> m_users;
    std::optional<User> m_latestUser;
};
