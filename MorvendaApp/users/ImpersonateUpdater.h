// Keeps the stored-user list in step with the users that connected apps report: each new latest
// user (admins and users without a token aside) is merged with the stored record of its token and
// stored. One instance for the whole run, held with the shared objects and started once the main
// window is first shown. Main thread, which never waits for the store: while another program
// holds its write lock, reports wait in order and are stored once it lets go.
#pragma once

#include "ImpersonateUserData.h"
#include "MorvendaModel/User.h"

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

#include <tl/expected.hpp>

#include <optional>

class ImpersonateUserStore;
class UserManager;

Q_DECLARE_LOGGING_CATEGORY(lcImpersonateUpdater)

class ImpersonateUpdater : public QObject
{
    Q_OBJECT
public:
    explicit ImpersonateUpdater(ImpersonateUserStore &store, QObject *parent = nullptr);

    // Follows `userManager`'s latest user from now on, beginning with its current value. Only the
    // first call subscribes: a later call (the main window shown again) changes nothing, so a
    // user the developer has just deleted is not stored again from an old report.
    void start(UserManager &userManager);
    bool isStarted() const { return m_started; }

    // The update for one published value; a value equal to the one before it is dropped.
    void handleUser(const std::optional<User> &user);

    // The record built from a reported user, not stored; none without a token.
    static std::optional<ImpersonateUserData> makeUserData(const User &user);
    // The reported tags without "impersonating", "admin", "active" and "loggedOut".
    static QList<UserTag> storedTags(const User &user);
    // `record` after taking the developer's favourite and notes, and the tokens and country that
    // the report lacks, from `stored`.
    static ImpersonateUserData mergeStoredValues(ImpersonateUserData record, const ImpersonateUserData &stored);

    // Reports waiting for another program to release the store, oldest first, one per token.
    const QList<ImpersonateUserData> &waiting() const { return m_waiting; }
    // How long a report waits before the store is tried again.
    static constexpr int kRetryMs = 250;

signals:
    // A report could not be stored (a full disk, say). Once for a run of failures: again only
    // after a report has been stored since.
    void storeFailed(const QString &error);

protected:
    // The stored record of `userToken`, read inside the update's transaction.
    virtual tl::expected<std::optional<ImpersonateUserData>, QString> lookupStored(const QString &userToken);

private:
    enum class Outcome { Stored, Busy, Failed };

    void store(const ImpersonateUserData &record);
    void storeWaiting();
    Outcome write(const ImpersonateUserData &record);

    ImpersonateUserStore &m_store;
    bool m_started = false;
    bool m_failing = false;
    QList<ImpersonateUserData> m_waiting;
    QTimer m_retry;
    // The last value handled; empty before the first one.
    std::optional<std::optional<User>> m_previous;
};
