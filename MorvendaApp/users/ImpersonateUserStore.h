// The persistent list of stored users: one SQLite file in the application's data directory,
// opened once at start and shared by every window. Writes are upserts by token and field updates
// by identity, so concurrent edits of different fields never overwrite each other. Every change
// is announced by identity after it is committed. A store that could not be opened at start is
// unavailable: every operation then fails with the reason it could not be opened. Each instance is
// one connection used on one thread: the shared one reads on the main thread, and the program's
// writes and the windows' loads go through writer(), whose connection (openAnother) lives on a
// thread of its own.
#pragma once

#include "ImpersonateUserData.h"

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <tl/expected.hpp>

#include <functional>
#include <memory>
#include <optional>

struct sqlite3;
class SqliteStatement;
class StoredUserWriter;

Q_DECLARE_LOGGING_CATEGORY(lcImpersonateUserStore)

class ImpersonateUserStore : public QObject
{
    Q_OBJECT
public:
    // The format this program writes (PRAGMA user_version); older files are migrated forward.
    static constexpr int schemaVersion = 1;
    // How long a statement waits for another process's lock before it fails.
    static constexpr int busyTimeoutMs = 3000;

    static QString fileName() { return QStringLiteral("stored-users.sqlite3"); }
    // The file in the application's data directory (QStandardPaths::AppDataLocation); empty when
    // there is no such directory, which open() refuses.
    static QString defaultPath();

    enum class OpenError {
        // The file or its directory cannot be made, opened or locked.
        Unavailable,
        // The file is not a database, or it is corrupt.
        NotADatabase,
        // A newer program wrote it; this one never writes to it.
        TooNew,
    };
    struct OpenFailure
    {
        OpenError kind;
        QString message;
    };

    // Opens the store at `path`, creating the file (0600) and its directory (0700) when missing,
    // and migrates an older file.
    static tl::expected<std::unique_ptr<ImpersonateUserStore>, OpenFailure> open(const QString &path);
    // As open(), but a file that is not a database is renamed to
    // "<path>.corrupt-<UTC time>" (with its journal files) and a fresh store is made in its
    // place; recoveredFile() then names the renamed file. A file written by a newer version is the
    // returned text, which names the file. Any other failure (a folder that cannot be written, a
    // file locked by another program) gives an unavailable store whose reason names the file: the
    // program runs on without stored users.
    static tl::expected<std::unique_ptr<ImpersonateUserStore>, QString> openAtStart(const QString &path);
    // A store on which every operation fails with `reason`.
    static std::unique_ptr<ImpersonateUserStore> unavailable(const QString &path, const QString &reason);
    // A second connection to this store's file, for use on another thread: the file was checked
    // and migrated when this one was opened. Unavailable, with the reason, when it cannot be had.
    std::unique_ptr<ImpersonateUserStore> openAnother() const;

    ~ImpersonateUserStore() override;

    // The thread that writes to this store's file, made on first use: reported users and the
    // windows' edits, in the order they are handed over. It runs what it was given before this
    // store is closed. Main thread.
    StoredUserWriter &writer();

    const QString &path() const { return m_path; }
    bool isAvailable() const { return m_db != nullptr; }
    // Why the store could not be opened; empty while it is available.
    const QString &unavailableReason() const { return m_unavailableReason; }
    // Where a corrupt file was moved when openAtStart() replaced it.
    const std::optional<QString> &recoveredFile() const { return m_recoveredFile; }

    // Every stored record, in identity order.
    tl::expected<QList<ImpersonateUserData>, QString> fetchAll() const;
    // Changes whenever another connection, in this process or another, committed to the file
    // since this connection last asked; this connection's own writes leave it. Nothing when the
    // store cannot answer.
    std::optional<qint64> dataVersion() const;
    tl::expected<std::optional<ImpersonateUserData>, QString> fetchByToken(const QString &userToken) const;
    // The stored record of `userToken` with only its identity and the fields a new report of it
    // may keep (tokens, country, favourite, notes); its other fields are left empty, since
    // reading back a huge reported name or address would cost as much as writing it.
    tl::expected<std::optional<ImpersonateUserData>, QString> fetchKeptFields(const QString &userToken) const;

    // What upsert() hands back: the record read back from the file, or `record` with its identity
    // (the same values, without reading a huge record back).
    enum class ReadBack { Record, IdentityOnly };
    // Stores `record` under its token: a stored record of that token keeps its identity and takes
    // every other field of `record`; otherwise a new record is added. Returns the record as stored.
    tl::expected<ImpersonateUserData, QString> upsert(const ImpersonateUserData &record,
        ReadBack readBack = ReadBack::Record);
    // A user typed in by hand: a new record with just the token and the name, or, when the token
    // is stored, that record unchanged except for the name, which it takes when `name` is not empty.
    tl::expected<ImpersonateUserData, QString> addUser(const QString &userToken, const QString &name);

    // Field updates of one record by identity. A record deleted meanwhile stays deleted: the
    // result is then empty, and nothing is announced.
    tl::expected<std::optional<ImpersonateUserData>, QString> setFavorite(ImpersonateUserData::Identity id,
        bool favorite);
    // Empty text is stored as none.
    tl::expected<std::optional<ImpersonateUserData>, QString> setNotes(ImpersonateUserData::Identity id,
        const std::optional<QString> &notes);

    // False when no record had that identity.
    tl::expected<bool, QString> remove(ImpersonateUserData::Identity id);

    // Runs `work` in one write transaction (BEGIN IMMEDIATE): committed when it succeeds, rolled
    // back when it fails; the announcements of its changes follow the commit. Not nestable.
    tl::expected<void, QString> transaction(const std::function<tl::expected<void, QString>()> &work);
    // As transaction(), but without waiting while another program holds the write lock: false,
    // and nothing run, when it does.
    tl::expected<bool, QString> tryTransaction(const std::function<tl::expected<void, QString>()> &work);

signals:
    // After a committed insert, upsert or field update, with the record as now stored.
    void recordChanged(const ImpersonateUserData &record);
    void recordRemoved(ImpersonateUserData::Identity id);

private:
    explicit ImpersonateUserStore(sqlite3 *db, QString path);

    tl::expected<SqliteStatement, QString> prepare(const char *sql) const;
    // The one record a statement with the token as its parameter 1 selects, if any.
    tl::expected<std::optional<ImpersonateUserData>, QString> fetchOne(const char *sql, const QString &userToken) const;
    tl::expected<void, QString> exec(const char *sql);
    // The rest of a transaction once BEGIN succeeded.
    tl::expected<void, QString> runBegun(const std::function<tl::expected<void, QString>()> &work);
    tl::expected<std::optional<ImpersonateUserData>, QString> updateReturning(const char *sql,
        ImpersonateUserData::Identity id, const std::function<void(SqliteStatement &)> &bind);
    void announceChanged(const ImpersonateUserData &record);
    void announceRemoved(ImpersonateUserData::Identity id);

    sqlite3 *m_db = nullptr;
    QString m_path;
    QString m_unavailableReason;
    std::optional<QString> m_recoveredFile;
    bool m_inTransaction = false;
    std::unique_ptr<StoredUserWriter> m_writer;
    // Announcements held back until the transaction commits.
    QList<std::function<void()>> m_pendingAnnouncements;
};
