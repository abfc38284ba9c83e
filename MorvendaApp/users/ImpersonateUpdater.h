// Keeps the stored-user list in step with the users that connected apps report: each new latest
// user (admins and users without a token aside) is merged with the stored record of its token and
// stored. One instance for the whole run, held with the shared objects and started once the main
// window is first shown. It lives on the main thread, which never waits for the store: reports
// are written in order by the store's writer thread, over its connection, and wait while another
// program holds the write lock or the disk has no room.
#pragma once

#include "ImpersonateUserData.h"
#include "MorvendaModel/User.h"

#include <QHash>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

#include <tl/expected.hpp>

#include <memory>
#include <optional>

class ImpersonateUserStore;
class StoredUserWriter;
class UserManager;

Q_DECLARE_LOGGING_CATEGORY(lcImpersonateUpdater)

class ImpersonateUpdater : public QObject
{
    Q_OBJECT
public:
    explicit ImpersonateUpdater(ImpersonateUserStore &store, QObject *parent = nullptr);
    // Stores what still waits, one attempt each, after the write in progress: a report that came
    // just before quitting is kept unless the store cannot take it.
    ~ImpersonateUpdater() override;

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

    // Reports not stored yet, oldest first, one per token but for the one being written, which
    // is first.
    const QList<ImpersonateUserData> &waiting() const { return m_waiting; }
    // How long a report waits for another program's write lock before it is tried again.
    static constexpr int kRetryMs = 250;
    // After a failed write (a full disk, say) the first wait before trying again; each further
    // failure doubles it up to the longest.
    static constexpr int kFirstRetryAfterFailureMs = 1000;
    static constexpr int kLongestRetryAfterFailureMs = 30000;
    // What may wait at once, so that an app reporting ever new users faster than they can be
    // written (or while they cannot be) does not exhaust memory: at most this many reports, of at
    // most this many characters in all, though a single report of any size is always taken.
    static constexpr qsizetype kMostWaiting = 10000;
    static constexpr qsizetype kMostWaitingCharacters = qsizetype(128) * 1024 * 1024;

signals:
    // A report could not be stored (a full disk, say): the reason, and that the reports wait.
    // Once for a run of failures: again only after a report has been stored since. Also once
    // when reports are lost because too many wait, again only after all that waited was stored.
    void storeFailed(const QString &message);
    // A report was written, with the values it kept from the stored record.
    void userStored(const ImpersonateUserData &record);

protected:
    // The stored record of `userToken`, read inside the update's transaction. Runs on the
    // writer thread, over its connection.
    virtual tl::expected<std::optional<ImpersonateUserData>, QString> lookupStored(ImpersonateUserStore &connection,
        const QString &userToken) const;

private:
    enum class Outcome { Stored, Busy, Failed };
    struct Attempt
    {
        Outcome outcome = Outcome::Stored;
        // As stored, for Stored; the reason, for Failed.
        ImpersonateUserData record;
        QString error;
        bool lookupFailed = false;
    };

    void store(const ImpersonateUserData &record);
    void append(const ImpersonateUserData &record);
    ImpersonateUserData takeAt(qsizetype index);
    static qsizetype characters(const ImpersonateUserData &record);
    void writeFirst();
    void attempted(const Attempt &attempt);
    // Writer thread.
    Attempt write(ImpersonateUserStore &connection, ImpersonateUserData record) const;

    bool m_started = false;
    bool m_failing = false;
    // Reports were lost since the queue was last empty.
    bool m_dropping = false;
    // The characters of the waiting reports.
    qsizetype m_waitingCharacters = 0;
    // How many waiting reports each token has (two when one follows the one being written), so
    // that a report of a user who is not waiting is queued without a look at every other.
    QHash<QString, int> m_waitingTokens;
    // Another program held the write lock at the last attempt.
    bool m_lockHeld = false;
    // The first waiting report is with the store thread.
    bool m_writing = false;
    int m_failureRetryMs = kFirstRetryAfterFailureMs;
    QList<ImpersonateUserData> m_waiting;
    QTimer m_retry;
    // The last value handled; empty before the first one.
    std::optional<std::optional<User>> m_previous;
    StoredUserWriter &m_writer;
    // False when the store cannot be written (which was said when it was opened).
    bool m_available = false;
};
