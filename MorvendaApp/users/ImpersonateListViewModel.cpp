#include "ImpersonateListViewModel.h"

#include "ImpersonateUserStore.h"
#include "StoredUserWriter.h"
#include "MorvendaApp/core/Alert.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/UserManager.h"

#include <QLocale>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

namespace {

// The names are collated by their start only: an app may report a name of megabytes, whose key
// took ICU seconds on the main thread at every load. Names alike for this long are ordered by
// identity, like equal names.
constexpr qsizetype kCollatedNameLength = 1000;

// A collator set up like `collator` but sharing nothing with it: a QCollator is used on one
// thread only.
QCollator collatorLike(const QCollator &collator)
{
    QCollator own(collator.locale());
    own.setNumericMode(collator.numericMode());
    own.setCaseSensitivity(collator.caseSensitivity());
    own.setIgnorePunctuation(collator.ignorePunctuation());
    return own;
}

QCollatorSortKey nameKey(const QCollator &collator, const QString &name)
{
    return collator.sortKey(name.size() > kCollatedNameLength ? name.first(kCollatedNameLength) : name);
}

// The collation keys of the users' names, in their order, on a few threads when there are
// thousands: a key costs a microsecond or two, and the first load of 20,000 users waited tens of
// milliseconds for them. Each thread collates with a collator of its own, set up like `collator`.
std::vector<QCollatorSortKey> nameKeys(const QList<ImpersonateUserData> &users, const QCollator &collator)
{
    constexpr qsizetype kNamesPerThread = 2000;
    constexpr qsizetype kMaxThreads = 4;
    std::vector<std::optional<QCollatorSortKey>> keys(size_t(users.size()));
    const auto collate = [&users, &keys](const QCollator &with, qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i) {
            keys[size_t(i)] = nameKey(with, users.at(i).name);
        }
    };
    const qsizetype threads = std::clamp<qsizetype>(users.size() / kNamesPerThread, 1,
        std::min<qsizetype>(kMaxThreads, std::max(1, QThread::idealThreadCount())));
    const qsizetype chunk = (users.size() + threads - 1) / threads;
    std::vector<std::thread> helpers;
    for (qsizetype t = 1; t < threads; ++t) {
        helpers.emplace_back(
            [&, t] { collate(collatorLike(collator), t * chunk, std::min(users.size(), (t + 1) * chunk)); });
    }
    collate(collator, 0, std::min(users.size(), chunk));
    for (std::thread &helper : helpers) {
        helper.join();
    }
    std::vector<QCollatorSortKey> result;
    result.reserve(keys.size());
    for (std::optional<QCollatorSortKey> &key : keys) {
        result.push_back(std::move(*key));
    }
    return result;
}

// The order of the lists: the favourites first, each group by name key, ties by identity.
bool listedBefore(bool aFavorite, ImpersonateUserData::Identity aId, const QCollatorSortKey &aKey, bool bFavorite,
    ImpersonateUserData::Identity bId, const QCollatorSortKey &bKey)
{
    if (aFavorite != bFavorite) {
        return aFavorite;
    }
    const int byName = aKey.compare(bKey);
    return byName != 0 ? byName < 0 : aId < bId;
}

} // namespace

struct ImpersonateListViewModel::Loaded
{
    tl::expected<QList<ImpersonateUserData>, QString> users;
    std::vector<QCollatorSortKey> keys;
    // The writer's change count asked before the read.
    qint64 changes = 0;
};

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
    // This model writes through the store's writer: what the shared connection announces was
    // written by someone else.
    const auto storedElsewhere = [this] {
        m_loadedIsCurrent = false;
        m_storedElsewhereSinceRead = true;
    };
    connect(&store, &ImpersonateUserStore::recordChanged, this, storedElsewhere);
    connect(&store, &ImpersonateUserStore::recordRemoved, this, storedElsewhere);
}

template<typename Write, typename Landed>
void ImpersonateListViewModel::ownWrite(Write write, Landed landed)
{
    StoredUserWriter &writer = m_store.writer();
    const quint64 handed = ++m_writesHanded;
    writer.run(this,
        [&writer, write = std::move(write)](ImpersonateUserStore &connection) {
            using Result = decltype(write(connection));
            std::optional<Result> result;
            qint64 changesBefore = -1;
            // The count is read under the write lock, so no other commit falls between it and the write.
            const auto committed = connection.transaction([&]() -> tl::expected<void, QString> {
                changesBefore = writer.changesSoFar(connection);
                result = write(connection);
                return *result ? tl::expected<void, QString>() : tl::unexpected(result->error());
            });
            if (!committed) {
                result = tl::unexpected(committed.error());
            }
            return std::pair{std::move(*result), changesBefore};
        },
        [landed = std::move(landed), handed](
            auto outcome) { landed(std::move(outcome.first), Written{outcome.second, handed}); });
}

ImpersonateListViewModel::Landing ImpersonateListViewModel::landing(const Written &written) const
{
    // The writer counts a write once it has committed it: a load that read a count past this
    // write's began after it.
    if (m_loadedChanges && written.changesBefore < *m_loadedChanges) {
        return Landing::AlreadyLoaded;
    }
    if (m_loadedChanges && written.changesBefore == *m_loadedChanges && m_loadedIsCurrent) {
        return Landing::OnlyThis;
    }
    // Stars clicked while a huge report is written land one after the other behind it: the
    // first asks for a load, which the others need not ask for again.
    if (m_writesBeforeLoad && written.handed <= *m_writesBeforeLoad) {
        return Landing::InTheLoadOnItsWay;
    }
    return Landing::AfterOthers;
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

std::vector<QCollatorSortKey> ImpersonateListViewModel::sortFavoritesFirst(QList<ImpersonateUserData> &users,
    const QCollator &collator)
{
    // One key per name instead of a collation per comparison: thousands of names sort in
    // milliseconds.
    std::vector<QCollatorSortKey> keys = nameKeys(users, collator);
    // What the order reads of each user, side by side: the comparisons stay in a small array
    // instead of reaching into thousands of records.
    struct Entry
    {
        bool favorite;
        ImpersonateUserData::Identity id;
        const QCollatorSortKey *key;
        qsizetype index;
    };
    std::vector<Entry> order;
    order.reserve(keys.size());
    for (qsizetype i = 0; i < users.size(); ++i) {
        order.push_back(Entry{users.at(i).favorite, users.at(i).id, &keys[size_t(i)], i});
    }
    std::sort(order.begin(), order.end(), [](const Entry &a, const Entry &b) {
        return listedBefore(a.favorite, a.id, *a.key, b.favorite, b.id, *b.key);
    });
    QList<ImpersonateUserData> sorted;
    sorted.reserve(users.size());
    std::vector<QCollatorSortKey> sortedKeys;
    sortedKeys.reserve(keys.size());
    for (const Entry &entry : order) {
        sorted.append(std::move(users[entry.index]));
        sortedKeys.push_back(std::move(keys[size_t(entry.index)]));
    }
    users = std::move(sorted);
    return sortedKeys;
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
    const quint64 read = ++*m_latestRead;
    m_storedElsewhereSinceRead = false;
    StoredUserWriter &writer = m_store.writer();
    if (!writer.isAvailable()) {
        // The writer has no connection to read with, and this one cannot be lent to a thread:
        // the users are read here, which still lists them.
        showLoaded(read, readSorted(m_store, m_collator, writer.changeCount()));
        return;
    }
    m_writesBeforeLoad = m_writesHanded;
    // A huge report makes the read take as long as its write: on the writer's thread, in its
    // order, so the read sees every write handed over before it and none after it.
    writer.read(this,
        [&writer, latest = m_latestRead, read, collator = collatorLike(m_collator)](
            ImpersonateUserStore &connection) {
            if (latest->load() != read) {
                return Loaded{tl::unexpected(QString()), {}, 0};
            }
            // Asked before the read: a write that lands between the two makes the next star reload.
            return readSorted(connection, collator, writer.changesSoFar(connection));
        },
        [this, read](Loaded loaded) { showLoaded(read, std::move(loaded)); });
}

ImpersonateListViewModel::Loaded ImpersonateListViewModel::readSorted(ImpersonateUserStore &connection,
    const QCollator &collator, qint64 changesBefore)
{
    Loaded loaded{connection.fetchAll(), {}, changesBefore};
    if (loaded.users) {
        loaded.keys = sortFavoritesFirst(*loaded.users, collator);
    }
    return loaded;
}

void ImpersonateListViewModel::showLoaded(quint64 read, Loaded loaded)
{
    // A later load is on its way: what this one read may already be out of date.
    if (read != m_latestRead->load()) {
        return;
    }
    m_writesBeforeLoad.reset();
    if (!loaded.users) {
        m_session.presentAlert(Alert::ViewState{
            L10n::text("Impersonation.UnableToFetchImpersonationData.title"), loaded.users.error(), {}});
        return;
    }
    QList<ImpersonateUserData> all = std::move(*loaded.users);
    if (!m_notesOnTheirWay.isEmpty()) {
        for (ImpersonateUserData &user : all) {
            takeNotesOnTheirWay(user);
        }
    }
    m_userKeys = std::move(loaded.keys);
    m_users = std::move(all);
    m_loadedChanges = loaded.changes;
    m_loadedIsCurrent = !m_storedElsewhereSinceRead;
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
    // A star clicked again before the first click landed undoes it, as the developer sees it.
    const bool favorite = !m_favoritesOnTheirWay.value(user.id, user.favorite);
    m_favoritesOnTheirWay.insert(user.id, favorite);
    ownWrite([id = user.id, favorite](ImpersonateUserStore &connection) { return connection.setFavorite(id, favorite); },
        [this, id = user.id, favorite](tl::expected<std::optional<ImpersonateUserData>, QString> updated,
            Written written) {
            if (const auto asked = m_favoritesOnTheirWay.constFind(id);
                asked != m_favoritesOnTheirWay.cend() && *asked == favorite) {
                m_favoritesOnTheirWay.erase(asked);
            }
            if (!updated) {
                raiseSaveFailure(updated.error());
                return;
            }
            // While the loaded users are the store's but for this mark, moving the one user gives
            // the lists a reload would, without reading and sorting thousands of records again.
            // Reports, other windows' edits and other programs change the writer's count. Stars
            // that landed behind a huge report reload once, not once each.
            switch (landing(written)) {
            case Landing::AlreadyLoaded:
            case Landing::InTheLoadOnItsWay:
                return;
            case Landing::OnlyThis:
                if (*updated && moveLoaded(**updated)) {
                    m_loadedChanges = written.changesBefore + 1;
                    updateDisplayUsers();
                    return;
                }
                break;
            case Landing::AfterOthers:
                break;
            }
            fetchUsers();
        });
}

bool ImpersonateListViewModel::moveLoaded(const ImpersonateUserData &record)
{
    const auto found = std::find_if(m_users.cbegin(), m_users.cend(),
        [&record](const ImpersonateUserData &user) { return user.id == record.id; });
    if (found == m_users.cend()) {
        return false;
    }
    const qsizetype from = found - m_users.cbegin();
    m_users.removeAt(from);
    m_userKeys.erase(m_userKeys.begin() + from);
    QCollatorSortKey key = nameKey(m_collator, record.name);
    qsizetype low = 0;
    qsizetype high = m_users.size();
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        const ImpersonateUserData &user = m_users.at(middle);
        if (listedBefore(user.favorite, user.id, m_userKeys[size_t(middle)], record.favorite, record.id, key)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    m_users.insert(low, record);
    takeNotesOnTheirWay(m_users[low]);
    m_userKeys.insert(m_userKeys.begin() + low, std::move(key));
    return true;
}

void ImpersonateListViewModel::setNotes(const QString &notes, const ImpersonateUserData &user)
{
    ImpersonateUserData typed = user;
    typed.notes = notes.isEmpty() ? std::nullopt : std::optional<QString>(notes);
    // The loaded copies take the text at once, not when it lands: a notes field opened again
    // before then goes on from it, instead of storing older text over what was typed.
    replaceLoaded(typed);
    NotesOnTheirWay &onTheirWay = m_notesOnTheirWay[user.id];
    onTheirWay.notes = typed.notes;
    ++onTheirWay.writes;
    ownWrite([id = user.id, stored = typed.notes](
                 ImpersonateUserStore &connection) { return connection.setNotes(id, stored); },
        [this, id = user.id](tl::expected<std::optional<ImpersonateUserData>, QString> updated, Written written) {
            if (const auto found = m_notesOnTheirWay.find(id); found != m_notesOnTheirWay.end() && --found->writes == 0) {
                m_notesOnTheirWay.erase(found);
            }
            if (!updated) {
                // Every keystroke stores the notes: one alert says the store refuses, not one per key.
                if (!m_notesFailing) {
                    m_notesFailing = true;
                    raiseSaveFailure(updated.error());
                }
                return;
            }
            m_notesFailing = false;
            // The loaded copies took the notes when they were typed.
            if (*updated && landing(written) == Landing::OnlyThis) {
                m_loadedChanges = written.changesBefore + 1;
            }
        });
}

bool ImpersonateListViewModel::deleteUser(const QString &userToken)
{
    const auto found = std::find_if(m_users.cbegin(), m_users.cend(),
        [&userToken](const ImpersonateUserData &user) { return user.userToken == userToken; });
    if (found == m_users.cend()) {
        return false;
    }
    ownWrite([id = found->id](ImpersonateUserStore &connection) { return connection.remove(id); },
        [this](tl::expected<bool, QString> removed, Written written) {
            if (!removed) {
                raiseSaveFailure(removed.error());
                return;
            }
            if (needsLoad(landing(written))) {
                fetchUsers();
            }
        });
    return true;
}

void ImpersonateListViewModel::addUser(const QString &userToken, const QString &name, QObject *context,
    std::function<void(bool)> landed)
{
    ownWrite([userToken, name](ImpersonateUserStore &connection) { return connection.addUser(userToken, name); },
        [this, context = QPointer<QObject>(context), landed = std::move(landed)](
            tl::expected<ImpersonateUserData, QString> added, Written written) {
            if (!added) {
                raiseSaveFailure(added.error());
            } else if (needsLoad(landing(written))) {
                fetchUsers();
            }
            if (context) {
                landed(added.has_value());
            }
        });
}

void ImpersonateListViewModel::raiseSaveFailure(const QString &error)
{
    m_session.presentAlert(Alert::ViewState{L10n::text("Impersonation.UnableToSaveUser.title"), error, {}});
}

void ImpersonateListViewModel::takeNotesOnTheirWay(ImpersonateUserData &user) const
{
    if (const auto found = m_notesOnTheirWay.constFind(user.id); found != m_notesOnTheirWay.cend()) {
        user.notes = found->notes;
    }
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
