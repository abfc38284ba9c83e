#include "ImpersonateUserStore.h"

#include "SqliteStatement.h"
#include "StoredUserWriter.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <sqlite3.h>

Q_LOGGING_CATEGORY(lcImpersonateUserStore, "morvenda.ImpersonateUserStore")

namespace {

// Column order of every read; recordFrom() depends on it.
#define STORED_USER_COLUMNS \
    "id, user_token, retailer_token, brand_token, image_url, name, email, country, favorite, notes, tags"

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

// Reads the shape tagsText() writes, a compact array of plain names, without the JSON parser
// (a load of every stored user reads one list per user). Anything else, escapes included, is
// left to the parser: nullopt here means "not that shape", not "no tags".
std::optional<QList<UserTag>> tagsInWrittenShape(QStringView text)
{
    if (text.size() < 2 || text.front() != u'[' || text.back() != u']') {
        return std::nullopt;
    }
    QList<UserTag> tags;
    const QStringView items = text.sliced(1, text.size() - 2);
    if (items.isEmpty()) {
        return tags;
    }
    for (const QStringView item : items.tokenize(u',')) {
        if (item.size() < 2 || item.front() != u'"' || item.back() != u'"') {
            return std::nullopt;
        }
        const QStringView name = item.sliced(1, item.size() - 2);
        if (name.contains(u'\\') || name.contains(u'"')) {
            return std::nullopt;
        }
        // A tag this program does not know (written by a newer one) is left out of the list shown.
        if (const auto tag = userTagFromRawValue(name)) {
            tags.append(*tag);
        }
    }
    return tags;
}

std::optional<QList<UserTag>> tagsFrom(const std::optional<QString> &text, ImpersonateUserData::Identity id)
{
    if (!text) {
        return std::nullopt;
    }
    if (auto tags = tagsInWrittenShape(*text)) {
        return tags;
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

// `record` as it is now stored, from a statement that returns only the identity.
tl::expected<ImpersonateUserData, QString> identityOnly(SqliteStatement &statement, ImpersonateUserData record)
{
    const auto stepped = statement.step();
    if (!stepped) {
        return tl::unexpected(stepped.error());
    }
    if (*stepped != SqliteStatement::Step::Row) {
        return tl::unexpected(QStringLiteral("the store returned no record"));
    }
    record.id = statement.integer(0);
    record.notes = nonEmpty(record.notes);
    if (const auto done = statement.run(); !done) {
        return tl::unexpected(done.error());
    }
    return record;
}

} // namespace

ImpersonateUserStore::ImpersonateUserStore(sqlite3 *db, QString path)
    : m_db(db)
    , m_path(std::move(path))
{
}

ImpersonateUserStore::~ImpersonateUserStore()
{
    m_writer.reset();
    sqlite3_close_v2(m_db);
}

StoredUserWriter &ImpersonateUserStore::writer()
{
    if (!m_writer) {
        m_writer = std::make_unique<StoredUserWriter>(*this);
    }
    return *m_writer;
}

std::unique_ptr<ImpersonateUserStore> ImpersonateUserStore::unavailable(const QString &path, const QString &reason)
{
    std::unique_ptr<ImpersonateUserStore> store(new ImpersonateUserStore(nullptr, path));
    store->m_unavailableReason = reason;
    return store;
}

tl::expected<SqliteStatement, QString> ImpersonateUserStore::prepare(const char *sql) const
{
    if (!m_db) {
        return tl::unexpected(m_unavailableReason);
    }
    return SqliteStatement::prepare(m_db, sql);
}

tl::expected<QList<ImpersonateUserData>, QString> ImpersonateUserStore::fetchAll() const
{
    auto statement = prepare("SELECT " STORED_USER_COLUMNS " FROM stored_user ORDER BY id");
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

std::optional<qint64> ImpersonateUserStore::dataVersion() const
{
    auto statement = prepare("PRAGMA data_version");
    if (!statement) {
        return std::nullopt;
    }
    const auto stepped = statement->step();
    if (!stepped || *stepped != SqliteStatement::Step::Row) {
        return std::nullopt;
    }
    return statement->integer(0);
}

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUserStore::fetchByToken(
    const QString &userToken) const
{
    return fetchOne("SELECT " STORED_USER_COLUMNS " FROM stored_user WHERE user_token = ?1", userToken);
}

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUserStore::fetchKeptFields(
    const QString &userToken) const
{
    // The columns a report replaces come back empty, in their places, so recordFrom() reads them.
    return fetchOne("SELECT id, user_token, retailer_token, brand_token, NULL, '', NULL, country, favorite, notes, NULL"
                    " FROM stored_user WHERE user_token = ?1",
        userToken);
}

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUserStore::fetchOne(const char *sql,
    const QString &userToken) const
{
    auto statement = prepare(sql);
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

tl::expected<ImpersonateUserData, QString> ImpersonateUserStore::upsert(const ImpersonateUserData &record,
    ReadBack readBack)
{
    // An upsert, not INSERT OR REPLACE: the stored record keeps its identity.
#define UPSERT_STORED_USER \
    "INSERT INTO stored_user (user_token, retailer_token, brand_token, image_url, name, email, country," \
    " favorite, notes, tags) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)" \
    " ON CONFLICT(user_token) DO UPDATE SET retailer_token = excluded.retailer_token," \
    " brand_token = excluded.brand_token, image_url = excluded.image_url, name = excluded.name," \
    " email = excluded.email, country = excluded.country, favorite = excluded.favorite," \
    " notes = excluded.notes, tags = excluded.tags"
    auto statement = prepare(readBack == ReadBack::Record ? UPSERT_STORED_USER " RETURNING " STORED_USER_COLUMNS
                                                          : UPSERT_STORED_USER " RETURNING id");
#undef UPSERT_STORED_USER
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
    auto stored = readBack == ReadBack::Record ? singleRecord(*statement) : identityOnly(*statement, record);
    if (stored) {
        announceChanged(*stored);
    }
    return stored;
}

tl::expected<ImpersonateUserData, QString> ImpersonateUserStore::addUser(const QString &userToken, const QString &name)
{
    auto statement = prepare(
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
    auto statement = prepare(sql);
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
    auto statement = prepare("DELETE FROM stored_user WHERE id = ?1");
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
    if (!m_db) {
        return tl::unexpected(m_unavailableReason);
    }
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
    return runBegun(work);
}

tl::expected<bool, QString> ImpersonateUserStore::tryTransaction(
    const std::function<tl::expected<void, QString>()> &work)
{
    Q_ASSERT(!m_inTransaction);
    if (m_inTransaction) {
        return tl::unexpected(QStringLiteral("a transaction is already open"));
    }
    if (!m_db) {
        return tl::unexpected(m_unavailableReason);
    }
    // Only taking the write lock can wait: in WAL mode reads never do, and the commit needs no
    // further lock. So the lock is asked for once, without the busy timeout.
    sqlite3_busy_timeout(m_db, 0);
    const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(m_db, busyTimeoutMs);
    if ((rc & 0xff) == SQLITE_BUSY) {
        return false;
    }
    if (rc != SQLITE_OK) {
        return tl::unexpected(SqliteStatement::describe(m_db, rc));
    }
    if (auto done = runBegun(work); !done) {
        return tl::unexpected(done.error());
    }
    return true;
}

tl::expected<void, QString> ImpersonateUserStore::runBegun(const std::function<tl::expected<void, QString>()> &work)
{
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
