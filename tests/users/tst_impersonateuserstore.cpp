// The stored-user store on a real file: schema, upserts by token, field updates by identity,
// announcements, permissions, and the files it must refuse or set aside.
#include "UsersFixtures.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace UsersFixtures;

namespace {
ImpersonateUserData record(const QString &token, const QString &name)
{
    return ImpersonateUserData(token, std::nullopt, std::nullopt, std::nullopt, name, std::nullopt, std::nullopt,
        false, std::nullopt, std::nullopt);
}
} // namespace

class TestImpersonateUserStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(QStringLiteral("data/Morvenda/") + ImpersonateUserStore::fileName());
    }

    void freshFileHasSchemaVersionWalAndOwnerOnlyPermissions()
    {
        auto store = openStore(m_path);
        QVERIFY(store);
        QVERIFY(store->upsert(record(QStringLiteral("t"), QStringLiteral("n"))));

        RawDatabase raw(m_path);
        QCOMPARE(raw.value("PRAGMA user_version").toInt(), ImpersonateUserStore::schemaVersion);
        QCOMPARE(raw.value("PRAGMA journal_mode"), QStringLiteral("wal"));
        QCOMPARE(raw.value("SELECT group_concat(name || ':' || type || ':' || \"notnull\", ' ') FROM "
                           "pragma_table_info('stored_user')"),
            QStringLiteral("id:INTEGER:0 user_token:TEXT:1 retailer_token:TEXT:0 brand_token:TEXT:0 image_url:TEXT:0 "
                           "name:TEXT:1 email:TEXT:0 country:TEXT:0 favorite:INTEGER:1 notes:TEXT:0 tags:TEXT:0"));

        const auto mode = [](const QString &path) {
            return QFileInfo(path).permissions()
                & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                    | QFile::ExeOther);
        };
        QCOMPARE(mode(QFileInfo(m_path).absolutePath()), QFile::Permissions());
        QCOMPARE(mode(m_path), QFile::Permissions());
        QVERIFY(QFile::exists(m_path + QStringLiteral("-wal")));
        QCOMPARE(mode(m_path + QStringLiteral("-wal")), QFile::Permissions());
        QVERIFY(!(QFileInfo(m_path).permissions() & QFile::ExeOwner));
    }

    void existingFileIsTightenedToOwnerOnly()
    {
        QVERIFY(writeFile(m_path, {}));
        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(openStore(m_path));
        QCOMPARE(QFileInfo(m_path).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    }

    void upsertKeepsIdentityAndTakesEveryValue()
    {
        auto store = openStore(m_path);
        QVERIFY(store);
        QSignalSpy changed(store.get(), &ImpersonateUserStore::recordChanged);
        ImpersonateUserData first(QStringLiteral("tok"), QStringLiteral("r1"), QStringLiteral("b1"),
            Url::fromText(QStringLiteral("https://img/1.png")), QStringLiteral("Ann"), QStringLiteral("a@x"),
            QStringLiteral("USA"), true, QStringLiteral("notes"), QList<UserTag>{UserTag::Subuser});
        const auto stored = store->upsert(first);
        QVERIFY(stored);
        QVERIFY(stored->isStored());

        ImpersonateUserData second(QStringLiteral("tok"), std::nullopt, QStringLiteral("b2"), std::nullopt,
            QString(), std::nullopt, std::nullopt, false, std::nullopt, QList<UserTag>{});
        const auto replaced = store->upsert(second);
        QVERIFY(replaced);
        QCOMPARE(replaced->id, stored->id);
        // Equality is identity: the same record with other values, and never a value not stored.
        QCOMPARE(*replaced, *stored);
        QVERIFY(!(second == second));

        const auto all = store->fetchAll();
        QVERIFY(all);
        QCOMPARE(all->size(), 1);
        QCOMPARE(fieldsOf(all->first()), fieldsOf(second));

        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.at(1).at(0).value<ImpersonateUserData>().id, stored->id);
    }

    // The connection a worker thread writes through: the same file, the values written handed
    // back without reading them again, and the lookup of what a new report keeps.
    void anotherConnectionWritesWithoutReadingBack()
    {
        auto store = openStore(m_path);
        QVERIFY(store);
        const auto other = store->openAnother();
        QVERIFY(other->isAvailable());
        const ImpersonateUserData written(QStringLiteral("tok"), QStringLiteral("r1"), QStringLiteral("b1"),
            Url::fromText(QStringLiteral("https://img/1.png")), QStringLiteral("Ann"), QStringLiteral("a@x"),
            QStringLiteral("USA"), true, QString(), QList<UserTag>{UserTag::Subuser});
        const auto stored = other->upsert(written, ImpersonateUserStore::ReadBack::IdentityOnly);
        QVERIFY(stored && stored->isStored());

        const auto read = store->fetchByToken(QStringLiteral("tok"));
        QVERIFY(read && *read);
        QCOMPARE((*read)->id, stored->id);
        QCOMPARE(fieldsOf(*stored), fieldsOf(**read));
        const auto kept = store->fetchKeptFields(QStringLiteral("tok"));
        QVERIFY(kept && *kept);
        QCOMPARE((*kept)->id, stored->id);
        QCOMPARE(fieldsOf(**kept), QStringLiteral("tok|r1|b1|-||-|USA|favorite|-|-"));
        QVERIFY(!*store->fetchKeptFields(QStringLiteral("other")));

        const auto none = ImpersonateUserStore::unavailable(m_path, QStringLiteral("no room"))->openAnother();
        QVERIFY(!none->isAvailable());
        QCOMPARE(none->unavailableReason(), QStringLiteral("no room"));
    }

    void tagsKeepNoneApartFromEmptyAndSkipUnknownNames()
    {
        auto store = openStore(m_path);
        QVERIFY(store);
        ImpersonateUserData none = record(QStringLiteral("none"), QString());
        ImpersonateUserData empty = record(QStringLiteral("empty"), QString());
        empty.tags = QList<UserTag>{};
        ImpersonateUserData two = record(QStringLiteral("two"), QString());
        two.tags = QList<UserTag>{UserTag::Ostrane, UserTag::Ostrane};
        QVERIFY(store->upsert(none) && store->upsert(empty) && store->upsert(two));

        RawDatabase raw(m_path);
        QCOMPARE(raw.value("SELECT tags FROM stored_user WHERE user_token = 'none'"), QStringLiteral("NULL"));
        QCOMPARE(raw.value("SELECT tags FROM stored_user WHERE user_token = 'empty'"), QStringLiteral("[]"));
        QVERIFY(raw.exec("UPDATE stored_user SET tags = '[\"subuser\",\"fromTheFuture\",42]' WHERE user_token = 'none';"
                         "INSERT INTO stored_user (user_token, name, favorite, tags) VALUES ('bad', '', 0, 'not json');"
                         "INSERT INTO stored_user (user_token, name, favorite, tags) VALUES"
                         " ('spaced', '', 0, '[ \"subuser\" , \"ost\\u0072ane\"]'), ('cut', '', 0, '[\"subuser\",]')"));

        QCOMPARE((*store->fetchByToken(QStringLiteral("none")))->tags, QList<UserTag>{UserTag::Subuser});
        QCOMPARE((*store->fetchByToken(QStringLiteral("empty")))->tags, QList<UserTag>{});
        QCOMPARE((*store->fetchByToken(QStringLiteral("two")))->tags, (QList<UserTag>{UserTag::Ostrane, UserTag::Ostrane}));
        QCOMPARE((*store->fetchByToken(QStringLiteral("bad")))->tags, std::nullopt);
        // Lists another writer spaced or escaped read like ours; a broken list is none.
        QCOMPARE((*store->fetchByToken(QStringLiteral("spaced")))->tags, (QList<UserTag>{UserTag::Subuser, UserTag::Ostrane}));
        QCOMPARE((*store->fetchByToken(QStringLiteral("cut")))->tags, std::nullopt);
        QCOMPARE(store->fetchAll()->size(), 6);
    }

    // Notes are none or text with something in it, in the file too, however they were written.
    void emptyNotesAreStoredAsNull()
    {
        auto store = openStore(m_path);
        QVERIFY(store);
        ImpersonateUserData written = record(QStringLiteral("t"), QStringLiteral("n"));
        written.notes = QString();
        const auto stored = store->upsert(written);
        QVERIFY(stored);
        RawDatabase raw(m_path);
        QCOMPARE(raw.value("SELECT notes FROM stored_user"), QStringLiteral("NULL"));
        QVERIFY(store->setNotes(stored->id, QStringLiteral("kept")));
        QCOMPARE(raw.value("SELECT notes FROM stored_user"), QStringLiteral("kept"));
        QVERIFY(store->setNotes(stored->id, QString()));
        QCOMPARE(raw.value("SELECT notes FROM stored_user"), QStringLiteral("NULL"));
    }

    void fieldUpdatesKeepOtherChangesAndNeverResurrect()
    {
        auto store = openStore(m_path);
        QVERIFY(store);
        const auto stale = store->upsert(record(QStringLiteral("t"), QStringLiteral("Old")));
        QVERIFY(stale);
        ImpersonateUserData newer = *stale;
        newer.name = QStringLiteral("New");
        newer.email = QStringLiteral("new@x");
        QVERIFY(store->upsert(newer));

        // The row's old copy only decides which record and which field.
        const auto favorite = store->setFavorite(stale->id, true);
        QVERIFY(favorite && *favorite);
        QCOMPARE(fieldsOf(**favorite), QStringLiteral("t|-|-|-|New|new@x|-|favorite|-|-"));

        QSignalSpy changed(store.get(), &ImpersonateUserStore::recordChanged);
        QSignalSpy removed(store.get(), &ImpersonateUserStore::recordRemoved);
        QCOMPARE(store->remove(stale->id), true);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.at(0).at(0).value<ImpersonateUserData::Identity>(), stale->id);
        QCOMPARE(store->remove(stale->id), false);

        const auto notes = store->setNotes(stale->id, QStringLiteral("typed late"));
        QVERIFY(notes && !*notes);
        const auto star = store->setFavorite(stale->id, false);
        QVERIFY(star && !*star);
        QCOMPARE(store->fetchAll()->size(), 0);
        QCOMPARE(changed.size(), 0);
        QCOMPARE(removed.size(), 1);
    }

    void failedTransactionRollsBackAndAnnouncesNothing()
    {
        auto store = openStore(m_path);
        QVERIFY(store);
        QSignalSpy changed(store.get(), &ImpersonateUserStore::recordChanged);
        const auto result = store->transaction([&]() -> tl::expected<void, QString> {
            if (!store->upsert(record(QStringLiteral("t"), QStringLiteral("n")))) {
                return tl::unexpected(QStringLiteral("upsert"));
            }
            return tl::unexpected(QStringLiteral("later step failed"));
        });
        QVERIFY(!result);
        QCOMPARE(store->fetchAll()->size(), 0);
        QCOMPARE(changed.size(), 0);

        QVERIFY(store->transaction([&]() -> tl::expected<void, QString> {
            store->upsert(record(QStringLiteral("t"), QStringLiteral("n")));
            return {};
        }));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(store->fetchAll()->size(), 1);
    }

    void fileThatIsNotADatabaseIsSetAsideAndReplaced_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray random(64 * 1024, Qt::Uninitialized);
        quint32 seed = 12345;
        for (char &c : random) {
            seed = seed * 1664525u + 1013904223u;
            c = char(seed >> 24);
        }
        QTest::addRow("random bytes") << random;
        QTest::addRow("text") << QByteArray("stored users, but written by hand\n");
    }
    void fileThatIsNotADatabaseIsSetAsideAndReplaced()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(writeFile(m_path, bytes));
        QVERIFY(writeFile(m_path + QStringLiteral("-wal"), "journal"));

        const QString copy = m_dir->filePath(QStringLiteral("copy.sqlite3"));
        QVERIFY(QFile::copy(m_path, copy));
        QCOMPARE(ImpersonateUserStore::open(copy).error().kind, ImpersonateUserStore::OpenError::NotADatabase);
        auto store = ImpersonateUserStore::openAtStart(m_path);
        QVERIFY2(store, qPrintable(store ? QString() : store.error()));
        const std::optional<QString> aside = (*store)->recoveredFile();
        QVERIFY(aside);
        QVERIFY(aside->startsWith(m_path + QStringLiteral(".corrupt-")));
        QFile kept(*aside);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        QVERIFY(QFile::exists(*aside + QStringLiteral("-wal")));
        QVERIFY((*store)->upsert(record(QStringLiteral("t"), QStringLiteral("fresh"))));
        QCOMPARE((*store)->fetchAll()->size(), 1);
    }

    void anotherProgramsDatabaseIsSetAsideAndReplaced_data()
    {
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<QString>("reason");
        QTest::addRow("another table, format 1")
            << QByteArray("CREATE TABLE note (id INTEGER PRIMARY KEY, body TEXT); PRAGMA user_version = 1")
            << QStringLiteral("no table of stored users");
        QTest::addRow("a table of that name with other columns")
            << QByteArray("CREATE TABLE stored_user (id INTEGER PRIMARY KEY, token TEXT); PRAGMA user_version = 1")
            << QStringLiteral("the columns id, token");
        QTest::addRow("the same columns, tokens not unique")
            << QByteArray("CREATE TABLE stored_user (id INTEGER PRIMARY KEY, user_token TEXT NOT NULL, retailer_token "
                          "TEXT, brand_token TEXT, image_url TEXT, name TEXT NOT NULL, email TEXT, country TEXT, "
                          "favorite INTEGER NOT NULL, notes TEXT, tags TEXT); PRAGMA user_version = 1")
            << QStringLiteral("not unique");
        QTest::addRow("another table, no format number")
            << QByteArray("CREATE TABLE note (id INTEGER PRIMARY KEY, body TEXT)") << QStringLiteral("\"note\"");
    }
    void anotherProgramsDatabaseIsSetAsideAndReplaced()
    {
        QFETCH(QByteArray, sql);
        QFETCH(QString, reason);
        QVERIFY(writeFile(m_path, {}));
        {
            RawDatabase raw(m_path);
            QVERIFY(raw.exec(sql.constData()));
        }
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        const auto refused = ImpersonateUserStore::open(m_path);
        QVERIFY(!refused);
        QCOMPARE(refused.error().kind, ImpersonateUserStore::OpenError::NotADatabase);
        QVERIFY2(refused.error().message.contains(reason), qPrintable(refused.error().message));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not a usable database")));
        auto store = ImpersonateUserStore::openAtStart(m_path);
        QVERIFY2(store, qPrintable(store ? QString() : store.error()));
        const std::optional<QString> aside = (*store)->recoveredFile();
        QVERIFY(aside);
        QFile kept(*aside);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
        QVERIFY((*store)->upsert(record(QStringLiteral("t"), QStringLiteral("fresh"))));
        QCOMPARE((*store)->fetchAll()->size(), 1);
    }

    void corruptPagesAreSetAside()
    {
        {
            auto store = openStore(m_path);
            QVERIFY(store);
            for (int i = 0; i < 200; ++i) {
                QVERIFY(store->upsert(record(QStringLiteral("t%1").arg(i), QString(300, QLatin1Char('n')))));
            }
        }
        {
            RawDatabase raw(m_path);
            QVERIFY(raw.exec("PRAGMA wal_checkpoint(TRUNCATE)"));
        }
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() > 8192);
        file.seek(4096 + 8); // the second page's header: its cell count and pointers
        file.write(QByteArray(64, '\xff'));
        file.close();

        auto store = ImpersonateUserStore::openAtStart(m_path);
        QVERIFY2(store, qPrintable(store ? QString() : store.error()));
        QVERIFY((*store)->recoveredFile());
    }

    void fileLockedByAnotherWriterIsUnavailableWithoutTouchingIt()
    {
        {
            auto store = openStore(m_path);
            QVERIFY(store);
            QVERIFY(store->upsert(record(QStringLiteral("t"), QStringLiteral("n"))));
        }
        {
            RawDatabase other(m_path);
            QVERIFY(other.exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE stored_user SET name = 'held'"));

            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("running without stored users")));
            const auto atStart = ImpersonateUserStore::openAtStart(m_path);
            QVERIFY(atStart);
            const ImpersonateUserStore &unavailable = **atStart;
            QVERIFY(!unavailable.isAvailable());
            const QString reason = unavailable.unavailableReason();
            QVERIFY2(reason.contains(m_path) && reason.contains(QStringLiteral("locked")), qPrintable(reason));
            QCOMPARE(unavailable.fetchAll().error(), reason);
            QVERIFY(QDir(QFileInfo(m_path).absolutePath()).entryList({QStringLiteral("*.corrupt-*")}).isEmpty());
        }
        auto store = openStore(m_path);
        QVERIFY(store);
        QCOMPARE((*store->fetchByToken(QStringLiteral("t")))->name, QStringLiteral("n"));
    }

    void noDataFolderIsRefused()
    {
        const auto opened = ImpersonateUserStore::open(QString());
        QVERIFY(!opened);
        QCOMPARE(opened.error().kind, ImpersonateUserStore::OpenError::Unavailable);
        QVERIFY(!QFile::exists(ImpersonateUserStore::fileName()));
    }

    void readOnlyFolderIsUnavailableWithItsNameAndKeepsRecords()
    {
        SmallDisk disk(QStringLiteral("1m"));
        if (!disk.isMounted()) {
            QSKIP("mounting a tmpfs is not allowed here");
        }
        const QString path = disk.filePath(ImpersonateUserStore::fileName());
        {
            auto store = openStore(path);
            QVERIFY(store);
            QVERIFY(store->upsert(record(QStringLiteral("t"), QStringLiteral("kept"))));
        }
        QVERIFY(disk.setReadOnly(true));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("running without stored users")));
        const auto atStart = ImpersonateUserStore::openAtStart(path);
        QVERIFY(atStart && !(*atStart)->isAvailable());
        QVERIFY2((*atStart)->unavailableReason().contains(path), qPrintable((*atStart)->unavailableReason()));
        // Every operation refuses with that reason; nothing is written.
        QVERIFY(!(*atStart)->upsert(record(QStringLiteral("u"), QStringLiteral("lost"))));
        QVERIFY(disk.setReadOnly(false));
        auto again = openStore(path);
        QVERIFY(again);
        QCOMPARE((*again->fetchByToken(QStringLiteral("t")))->name, QStringLiteral("kept"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestImpersonateUserStore)
#include "tst_impersonateuserstore.moc"
