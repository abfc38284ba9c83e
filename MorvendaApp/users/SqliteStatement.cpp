#include "SqliteStatement.h"

#include <sqlite3.h>

#include <utility>

tl::expected<SqliteStatement, QString> SqliteStatement::prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(statement);
        return tl::unexpected(describe(db, rc));
    }
    return SqliteStatement(db, statement);
}

SqliteStatement::SqliteStatement(sqlite3 *db, sqlite3_stmt *statement)
    : m_db(db)
    , m_statement(statement)
{
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : m_db(other.m_db)
    , m_statement(std::exchange(other.m_statement, nullptr))
    , m_bindError(other.m_bindError)
    , m_boundTexts(std::move(other.m_boundTexts))
{
}

SqliteStatement &SqliteStatement::operator=(SqliteStatement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_statement);
        m_db = other.m_db;
        m_statement = std::exchange(other.m_statement, nullptr);
        m_bindError = other.m_bindError;
        m_boundTexts = std::move(other.m_boundTexts);
    }
    return *this;
}

SqliteStatement::~SqliteStatement()
{
    // Finalizing a statement that failed returns that failure again; it was reported by step().
    sqlite3_finalize(m_statement);
}

void SqliteStatement::bind(int index, const QString &text)
{
    const QByteArray &utf8 = m_boundTexts.emplace_back(text.toUtf8());
    const int rc = sqlite3_bind_text64(m_statement, index, utf8.constData(), sqlite3_uint64(utf8.size()),
        SQLITE_STATIC, SQLITE_UTF8);
    if (rc != SQLITE_OK && m_bindError == 0) {
        m_bindError = rc;
    }
}

void SqliteStatement::bind(int index, const std::optional<QString> &text)
{
    if (text) {
        bind(index, *text);
        return;
    }
    const int rc = sqlite3_bind_null(m_statement, index);
    if (rc != SQLITE_OK && m_bindError == 0) {
        m_bindError = rc;
    }
}

void SqliteStatement::bind(int index, qint64 value)
{
    const int rc = sqlite3_bind_int64(m_statement, index, value);
    if (rc != SQLITE_OK && m_bindError == 0) {
        m_bindError = rc;
    }
}

tl::expected<SqliteStatement::Step, QString> SqliteStatement::step()
{
    if (m_bindError != 0) {
        return tl::unexpected(describe(m_db, m_bindError));
    }
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) {
        return Step::Row;
    }
    if (rc == SQLITE_DONE) {
        return Step::Done;
    }
    return tl::unexpected(describe(m_db, rc));
}

tl::expected<void, QString> SqliteStatement::run()
{
    for (;;) {
        const auto stepped = step();
        if (!stepped) {
            return tl::unexpected(stepped.error());
        }
        if (*stepped == Step::Done) {
            return {};
        }
    }
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QString SqliteStatement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return QString::fromUtf8(data, size);
}

std::optional<QString> SqliteStatement::optionalText(int column) const
{
    if (isNull(column)) {
        return std::nullopt;
    }
    return text(column);
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QString SqliteStatement::describe(sqlite3 *db, int code)
{
    // The connection's message describes its latest failure; when that is not the code at hand
    // (a bind error, for instance), SQLite's generic text for the code is used.
    const bool current = db && sqlite3_extended_errcode(db) == code;
    const char *message = current ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return QStringLiteral("%1 (SQLite error %2)").arg(QString::fromUtf8(message)).arg(code);
}
