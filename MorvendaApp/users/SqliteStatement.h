// A prepared statement of the sqlite3 C API, finalized when it goes out of scope, with binding and
// reading helpers for the optional texts the stored-user store keeps. Every failure is returned
// with SQLite's message and exact error code. Used on the thread that owns its connection.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <tl/expected.hpp>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

class SqliteStatement
{
public:
    // What one step produced: a row to read, or the end of the statement.
    enum class Step { Row, Done };

    static tl::expected<SqliteStatement, QString> prepare(sqlite3 *db, const char *sql);

    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&other) noexcept;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;
    ~SqliteStatement();

    // Parameters are numbered from 1. A bind that fails is reported by the next step.
    void bind(int index, const QString &text);
    void bind(int index, const std::optional<QString> &text);
    void bind(int index, qint64 value);

    tl::expected<Step, QString> step();
    // Steps to the end, for statements whose rows (if any) are not wanted.
    tl::expected<void, QString> run();

    // Columns are numbered from 0; valid after a step that gave a row.
    bool isNull(int column) const;
    QString text(int column) const;
    std::optional<QString> optionalText(int column) const;
    qint64 integer(int column) const;

    // "<message> (SQLite error <code>)" for the connection's last failure.
    static QString describe(sqlite3 *db, int code);

private:
    SqliteStatement(sqlite3 *db, sqlite3_stmt *statement);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_statement = nullptr;
    int m_bindError = 0;
    // The UTF-8 of the bound texts, which SQLite reads in place until the statement is
    // finalized: a report's megabytes are not copied once more.
    QList<QByteArray> m_boundTexts;
};
