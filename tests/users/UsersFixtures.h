// Shared helpers of the stored-user tests: reported users, a raw look at the store's file, and a
// small tmpfs for the read-only and full-disk cases (skipped where mounting is not allowed).
#pragma once

#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "MorvendaApp/users/StoredUserWriter.h"
#include "MorvendaModel/User.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>

namespace UsersFixtures {

// A user as an app reports it, built by naming only the fields a case is about.
struct Reported
{
    QString token = QStringLiteral("u-1");
    std::optional<QString> name = QStringLiteral("Ann");
    std::optional<QString> email{};
    std::optional<QString> imageURL{};
    bool isAdmin = false;
    bool isImpersonating = false;
    QList<UserTag> tags{};
    std::optional<Retailer> retailer{};
    std::optional<Brand> brand{};
    bool withoutToken = false;

    User user() const
    {
        return User::withTags(name, withoutToken ? std::nullopt : std::optional<QString>(token), email, {},
            imageURL ? Url::fromText(*imageURL) : std::nullopt, isImpersonating, false, isAdmin, tags, retailer,
            brand);
    }
};

inline Retailer retailer(const QString &token, std::optional<QString> country = std::nullopt)
{
    return Retailer(QStringLiteral("Shop"), token, true, std::move(country), std::nullopt, std::nullopt);
}

inline Brand brand(const QString &token, std::optional<QString> country = std::nullopt)
{
    return Brand{QStringLiteral("Maker"), token, true, std::move(country)};
}

// Every field of a record but its identity as one text ("-" for none), so that a test compares a
// whole record at once and a failure shows every field.
inline QString fieldsOf(const ImpersonateUserData &record)
{
    const auto text = [](const std::optional<QString> &value) { return value.value_or(QStringLiteral("-")); };
    QStringList tags;
    for (const UserTag tag : record.tags.value_or(QList<UserTag>{}))
        tags << rawValue(tag);
    return QStringList{record.userToken, text(record.retailerToken), text(record.brandToken),
                       record.imageURL ? record.imageURL->text() : QStringLiteral("-"), record.name, text(record.email),
                       text(record.country), record.favorite ? QStringLiteral("favorite") : QStringLiteral("-"),
                       text(record.notes), record.tags ? u'[' + tags.join(u',') + u']' : QStringLiteral("-")}
        .join(u'|');
}

// Writes `bytes` as the whole file at `path`, making its folder first.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every edit and load handed to the store's writer so far has landed, and so has the reload an
// edit that landed may have asked for. The writer counts no change for it, as for a load.
inline void settle(ImpersonateUserStore &store)
{
    for (int round = 0; round < 2; ++round) {
        bool reached = false;
        store.writer().read(&store, [](ImpersonateUserStore &) { return true; }, [&reached](bool) { reached = true; });
        QTRY_VERIFY(reached);
    }
}

inline std::unique_ptr<ImpersonateUserStore> openStore(const QString &path)
{
    auto opened = ImpersonateUserStore::open(path);
    if (!opened) {
        qWarning("open failed: %s", qUtf8Printable(opened.error().message));
        return nullptr;
    }
    return std::move(*opened);
}

// A second connection to the store's file, for looking at what is really stored.
class RawDatabase
{
public:
    explicit RawDatabase(const QString &path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(m_db, 1000);
    }
    ~RawDatabase() { sqlite3_close_v2(m_db); }
    // The first column of the first row as text; "NULL" for a null value, "ERROR" on failure.
    QString value(const char *sql) const
    {
        sqlite3_stmt *statement = nullptr;
        QString result = QStringLiteral("ERROR");
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
            result = sqlite3_column_type(statement, 0) == SQLITE_NULL
                ? QStringLiteral("NULL")
                : QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
        return result;
    }
    bool exec(const char *sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

private:
    sqlite3 *m_db = nullptr;
};

// A tmpfs of `size` mounted on a temporary folder for the life of the object.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &size)
    {
        m_mounted = QProcess::execute(QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                            QStringLiteral("size=") + size, QStringLiteral("tmpfs"), m_dir.path()})
            == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted) {
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
        }
    }
    bool isMounted() const { return m_mounted; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    bool setReadOnly(bool readOnly)
    {
        return QProcess::execute(QStringLiteral("mount"),
                   {QStringLiteral("-o"), readOnly ? QStringLiteral("remount,ro") : QStringLiteral("remount,rw"),
                       m_dir.path()})
            == 0;
    }
    // Writes a file until the disk is full.
    void fill()
    {
        QFile filler(filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly)) {
            return;
        }
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    void freeSpace() { QFile::remove(filePath(QStringLiteral("filler"))); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// Makes files immutable (writes fail even for root) or writable again; false where the file
// system has no such flag.
inline bool setImmutable(const QStringList &paths, bool immutable)
{
    return QProcess::execute(QStringLiteral("chattr"), QStringList{immutable ? QStringLiteral("+i") : QStringLiteral("-i")} + paths)
        == 0;
}

} // namespace UsersFixtures

Q_DECLARE_METATYPE(UsersFixtures::Reported)
