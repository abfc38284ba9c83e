#include "ImpersonateListViewModel.h"

#include "ImpersonateUserStore.h"
#include "MorvendaApp/core/Alert.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/UserManager.h"

#include <QLocale>
#include <QPointer>

#include <algorithm>

ImpersonateListViewModel::ImpersonateListViewModel(MorvendaListener &session, UserManager &userManager,
    ImpersonateUserStore &store, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_userManager(userManager)
    , m_store(store)
    , m_activeApp(session)
    , m_collator(nameCollator())
{
    connect(&m_activeApp, &ActiveApp::changed, this, &ImpersonateListViewModel::currentUserMayHaveChanged);
    connect(&userManager, &UserManager::hasUpdatedUser, this, &ImpersonateListViewModel::currentUserMayHaveChanged);
}

QCollator ImpersonateListViewModel::nameCollator()
{
    // Qt collates the C locale by code points, which knows neither case folding nor numbers; a
    // session started without a language still sorts names as people read them.
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    }
    QCollator collator{locale};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

void ImpersonateListViewModel::sortByName(QList<ImpersonateUserData> &users, const QCollator &collator)
{
    // One key per user instead of a collation per comparison: thousands of names sort in
    // milliseconds.
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(users.size());
    for (qsizetype i = 0; i < users.size(); ++i) {
        keys.emplace_back(collator.sortKey(users.at(i).name), i);
    }
    std::sort(keys.begin(), keys.end(), [&users](const auto &a, const auto &b) {
        const int order = a.first.compare(b.first);
        if (order != 0) {
            return order < 0;
        }
        return users.at(a.second).id < users.at(b.second).id;
    });
    QList<ImpersonateUserData> sorted;
    sorted.reserve(users.size());
    for (const auto &key : keys) {
        sorted.append(std::move(users[key.second]));
    }
    users = std::move(sorted);
}

void ImpersonateListViewModel::setTextFilter(const QString &text)
{
    m_textFilter = text;
    emit textFilterChanged(m_textFilter);
    updateDisplayUsers();
}

void ImpersonateListViewModel::fetchUsers()
{
    // A store that could not be opened was said once at start; the window says so in place of
    // the list instead of an alert at every load.
    if (!m_store.isAvailable()) {
        return;
    }
    auto fetched = m_store.fetchAll();
    if (!fetched) {
        m_session.presentAlert(Alert::ViewState{
            L10n::text("Impersonation.UnableToFetchImpersonationData.title"), fetched.error(), {}});
        return;
    }
    QList<ImpersonateUserData> all = std::move(*fetched);
    sortByName(all, m_collator);
    // Favourites first, each group keeping the name order.
    std::stable_partition(all.begin(), all.end(), [](const ImpersonateUserData &user) { return user.favorite; });
    m_users = std::move(all);
    updateDisplayUsers();
    m_isLoading = false;
    emit isLoadingChanged(m_isLoading);
}

void ImpersonateListViewModel::updateDisplayUsers()
{
    const QString filter = m_textFilter.toLower();
    QList<ImpersonateUserData> favorites;
    QList<ImpersonateUserData> others;
    for (const ImpersonateUserData &user : std::as_const(m_users)) {
        if (!matchesTextFilter(filter, user) || (m_selectedApp && !user.belongsTo(*m_selectedApp))) {
            continue;
        }
        (user.favorite ? favorites : others).append(user);
    }
    m_favoriteUsers = std::move(favorites);
    emit favoriteUsersChanged(m_favoriteUsers);
    m_displayUsers = std::move(others);
    emit displayUsersChanged(m_displayUsers);
    emit listsChanged();
}

bool ImpersonateListViewModel::matchesTextFilter(const QString &filter, const ImpersonateUserData &user)
{
    if (filter.isEmpty()) {
        return true;
    }
    const auto contains = [&filter](const QString &text) { return text.toLower().contains(filter); };
    return contains(user.name) || contains(user.userToken) || (user.email && contains(*user.email))
        || (user.notes && contains(*user.notes));
}

void ImpersonateListViewModel::selectApp(AppType app)
{
    if (m_selectedApp == app) {
        m_selectedApp.reset();
    } else {
        m_selectedApp = app;
    }
    emit selectedAppChanged(m_selectedApp);
    updateDisplayUsers();
}

std::optional<User> ImpersonateListViewModel::currentUser() const
{
    const MorvendaListener::ConnectionPtr connection = m_session.activeConnection();
    if (!connection) {
        return std::nullopt;
    }
    const auto found = m_userManager.users().constFind(connection->displayName());
    if (found == m_userManager.users().constEnd()) {
        return std::nullopt;
    }
    return *found;
}

std::optional<QString> ImpersonateListViewModel::currentUserToken() const
{
    const std::optional<User> current = currentUser();
    return current ? current->token() : std::nullopt;
}

bool ImpersonateListViewModel::matchesCurrentApp(const ImpersonateUserData &user) const
{
    const std::optional<User> current = currentUser();
    if (!current) {
        return true;
    }
    if (current->retailer() && user.brandToken) {
        return false;
    }
    if (current->brand() && user.retailerToken) {
        return false;
    }
    return true;
}

void ImpersonateListViewModel::impersonate(const ImpersonateUserData &user)
{
    // A gone app would only answer with the send-failure alert; the window says it is gone.
    if (m_session.activeConnection() && !canImpersonate()) {
        return;
    }
    const std::optional<User> current = currentUser();
    if (!current || (!current->isAdmin() && !current->isImpersonating())) {
        m_session.presentAlert(Alert::ViewState{L10n::text("Impersonation.UnableToImpersonateAlert.title"),
            L10n::text("Impersonation.UnableToImpersonateAlert.message"), {}});
        return;
    }
    if (!matchesCurrentApp(user)) {
        // The alert may outlive this window: its button does nothing once the model is gone.
        QPointer<ImpersonateListViewModel> self(this);
        m_session.presentAlert(Alert::ViewState::mismatchUserAlert([self, user] {
            if (self) {
                self->continueImpersonation(user);
            }
        }));
        return;
    }
    send(user);
}

void ImpersonateListViewModel::continueImpersonation(const ImpersonateUserData &user)
{
    // The alert may have waited while the app went away; its closed connection stays active until
    // another is chosen, and sending on it would only raise a send failure over a choice the
    // developer made for an app that is gone.
    if (!canImpersonate()) {
        return;
    }
    send(user);
}

void ImpersonateListViewModel::send(const ImpersonateUserData &user)
{
    if (const MorvendaListener::ConnectionPtr connection = m_session.activeConnection()) {
        m_session.send(AppPayload::impersonate(ImpersonationInfo(user.userToken)), connection);
    }
}

void ImpersonateListViewModel::toggleFavorite(const ImpersonateUserData &user)
{
    const auto updated = m_store.setFavorite(user.id, !user.favorite);
    if (!updated) {
        raiseSaveFailure(updated.error());
        return;
    }
    fetchUsers();
}

void ImpersonateListViewModel::setNotes(const QString &notes, const ImpersonateUserData &user)
{
    const auto updated = m_store.setNotes(user.id, notes.isEmpty() ? std::nullopt : std::optional<QString>(notes));
    if (!updated) {
        // Every keystroke stores the notes: one alert says the store refuses, not one per key.
        if (!m_notesFailing) {
            m_notesFailing = true;
            raiseSaveFailure(updated.error());
        }
        return;
    }
    m_notesFailing = false;
    if (*updated) {
        replaceLoaded(**updated);
    }
}

bool ImpersonateListViewModel::deleteUser(const QString &userToken)
{
    const auto found = std::find_if(m_users.cbegin(), m_users.cend(),
        [&userToken](const ImpersonateUserData &user) { return user.userToken == userToken; });
    if (found == m_users.cend()) {
        return false;
    }
    const auto removed = m_store.remove(found->id);
    if (!removed) {
        raiseSaveFailure(removed.error());
        return false;
    }
    fetchUsers();
    return true;
}

void ImpersonateListViewModel::raiseSaveFailure(const QString &error)
{
    m_session.presentAlert(Alert::ViewState{L10n::text("Impersonation.UnableToSaveUser.title"), error, {}});
}

void ImpersonateListViewModel::replaceLoaded(const ImpersonateUserData &record)
{
    // The loaded copies follow the store without a reload, so the next filter pass (which
    // searches the notes) and the rows made from these lists see what was just typed.
    std::optional<ImpersonateUserData> changed;
    for (QList<ImpersonateUserData> *list : {&m_users, &m_favoriteUsers, &m_displayUsers}) {
        for (ImpersonateUserData &loaded : *list) {
            if (loaded.id == record.id) {
                loaded.notes = record.notes;
                changed = loaded;
            }
        }
    }
    if (changed) {
        emit userChanged(*changed);
    }
}
