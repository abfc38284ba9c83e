// Opening the stored-user file: permissions, format checks, forward migrations, and setting a
// damaged file aside at start.
#include "ImpersonateUserStore.h"

#include "SqliteStatement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Forward migrations: step i brings a file of user_version i to i + 1.
const char *const migrations[] = {
    "CREATE TABLE stored_user ("
    " id INTEGER PRIMARY KEY,"
    " user_token TEXT NOT NULL UNIQUE,"
    " retailer_token TEXT,"
    " brand_token TEXT,"
    " image_url TEXT,"
    " name TEXT NOT NULL,"
    " email TEXT,"
    " country TEXT,"
    " favorite INTEGER NOT NULL,"
    " notes TEXT,"
    // A JSON array of tag raw values; NULL when the app reported no tags.
    " tags TEXT)",
};
static_assert(std::size(migrations) == ImpersonateUserStore::schemaVersion);

bool isNotADatabase(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Why `directory` could not be made: the system's reason for the first of its folders that is
// missing (a file in the way, no permission, a read-only disk).
QString whyNoFolder(const QString &directory)
{
    QString missing = directory;
    for (QString above = QFileInfo(missing).absolutePath(); above != missing && !QFileInfo::exists(above);
         above = QFileInfo(missing).absolutePath()) {
        missing = above;
    }
    const QString parent = QFileInfo(missing).absolutePath();
    if (!QFileInfo(parent).isDir()) {
        return QStringLiteral("%1 is not a folder").arg(parent);
    }
    if (::mkdir(QFile::encodeName(missing).constData(), 0700) != 0) {
        return errnoText();
    }
    ::rmdir(QFile::encodeName(missing).constData());
    return QStringLiteral("it could not be made");
}

// The directory is the user's own (0700) and the file too (0600): the tokens are credentials.
// SQLite gives its journal files the database file's permissions.
tl::expected<void, QString> prepareFile(const QString &path)
{
    const QFileInfo info(path);
    const QString directory = info.absolutePath();
    if (!QDir().mkpath(directory)) {
        return tl::unexpected(QStringLiteral("cannot create the folder %1: %2").arg(directory, whyNoFolder(directory)));
    }
    const QByteArray nativeDirectory = QFile::encodeName(directory);
    if (::chmod(nativeDirectory.constData(), 0700) != 0) {
        qCWarning(lcImpersonateUserStore, "Cannot restrict the folder %s to its owner: %s",
            nativeDirectory.constData(), qUtf8Printable(errnoText()));
    }
    const QByteArray nativePath = QFile::encodeName(path);
    const int fd = ::open(nativePath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return tl::unexpected(errnoText());
    }
    struct stat status{};
    if (::fstat(fd, &status) == 0 && (status.st_mode & 0077) != 0 && ::fchmod(fd, 0600) != 0) {
        qCWarning(lcImpersonateUserStore, "Cannot restrict %s to its owner: %s", nativePath.constData(),
            qUtf8Printable(errnoText()));
    }
    ::close(fd);
    return {};
}

struct OpenedHandle
{
    sqlite3 *db = nullptr;
    ~OpenedHandle() { sqlite3_close_v2(db); }
    sqlite3 *release() { return std::exchange(db, nullptr); }
};

ImpersonateUserStore::OpenFailure failure(ImpersonateUserStore::OpenError kind, const QString &message)
{
    return ImpersonateUserStore::OpenFailure{kind, message};
}

ImpersonateUserStore::OpenFailure sqliteFailure(sqlite3 *db, int code)
{
    return failure(isNotADatabase(code) ? ImpersonateUserStore::OpenError::NotADatabase
                                        : ImpersonateUserStore::OpenError::Unavailable,
        SqliteStatement::describe(db, code));
}

tl::expected<int, ImpersonateUserStore::OpenFailure> readUserVersion(sqlite3 *db)
{
    sqlite3_stmt *raw = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &raw, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(raw);
        return tl::unexpected(sqliteFailure(db, rc));
    }
    rc = sqlite3_step(raw);
    const int version = rc == SQLITE_ROW ? sqlite3_column_int(raw, 0) : 0;
    sqlite3_finalize(raw);
    if (rc != SQLITE_ROW) {
        return tl::unexpected(sqliteFailure(db, rc));
    }
    return version;
}

tl::expected<void, ImpersonateUserStore::OpenFailure> execOrFail(sqlite3 *db, const char *sql)
{
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        return tl::unexpected(sqliteFailure(db, rc));
    }
    return {};
}

// A quick structural check, so a damaged file is set aside at start instead of failing later.
tl::expected<void, ImpersonateUserStore::OpenFailure> checkIntegrity(sqlite3 *db)
{
    auto statement = SqliteStatement::prepare(db, "PRAGMA quick_check(1)");
    if (!statement) {
        // Classified by its code: a busy or unreadable file is not set aside as damaged.
        return tl::unexpected(sqliteFailure(db, sqlite3_extended_errcode(db)));
    }
    const auto stepped = statement->step();
    if (!stepped) {
        return tl::unexpected(sqliteFailure(db, sqlite3_extended_errcode(db)));
    }
    if (*stepped == SqliteStatement::Step::Row && statement->text(0) != QLatin1StringView("ok")) {
        return tl::unexpected(failure(ImpersonateUserStore::OpenError::NotADatabase, statement->text(0)));
    }
    return {};
}

// The columns of the stored-user table, in order, as the first migration makes them.
const char *const storedUserColumns[] = {"id", "user_token", "retailer_token", "brand_token", "image_url", "name",
    "email", "country", "favorite", "notes", "tags"};

// Another program's SQLite file at this path opens like ours: it must hold no table at format 0
// (the format before anything is made) and exactly our table at the current format, or it is
// treated like a damaged file instead of failing every later read and write.
tl::expected<void, ImpersonateUserStore::OpenFailure> checkSchema(sqlite3 *db, int version)
{
    const auto foreign = [](const QString &why) {
        return tl::unexpected(failure(ImpersonateUserStore::OpenError::NotADatabase,
            QStringLiteral("it was not written by Morvenda (%1)").arg(why)));
    };
    if (version == 0) {
        auto tables = SqliteStatement::prepare(db, "SELECT name FROM sqlite_schema WHERE type = 'table' LIMIT 1");
        if (!tables) {
            return tl::unexpected(sqliteFailure(db, sqlite3_extended_errcode(db)));
        }
        const auto stepped = tables->step();
        if (!stepped) {
            return tl::unexpected(sqliteFailure(db, sqlite3_extended_errcode(db)));
        }
        if (*stepped == SqliteStatement::Step::Row) {
            return foreign(QStringLiteral("it holds a table \"%1\" but no format number").arg(tables->text(0)));
        }
        return {};
    }
    auto columns = SqliteStatement::prepare(db, "SELECT name FROM pragma_table_info('stored_user') ORDER BY cid");
    if (!columns) {
        return tl::unexpected(sqliteFailure(db, sqlite3_extended_errcode(db)));
    }
    QStringList found;
    for (;;) {
        const auto stepped = columns->step();
        if (!stepped) {
            return tl::unexpected(sqliteFailure(db, sqlite3_extended_errcode(db)));
        }
        if (*stepped == SqliteStatement::Step::Done) {
            break;
        }
        found.append(columns->text(0));
    }
    QStringList expected;
    for (const char *column : storedUserColumns) {
        expected.append(QLatin1StringView(column));
    }
    if (found != expected) {
        return foreign(found.isEmpty() ? QStringLiteral("it has no table of stored users")
                                       : QStringLiteral("its table of stored users has the columns %1")
                                             .arg(found.join(QStringLiteral(", "))));
    }
    // Every write is an upsert by token: the token must be unique. Preparing runs nothing.
    if (!SqliteStatement::prepare(db, "INSERT INTO stored_user (user_token, name, favorite) VALUES ('', '', 0)"
                                      " ON CONFLICT(user_token) DO NOTHING")) {
        return foreign(QStringLiteral("its user tokens are not unique"));
    }
    return {};
}

tl::expected<void, ImpersonateUserStore::OpenFailure> migrate(sqlite3 *db)
{
    if (auto begun = execOrFail(db, "BEGIN IMMEDIATE"); !begun) {
        return begun;
    }
    const auto fail = [db](ImpersonateUserStore::OpenFailure reason) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return tl::unexpected(std::move(reason));
    };
    // Read again under the write lock: another instance may have migrated meanwhile.
    const auto version = readUserVersion(db);
    if (!version) {
        return fail(version.error());
    }
    if (*version > ImpersonateUserStore::schemaVersion) {
        return fail(failure(ImpersonateUserStore::OpenError::TooNew,
            QStringLiteral("a newer version of Morvenda has just upgraded it (format %1)").arg(*version)));
    }
    for (int step = *version; step < ImpersonateUserStore::schemaVersion; ++step) {
        if (auto done = execOrFail(db, migrations[step]); !done) {
            return fail(done.error());
        }
    }
    const QByteArray setVersion = "PRAGMA user_version = " + QByteArray::number(ImpersonateUserStore::schemaVersion);
    if (auto done = execOrFail(db, setVersion.constData()); !done) {
        return fail(done.error());
    }
    if (auto done = execOrFail(db, "COMMIT"); !done) {
        return fail(done.error());
    }
    return {};
}

} // namespace

QString ImpersonateUserStore::defaultPath()
{
    // Empty without a home folder: the store is then never made in the current folder or in "/".
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + fileName();
}

tl::expected<std::unique_ptr<ImpersonateUserStore>, ImpersonateUserStore::OpenFailure> ImpersonateUserStore::open(
    const QString &path)
{
    if (path.isEmpty()) {
        return tl::unexpected(failure(OpenError::Unavailable,
            QStringLiteral("there is no data folder for it (neither HOME nor XDG_DATA_HOME is set)")));
    }
    if (auto prepared = prepareFile(path); !prepared) {
        return tl::unexpected(failure(OpenError::Unavailable, prepared.error()));
    }
    OpenedHandle handle;
    const QByteArray nativePath = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(nativePath.constData(), &handle.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        return tl::unexpected(sqliteFailure(handle.db, rc));
    }
    sqlite3_extended_result_codes(handle.db, 1);
    sqlite3_busy_timeout(handle.db, busyTimeoutMs);

    // The version is read before anything writes: a newer file is left exactly as it is.
    const auto version = readUserVersion(handle.db);
    if (!version) {
        return tl::unexpected(version.error());
    }
    if (*version > schemaVersion) {
        return tl::unexpected(failure(OpenError::TooNew,
            QStringLiteral("it was written by a newer version of Morvenda (format %1; this version knows "
                           "formats up to %2)")
                .arg(*version)
                .arg(schemaVersion)));
    }
    if (auto checked = checkIntegrity(handle.db); !checked) {
        return tl::unexpected(checked.error());
    }
    // Before anything is written to it, so another program's file is set aside as it was.
    if (auto checked = checkSchema(handle.db, *version); !checked) {
        return tl::unexpected(checked.error());
    }
    if (auto wal = execOrFail(handle.db, "PRAGMA journal_mode=WAL"); !wal) {
        return tl::unexpected(wal.error());
    }
    if (auto sync = execOrFail(handle.db, "PRAGMA synchronous=NORMAL"); !sync) {
        return tl::unexpected(sync.error());
    }
    if (*version < schemaVersion) {
        if (auto migrated = migrate(handle.db); !migrated) {
            return tl::unexpected(migrated.error());
        }
    }
    return std::unique_ptr<ImpersonateUserStore>(new ImpersonateUserStore(handle.release(), path));
}

tl::expected<std::unique_ptr<ImpersonateUserStore>, QString> ImpersonateUserStore::openAtStart(const QString &path)
{
    const auto describeFailure = [&path](const OpenFailure &failure) {
        if (path.isEmpty()) {
            return QStringLiteral("The list of stored users cannot be opened: %1").arg(failure.message);
        }
        return QStringLiteral("The list of stored users in %1 cannot be opened: %2").arg(path, failure.message);
    };
    // SQLite removes a journal it cannot use when it gives up on the file: hard links keep the
    // journals' bytes until it is known whether the file is set aside with them.
    const QString held = path + QStringLiteral(".held-");
    const QLatin1StringView journals[] = {QLatin1StringView("-wal"), QLatin1StringView("-shm")};
    for (const QLatin1StringView suffix : journals) {
        QFile::remove(held + suffix);
        if (QFile::exists(path + suffix)
            && ::link(QFile::encodeName(path + suffix).constData(), QFile::encodeName(held + suffix).constData()) != 0) {
            qCWarning(lcImpersonateUserStore, "Cannot hold %s%s: %s", qUtf8Printable(path), suffix.data(),
                qUtf8Printable(errnoText()));
        }
    }
    const auto releaseHeld = [&] {
        for (const QLatin1StringView suffix : journals) {
            QFile::remove(held + suffix);
        }
    };

    // Viewing traffic needs no stored users: only a file that a newer version wrote stops the
    // program (this one must not run beside it on an older view of its data).
    const auto runWithout = [&](const OpenFailure &failure) -> tl::expected<std::unique_ptr<ImpersonateUserStore>, QString> {
        const QString reason = describeFailure(failure);
        if (failure.kind == OpenError::TooNew) {
            return tl::unexpected(reason);
        }
        qCWarning(lcImpersonateUserStore, "%s; running without stored users", qUtf8Printable(reason));
        return unavailable(path, reason);
    };
    auto opened = open(path);
    if (opened || opened.error().kind != OpenError::NotADatabase) {
        releaseHeld();
        if (opened) {
            return std::move(*opened);
        }
        return runWithout(opened.error());
    }

    // Nothing is deleted: the damaged file and its journals keep their bytes under a new name.
    const QString aside = path + QStringLiteral(".corrupt-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    qCWarning(lcImpersonateUserStore, "%s is not a usable database (%s); moving it to %s", qUtf8Printable(path),
        qUtf8Printable(opened.error().message), qUtf8Printable(aside));
    if (!QFile::rename(path, aside)) {
        releaseHeld();
        OpenFailure notMoved = opened.error();
        notMoved.kind = OpenError::Unavailable;
        notMoved.message += QStringLiteral(" (moving it aside to %1 failed as well)").arg(aside);
        return runWithout(notMoved);
    }
    for (const QLatin1StringView suffix : journals) {
        const QString source = QFile::exists(path + suffix) ? path + suffix : held + suffix;
        if (QFile::exists(source) && !QFile::rename(source, aside + suffix)) {
            qCWarning(lcImpersonateUserStore, "Cannot move %s aside", qUtf8Printable(source));
        }
    }
    releaseHeld();
    auto fresh = open(path);
    if (!fresh) {
        return runWithout(fresh.error());
    }
    (*fresh)->m_recoveredFile = aside;
    return std::move(*fresh);
}


std::unique_ptr<ImpersonateUserStore> ImpersonateUserStore::openAnother() const
{
    if (!m_db) {
        return unavailable(m_path, m_unavailableReason);
    }
    OpenedHandle handle;
    const int rc = sqlite3_open_v2(QFile::encodeName(m_path).constData(), &handle.db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        return unavailable(m_path,
            QStringLiteral("The list of stored users in %1 cannot be opened again: %2")
                .arg(m_path, SqliteStatement::describe(handle.db, rc)));
    }
    sqlite3_extended_result_codes(handle.db, 1);
    sqlite3_busy_timeout(handle.db, busyTimeoutMs);
    // WAL is a property of the file; the synchronous level belongs to each connection.
    sqlite3_exec(handle.db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    return std::unique_ptr<ImpersonateUserStore>(new ImpersonateUserStore(handle.release(), m_path));
}
