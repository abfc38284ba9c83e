#include "UserManager.h"

UserManager::UserManager(QObject *parent)
    : QObject(parent)
{
}

void UserManager::storeUser(const QString &connectionName, const User &user)
{
    m_users.insert(connectionName, user);
    emit userStored(connectionName);
    emit hasUpdatedUser();
    m_latestUser = user;
    emit latestUserChanged(m_latestUser);
}
