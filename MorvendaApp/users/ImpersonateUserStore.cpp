#include "ImpersonateUserStore.h"

#include "SqliteStatement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcImpersonateUserStore, "morvenda.ImpersonateUserStore")

namespace {

// Column order of every read; recordFrom() depends on it.
#define STORED_USER_COLUMNS \
    "id, user_token, retailer_token, brand_token, image_url, name, email, country, favorite, notes, tags"

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

std::optional<QString> nonEmpty(const std::optional<QString> &text)
{
    if (text && text->isEmpty()) {
        return std::nullopt;
    }
    return text;
}

std::optional<QString> tagsText(const std::optional<QList<UserTag>> &tags)
{
    if (!tags) {
        return std::nullopt;
    }
    QJsonArray array;
    for (const UserTag tag : *tags) {
        array.append(rawValue(tag));
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::optional<QList<UserTag>> tagsFrom(const std::optional<QString> &text, ImpersonateUserData::Identity id)
{
    if (!text) {
        return std::nullopt;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text->toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        qCWarning(lcImpersonateUserStore, "Stored user %lld has unreadable tags; they are shown as none", id);
        return std::nullopt;
    }
    QList<UserTag> tags;
    // A tag this program does not know (written by a newer one) is left out of the list shown.
    for (const QJsonValue &value : document.array()) {
        if (const auto tag = userTagFromRawValue(value.toString())) {
            tags.append(*tag);
        }
    }
    return tags;
}

ImpersonateUserData recordFrom(const SqliteStatement &row)
{
    ImpersonateUserData record;
    record.id = row.integer(0);
    record.userToken = row.text(1);
    record.retailerToken = row.optionalText(2);
    record.brandToken = row.optionalText(3);
    if (const auto url = row.optionalText(4)) {
        record.imageURL = Url::fromText(*url);
    }
    record.name = row.text(5);
    record.email = row.optionalText(6);
    record.country = row.optionalText(7);
    record.favorite = row.integer(8) != 0;
    record.notes = nonEmpty(row.optionalText(9));
    record.tags = tagsFrom(row.optionalText(10), record.id);
    return record;
}

tl::expected<ImpersonateUserData, QString> singleRecord(SqliteStatement &statement)
{
    const auto stepped = statement.step();
    if (!stepped) {
        return tl::unexpected(stepped.error());
    }
    if (*stepped != SqliteStatement::Step::Row) {
        return tl::unexpected(QStringLiteral("the store returned no record"));
    }
    ImpersonateUserData record = recordFrom(statement);
    if (const auto done = statement.run(); !done) {
        return tl::unexpected(done.error());
    }
    return record;
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The directory is the user's own (0700) and the file too (0600): the tokens are credentials.
// SQLite gives its journal files the database file's permissions.
tl::expected<void, QString> prepareFile(const QString &path)
{
    const QFileInfo info(path);
    const QString directory = info.absolutePath();
    if (!QDir().mkpath(directory)) {
        return tl::unexpected(QStringLiteral("cannot create the folder %1").arg(directory));
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
        return tl::unexpected(failure(ImpersonateUserStore::OpenError::NotADatabase, statement.error()));
    }
    const auto stepped = statement->step();
    if (!stepped) {
        return tl::unexpected(sqliteFailure(db, sqlite3_extended_errcode(db)));
    }
    if (*stepped == SqliteStatement::Step::Row && statement->text(0) != QLatin1String("ok")) {
        return tl::unexpected(failure(ImpersonateUserStore::OpenError::NotADatabase, statement->text(0)));
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
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/') + fileName();
}

tl::expected<std::unique_ptr<ImpersonateUserStore>, ImpersonateUserStore::OpenFailure> ImpersonateUserStore::open(
    const QString &path)
{
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
        return QStringLiteral("The list of stored users in %1 cannot be opened: %2").arg(path, failure.message);
    };
    // SQLite removes a journal it cannot use when it gives up on the file: hard links keep the
    // journals' bytes until it is known whether the file is set aside with them.
    const QString held = path + QStringLiteral(".held-");
    const QLatin1String journals[] = {QLatin1String("-wal"), QLatin1String("-shm")};
    for (const QLatin1String suffix : journals) {
        QFile::remove(held + suffix);
        if (QFile::exists(path + suffix)
            && ::link(QFile::encodeName(path + suffix).constData(), QFile::encodeName(held + suffix).constData()) != 0) {
            qCWarning(lcImpersonateUserStore, "Cannot hold %s%s: %s", qUtf8Printable(path), suffix.data(),
                qUtf8Printable(errnoText()));
        }
    }
    const auto releaseHeld = [&] {
        for (const QLatin1String suffix : journals) {
            QFile::remove(held + suffix);
        }
    };

    auto opened = open(path);
    if (opened || opened.error().kind != OpenError::NotADatabase) {
        releaseHeld();
        if (opened) {
            return std::move(*opened);
        }
        return tl::unexpected(describeFailure(opened.error()));
    }

    // Nothing is deleted: the damaged file and its journals keep their bytes under a new name.
    const QString aside = path + QStringLiteral(".corrupt-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    qCWarning(lcImpersonateUserStore, "%s is not a usable database (%s); moving it to %s", qUtf8Printable(path),
        qUtf8Printable(opened.error().message), qUtf8Printable(aside));
    if (!QFile::rename(path, aside)) {
        releaseHeld();
        return tl::unexpected(describeFailure(opened.error())
            + QStringLiteral(" (moving it aside to %1 failed as well)").arg(aside));
    }
    for (const QLatin1String suffix : journals) {
        const QString source = QFile::exists(path + suffix) ? path + suffix : held + suffix;
        if (QFile::exists(source) && !QFile::rename(source, aside + suffix)) {
            qCWarning(lcImpersonateUserStore, "Cannot move %s aside", qUtf8Printable(source));
        }
    }
    releaseHeld();
    auto fresh = open(path);
    if (!fresh) {
        return tl::unexpected(describeFailure(fresh.error()));
    }
    (*fresh)->m_recoveredFile = aside;
    return std::move(*fresh);
}

ImpersonateUserStore::ImpersonateUserStore(sqlite3 *db, QString path)
    : m_db(db)
    , m_path(std::move(path))
{
}

ImpersonateUserStore::~ImpersonateUserStore()
{
    sqlite3_close_v2(m_db);
}

tl::expected<QList<ImpersonateUserData>, QString> ImpersonateUserStore::fetchAll() const
{
    auto statement = SqliteStatement::prepare(m_db, "SELECT " STORED_USER_COLUMNS " FROM stored_user ORDER BY id");
    if (!statement) {
        return tl::unexpected(statement.error());
    }
    QList<ImpersonateUserData> records;
    for (;;) {
        const auto stepped = statement->step();
        if (!stepped) {
            return tl::unexpected(stepped.error());
        }
        if (*stepped == SqliteStatement::Step::Done) {
            return records;
        }
        records.append(recordFrom(*statement));
    }
}

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUserStore::fetchByToken(
    const QString &userToken) const
{
    auto statement = SqliteStatement::prepare(m_db,
        "SELECT " STORED_USER_COLUMNS " FROM stored_user WHERE user_token = ?1");
    if (!statement) {
        return tl::unexpected(statement.error());
    }
    statement->bind(1, userToken);
    const auto stepped = statement->step();
    if (!stepped) {
        return tl::unexpected(stepped.error());
    }
    if (*stepped == SqliteStatement::Step::Done) {
        return std::optional<ImpersonateUserData>();
    }
    return std::optional<ImpersonateUserData>(recordFrom(*statement));
}

tl::expected<ImpersonateUserData, QString> ImpersonateUserStore::upsert(const ImpersonateUserData &record)
{
    // An upsert, not INSERT OR REPLACE: the stored record keeps its identity.
    auto statement = SqliteStatement::prepare(m_db,
        "INSERT INTO stored_user (user_token, retailer_token, brand_token, image_url, name, email, country,"
        " favorite, notes, tags) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
        " ON CONFLICT(user_token) DO UPDATE SET retailer_token = excluded.retailer_token,"
        " brand_token = excluded.brand_token, image_url = excluded.image_url, name = excluded.name,"
        " email = excluded.email, country = excluded.country, favorite = excluded.favorite,"
        " notes = excluded.notes, tags = excluded.tags"
        " RETURNING " STORED_USER_COLUMNS);
    if (!statement) {
        return tl::unexpected(statement.error());
    }
    statement->bind(1, record.userToken);
    statement->bind(2, record.retailerToken);
    statement->bind(3, record.brandToken);
    statement->bind(4, record.imageURL ? std::optional<QString>(record.imageURL->text()) : std::nullopt);
    statement->bind(5, record.name);
    statement->bind(6, record.email);
    statement->bind(7, record.country);
    statement->bind(8, qint64(record.favorite ? 1 : 0));
    statement->bind(9, nonEmpty(record.notes));
    statement->bind(10, tagsText(record.tags));
    auto stored = singleRecord(*statement);
    if (stored) {
        announceChanged(*stored);
    }
    return stored;
}

tl::expected<ImpersonateUserData, QString> ImpersonateUserStore::addUser(const QString &userToken, const QString &name)
{
    auto statement = SqliteStatement::prepare(m_db,
        "INSERT INTO stored_user (user_token, name, favorite) VALUES (?1, ?2, 0)"
        " ON CONFLICT(user_token) DO UPDATE SET name = CASE WHEN excluded.name = '' THEN name ELSE excluded.name END"
        " RETURNING " STORED_USER_COLUMNS);
    if (!statement) {
        return tl::unexpected(statement.error());
    }
    statement->bind(1, userToken);
    statement->bind(2, name);
    auto stored = singleRecord(*statement);
    if (stored) {
        announceChanged(*stored);
    }
    return stored;
}

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUserStore::updateReturning(const char *sql,
    ImpersonateUserData::Identity id, const std::function<void(SqliteStatement &)> &bind)
{
    auto statement = SqliteStatement::prepare(m_db, sql);
    if (!statement) {
        return tl::unexpected(statement.error());
    }
    statement->bind(1, id);
    bind(*statement);
    const auto stepped = statement->step();
    if (!stepped) {
        return tl::unexpected(stepped.error());
    }
    if (*stepped == SqliteStatement::Step::Done) {
        return std::optional<ImpersonateUserData>();
    }
    ImpersonateUserData record = recordFrom(*statement);
    if (const auto done = statement->run(); !done) {
        return tl::unexpected(done.error());
    }
    announceChanged(record);
    return std::optional<ImpersonateUserData>(std::move(record));
}

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUserStore::setFavorite(
    ImpersonateUserData::Identity id, bool favorite)
{
    return updateReturning("UPDATE stored_user SET favorite = ?2 WHERE id = ?1 RETURNING " STORED_USER_COLUMNS, id,
        [favorite](SqliteStatement &statement) { statement.bind(2, qint64(favorite ? 1 : 0)); });
}

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUserStore::setNotes(
    ImpersonateUserData::Identity id, const std::optional<QString> &notes)
{
    return updateReturning("UPDATE stored_user SET notes = ?2 WHERE id = ?1 RETURNING " STORED_USER_COLUMNS, id,
        [&notes](SqliteStatement &statement) { statement.bind(2, nonEmpty(notes)); });
}

tl::expected<bool, QString> ImpersonateUserStore::remove(ImpersonateUserData::Identity id)
{
    auto statement = SqliteStatement::prepare(m_db, "DELETE FROM stored_user WHERE id = ?1");
    if (!statement) {
        return tl::unexpected(statement.error());
    }
    statement->bind(1, id);
    if (const auto done = statement->run(); !done) {
        return tl::unexpected(done.error());
    }
    const bool removed = sqlite3_changes(m_db) > 0;
    if (removed) {
        announceRemoved(id);
    }
    return removed;
}

tl::expected<void, QString> ImpersonateUserStore::exec(const char *sql)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        return tl::unexpected(SqliteStatement::describe(m_db, rc));
    }
    return {};
}

tl::expected<void, QString> ImpersonateUserStore::transaction(const std::function<tl::expected<void, QString>()> &work)
{
    Q_ASSERT(!m_inTransaction);
    if (m_inTransaction) {
        return tl::unexpected(QStringLiteral("a transaction is already open"));
    }
    if (auto begun = exec("BEGIN IMMEDIATE"); !begun) {
        return begun;
    }
    m_inTransaction = true;
    auto result = work();
    if (result) {
        result = exec("COMMIT");
    }
    m_inTransaction = false;
    if (!result) {
        // A failed COMMIT may already have ended the transaction; then there is nothing to undo.
        if (!sqlite3_get_autocommit(m_db)) {
            if (auto undone = exec("ROLLBACK"); !undone) {
                qCWarning(lcImpersonateUserStore, "Rolling back failed: %s", qUtf8Printable(undone.error()));
            }
        }
        m_pendingAnnouncements.clear();
        return result;
    }
    const auto announcements = std::exchange(m_pendingAnnouncements, {});
    for (const auto &announce : announcements) {
        announce();
    }
    return {};
}

void ImpersonateUserStore::announceChanged(const ImpersonateUserData &record)
{
    if (m_inTransaction) {
        m_pendingAnnouncements.append([this, record] { emit recordChanged(record); });
        return;
    }
    emit recordChanged(record);
}

void ImpersonateUserStore::announceRemoved(ImpersonateUserData::Identity id)
{
    if (m_inTransaction) {
        m_pendingAnnouncements.append([this, id] { emit recordRemoved(id); });
        return;
    }
    emit recordRemoved(id);
}
