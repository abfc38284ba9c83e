// The state behind one impersonation window: the stored users sorted by name, filtered by search
// text and app, split into favourites and the rest; and the window's actions on a stored user
// (favourite, notes, delete, impersonate). One per window, owned by it; main thread, but for the
// loads, which read and sort on the store's writer thread.
#pragma once

#include "AppType.h"
#include "ImpersonateUserData.h"
#include "MorvendaApp/session/ActiveApp.h"
#include "MorvendaModel/User.h"

#include <QCollator>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ImpersonateUserStore;
class MorvendaListener;
class UserManager;

class ImpersonateListViewModel : public QObject
{
    Q_OBJECT
    // Published state: every assignment notifies (equal values included), after it is stored.
    Q_PROPERTY(QList<ImpersonateUserData> favoriteUsers READ favoriteUsers NOTIFY favoriteUsersChanged)
    Q_PROPERTY(QList<ImpersonateUserData> displayUsers READ displayUsers NOTIFY displayUsersChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString textFilter READ textFilter WRITE setTextFilter NOTIFY textFilterChanged)

public:
    ImpersonateListViewModel(MorvendaListener &session, UserManager &userManager, ImpersonateUserStore &store,
        QObject *parent = nullptr);

    // The filtered users marked favourite, in name order.
    const QList<ImpersonateUserData> &favoriteUsers() const { return m_favoriteUsers; }
    // The filtered users not marked favourite, in name order.
    const QList<ImpersonateUserData> &displayUsers() const { return m_displayUsers; }
    // True until the first successful load.
    bool isLoading() const { return m_isLoading; }
    // None shows the users of both apps.
    std::optional<AppType> selectedApp() const { return m_selectedApp; }
    const QString &textFilter() const { return m_textFilter; }
    // Re-filters at once.
    void setTextFilter(const QString &text);
    // Every loaded user, unfiltered: the favourites, then the others, each in name order.
    const QList<ImpersonateUserData> &users() const { return m_users; }
    ImpersonateUserStore &store() const { return m_store; }

    // Reloads the users from the store and returns at once: they are read and sorted on the
    // store's writer thread, after the writes handed to it before, and the lists keep what they
    // show until the read lands. A later fetch supersedes one still on its way, whose result is
    // never shown. A failure raises the fetch alert and changes nothing.
    void fetchUsers();
    void updateDisplayUsers();
    // Choosing the selected app again clears the app filter.
    void selectApp(AppType app);

    // Impersonating is offered only while an app is active and still connected.
    bool canImpersonate() const { return m_activeApp.isReachable(); }
    // Tells when canImpersonate() may have changed, and what to say while the app is gone.
    const ActiveApp &activeApp() const { return m_activeApp; }

    // Checks that the app's signed-in user may impersonate and that `user` belongs to that app,
    // raising the matching alert, else asks the active app to impersonate `user`. Nothing while
    // the active app has disconnected.
    void impersonate(const ImpersonateUserData &user);
    // The mismatch alert's Continue: impersonates without checking again, on the app that is
    // active and still connected at that moment; nothing otherwise.
    void continueImpersonation(const ImpersonateUserData &user);
    // The window's edits are handed to the store's writer and return at once: while a huge report
    // is written they land after it. The lists follow when an edit has landed; an edit the store
    // refuses raises the save alert (the user's record stays as it was).

    // Stores the negated mark of `user` (of the mark asked for last, while one is on its way),
    // then reloads.
    void toggleFavorite(const ImpersonateUserData &user);
    // Stores the notes (empty text as none) without reloading the lists; the loaded copies take
    // them at once and userChanged says so.
    void setNotes(const QString &notes, const ImpersonateUserData &user);
    // Deletes the first loaded user with that token, whatever the filters show, and reloads.
    // False when no loaded user has that token.
    bool deleteUser(const QString &userToken);
    // The add-user sheet's save: a new user of that token and name, or the stored user of the
    // token with the name when one was typed; then reloads, and `landed` says whether it was
    // stored (on `context`'s thread, unless it is gone).
    void addUser(const QString &userToken, const QString &name, QObject *context, std::function<void(bool)> landed);

    // Raises the alert that a change of the stored users failed, with the store's error text.
    void raiseSaveFailure(const QString &error);

    // The user that the active app reports; none without an active app or a report from it.
    std::optional<User> currentUser() const;
    // That user's token: the stored user with this token is the one the app is signed in as.
    std::optional<QString> currentUserToken() const;
    // `filter` is already lowercased.
    static bool matchesTextFilter(const QString &filter, const ImpersonateUserData &user);
    // False only when `user` belongs to the other app than the active app's user.
    bool matchesCurrentApp(const ImpersonateUserData &user) const;

    // Puts the favourites first, each group sorted by name as people read it (digits by value,
    // case ignored, the user's locale), ties by identity: stable for equal names whatever the
    // input order. Returns the names' collation keys in the new order.
    static std::vector<QCollatorSortKey> sortFavoritesFirst(QList<ImpersonateUserData> &users, const QCollator &collator);
    // The collation used for names: numeric, case-insensitive, in the user's locale.
    static QCollator nameCollator();

signals:
    void favoriteUsersChanged(const QList<ImpersonateUserData> &users);
    void displayUsersChanged(const QList<ImpersonateUserData> &users);
    void isLoadingChanged(bool isLoading);
    void selectedAppChanged(std::optional<AppType> app);
    void textFilterChanged(const QString &text);
    // One loaded user changed in place (its notes), with the lists' order and membership unchanged:
    // a view refreshes that row instead of rebuilding the lists.
    void userChanged(const ImpersonateUserData &user);
    // Both lists were published anew (after favoriteUsersChanged and displayUsersChanged): a view
    // of both follows once per filter pass.
    void listsChanged();
    // Another app became active, the active one went away, or an app reported its user:
    // currentUser() may be someone else now.
    void currentUserMayHaveChanged();

private:
    // What one load read: the users sorted with their names' keys, or why it failed.
    struct Loaded;
    static Loaded readSorted(ImpersonateUserStore &connection, const QCollator &collator, qint64 changesBefore);
    void showLoaded(quint64 read, Loaded loaded);
    void send(const ImpersonateUserData &user);
    void replaceLoaded(const ImpersonateUserData &record);
    void takeNotesOnTheirWay(ImpersonateUserData &user) const;
    // Moves the loaded copy of `record` to its place for its favourite mark, taking its stored
    // fields; false when it is not loaded.
    bool moveLoaded(const ImpersonateUserData &record);
    // One of this model's writes that landed: the writer's change count before it, and its
    // number among this model's writes in the order they were handed over.
    struct Written
    {
        qint64 changesBefore = -1;
        quint64 handed = 0;
    };
    // Hands one of this model's writes to the store's writer, then `landed` with its result and
    // what it was.
    template<typename Write, typename Landed>
    void ownWrite(Write write, Landed landed);
    // What one of this model's writes that landed is to the loaded users, by the writer's change
    // count before it: in them already (a load since), the one change since the load, one of
    // several but in the load on its way (asked after it was handed over), or one of several.
    enum class Landing { AlreadyLoaded, OnlyThis, InTheLoadOnItsWay, AfterOthers };
    Landing landing(const Written &written) const;
    // A write that adds or removes a user shows through a load unless the loaded users or the
    // load on its way hold it.
    static bool needsLoad(Landing landing)
    {
        return landing == Landing::OnlyThis || landing == Landing::AfterOthers;
    }

    MorvendaListener &m_session;
    UserManager &m_userManager;
    ImpersonateUserStore &m_store;
    ActiveApp m_activeApp;
    QCollator m_collator;
    // The collation keys of the names of m_users, in the same order: a star moves one user
    // between the groups without collating every name again.
    std::vector<QCollatorSortKey> m_userKeys;
    QList<ImpersonateUserData> m_favoriteUsers;
    QList<ImpersonateUserData> m_displayUsers;
    bool m_isLoading = true;
    std::optional<AppType> m_selectedApp;
    QString m_textFilter;
    QList<ImpersonateUserData> m_users;
    bool m_notesFailing = false;
    // False once the shared connection announced a change since the last load.
    bool m_loadedIsCurrent = false;
    // The same since the last load was asked: a change announced while it was read may have come
    // too late for it.
    bool m_storedElsewhereSinceRead = false;
    // The number of the load asked last; a load's job skips its read, and its result is dropped,
    // once a later one was asked. Shared with the jobs on the writer thread.
    std::shared_ptr<std::atomic<quint64>> m_latestRead = std::make_shared<std::atomic<quint64>>(0);
    // How many writes this model handed to the writer.
    quint64 m_writesHanded = 0;
    // While a load is on its way: how many of this model's writes were handed over before it was
    // asked. The writer runs them before the load, so it shows them.
    std::optional<quint64> m_writesBeforeLoad;
    // The writer's change count at the last load, advanced by this model's writes that the loaded
    // users took in place: while a write finds it unchanged, nothing else was written since.
    std::optional<qint64> m_loadedChanges;
    // The mark each star asked for last, by identity, until it has landed.
    QHash<ImpersonateUserData::Identity, bool> m_favoritesOnTheirWay;
    // The notes typed last, by identity, while writes of them have not landed: a load or a
    // landed star shows them rather than the older text still stored.
    struct NotesOnTheirWay
    {
        std::optional<QString> notes;
        int writes = 0;
    };
    QHash<ImpersonateUserData::Identity, NotesOnTheirWay> m_notesOnTheirWay;
};
