#include "UserViewModel.h"

#include "AdminAddress.h"

#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/UserManager.h"

UserViewModel::UserViewModel(UserManager &userManager, MorvendaListener &clientListener, QObject *parent)
    : QObject(parent)
    , m_userManager(userManager)
    , m_clientListener(clientListener)
{
    connect(&m_userManager, &UserManager::hasUpdatedUser, this, &UserViewModel::refreshUser);
    connect(&m_clientListener, &MorvendaListener::activeConnectionChanged, this, &UserViewModel::refreshUser);
    refreshUser();
}

void UserViewModel::refreshUser()
{
    const MorvendaListener::ConnectionPtr connection = m_clientListener.activeConnection();
    m_user.reset();
    if (connection) {
        const auto found = m_userManager.users().constFind(connection->displayName());
        if (found != m_userManager.users().cend()) {
            m_user = *found;
        }
    }
    emit userChanged(m_user);
}

QList<UserViewModel::Row> UserViewModel::rows(const User &user)
{
    QList<Row> rows;
    const auto add = [&rows](const char *label, const std::optional<QString> &value) {
        if (value) {
            rows.append(Row{QString::fromLatin1(label), *value});
        }
    };
    add("user name", user.name());
    add("user token", user.token());
    add("user email", user.email());
    if (user.profileImageURL()) {
        rows.append(Row{QStringLiteral("user profile image URL"), user.profileImageURL()->text()});
    }
    rows.append(Row{QStringLiteral("user capabilities"), user.capabilities().join(QLatin1Char('\n'))});
    if (const std::optional<Retailer> &retailer = user.retailer()) {
        add("retailer name", retailer->name());
        add("retailer token", retailer->token());
        add("retailer country", retailer->country());
        add("retailer ostrane membership status", retailer->ostraneMembershipStatus());
        add("retailer multi user state", retailer->multiUserState());
    }
    return rows;
}

std::optional<QUrl> UserViewModel::adminURL(const std::optional<User> &user)
{
    if (!user || !user->retailer()) {
        return std::nullopt;
    }
    return AdminAddress::retailer(user->retailer()->token());
}
