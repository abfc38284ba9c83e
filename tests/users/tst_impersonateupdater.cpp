// The updater between reported users and the stored-user store: what it stores, what it carries
// over from the stored record, and what it leaves alone.
#include "UsersFixtures.h"

#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/users/ImpersonateUpdater.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>

using namespace UsersFixtures;

namespace {
// An updater whose reads of the stored record fail, as they would on a damaged or busy file.
class FailingLookupUpdater : public ImpersonateUpdater
{
public:
    using ImpersonateUpdater::ImpersonateUpdater;

protected:
    tl::expected<std::optional<ImpersonateUserData>, QString> lookupStored(ImpersonateUserStore &,
        const QString &) const override
    {
        return tl::unexpected(QStringLiteral("disk I/O error (SQLite error 10)"));
    }
};

// An updater whose reads of the stored record wait until the test lets them go, and which tells
// on which thread they ran.
class HeldLookupUpdater : public ImpersonateUpdater
{
public:
    using ImpersonateUpdater::ImpersonateUpdater;
    void release() { m_release.release(); }
    std::atomic<QThread *> lookupThread = nullptr;

protected:
    tl::expected<std::optional<ImpersonateUserData>, QString> lookupStored(ImpersonateUserStore &connection,
        const QString &userToken) const override
    {
        const_cast<HeldLookupUpdater *>(this)->lookupThread = QThread::currentThread();
        // Bounded, so that an updater that waits on the main thread fails the test instead of hanging.
        m_release.tryAcquire(1, 10000);
        return ImpersonateUpdater::lookupStored(connection, userToken);
    }

private:
    mutable QSemaphore m_release;
};

// Runs the event loop until every report is stored; false after `timeoutMs`. QTRY_VERIFY's pauses
// between rounds would cost each of thousands of reports a pause of its own.
bool allStored(const ImpersonateUpdater &updater, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!updater.waiting().isEmpty() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return updater.waiting().isEmpty();
}

// Tells how many handlers follow the latest user.
class WatchedUserManager : public UserManager
{
public:
    int latestUserFollowers() const
    {
        return receivers(SIGNAL(latestUserChanged(std::optional<User>)));
    }
};
} // namespace

class TestImpersonateUpdater : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = openStore(m_dir->filePath(ImpersonateUserStore::fileName()));
        QVERIFY(m_store);
        m_userManager = std::make_unique<UserManager>();
        m_updater = std::make_unique<ImpersonateUpdater>(*m_store);
        m_updater->start(*m_userManager);
    }
    void cleanup()
    {
        m_updater.reset();
        m_userManager.reset();
        m_store.reset();
    }

    void equalReportsInARowAreHandledOnce()
    {
        QSignalSpy stored(m_updater.get(), &ImpersonateUpdater::userStored);
        const User ann = Reported{}.user();
        m_userManager->storeUser(QStringLiteral("app"), ann);
        m_userManager->storeUser(QStringLiteral("app"), ann);
        QTRY_VERIFY(m_updater->waiting().isEmpty());
        QCOMPARE(stored.size(), 1);
        m_userManager->storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-2")}.user());
        m_userManager->storeUser(QStringLiteral("app"), ann);
        QTRY_VERIFY(m_updater->waiting().isEmpty());
        QCOMPARE(stored.size(), 3);
        m_updater->handleUser(std::nullopt);
        m_updater->handleUser(ann);
        QTRY_VERIFY(m_updater->waiting().isEmpty());
        QCOMPARE(stored.size(), 4);
    }

    // The window never waits for the store: a report is read, merged and written on a thread of
    // its own while the main thread goes on, and is in the store once written.
    void aReportIsStoredWhileTheMainThreadGoesOn()
    {
        HeldLookupUpdater updater(*m_store);
        UserManager manager;
        updater.start(manager);
        QSignalSpy stored(&updater, &ImpersonateUpdater::userStored);
        QElapsedTimer clock;
        clock.start();
        manager.storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-5")}.user());
        QVERIFY2(clock.elapsed() < 5000, "the report was stored on the main thread");
        QCOMPARE(updater.waiting().size(), 1);
        QTRY_VERIFY(updater.lookupThread.load());
        QVERIFY(updater.lookupThread.load() != QThread::currentThread());
        QVERIFY(!*m_store->fetchByToken(QStringLiteral("u-5")));

        updater.release();
        QTRY_COMPARE(stored.size(), 1);
        QVERIFY(updater.waiting().isEmpty());
        const auto found = m_store->fetchByToken(QStringLiteral("u-5"));
        QVERIFY(found && *found);
        QCOMPARE(stored.at(0).at(0).value<ImpersonateUserData>().id, (*found)->id);
    }

    void whoIsStored_data()
    {
        QTest::addColumn<Reported>("reported");
        QTest::addColumn<bool>("stored");
        QTest::addRow("an impersonating user who is not an admin is stored") << Reported{.isImpersonating = true} << true;
        QTest::addRow("an admin is never stored") << Reported{.isAdmin = true} << false;
        QTest::addRow("an admin who impersonates is never stored") << Reported{.isAdmin = true, .isImpersonating = true} << false;
        QTest::addRow("a user without token is not stored") << Reported{.withoutToken = true} << false;
        QTest::addRow("an empty token is a token and is stored") << Reported{.token = QString()} << true;
        QTest::addRow("a user without name is stored with empty text") << Reported{.name = std::nullopt} << true;
    }
    void whoIsStored()
    {
        QFETCH(Reported, reported);
        QFETCH(bool, stored);
        m_userManager->storeUser(QStringLiteral("app"), reported.user());
        QTRY_VERIFY(m_updater->waiting().isEmpty());
        const auto found = m_store->fetchByToken(reported.token);
        QVERIFY(found);
        QCOMPARE(found->has_value(), stored);
        if (stored) {
            QCOMPARE((*found)->name, reported.name.value_or(QString()));
        }
    }

    // A user added by hand takes the report's values but keeps its favourite and notes; a later
    // report keeps the tokens and country it lacks, but not an e-mail or a picture.
    void reportsKeepFavouriteNotesAndTheTokensALaterReportLacks()
    {
        const auto added = m_store->addUser(QStringLiteral("u-1"), QStringLiteral("typed"));
        QVERIFY(added);
        QVERIFY(m_store->setFavorite(added->id, true));
        QVERIFY(m_store->setNotes(added->id, QStringLiteral("test account")));

        // Four tags describe the session, not the user; repeats are kept.
        const Reported reported{.email = QStringLiteral("ann@example.com"),
            .imageURL = QStringLiteral("https://img.example.com/a.png"),
            .tags = {UserTag::Impersonating, UserTag::Subuser, UserTag::Admin, UserTag::Active, UserTag::PlaceOrder,
                UserTag::LoggedOut, UserTag::Subuser},
            .retailer = retailer(QStringLiteral("r-9"), QStringLiteral("GER"))};
        m_userManager->storeUser(QStringLiteral("app"), reported.user());
        QTRY_VERIFY(m_updater->waiting().isEmpty());

        const ImpersonateUserData now = **m_store->fetchByToken(QStringLiteral("u-1"));
        QCOMPARE(now.id, added->id);
        QCOMPARE(fieldsOf(now), QStringLiteral("u-1|r-9|-|https://img.example.com/a.png|Ann|ann@example.com|GER|favorite|"
                                               "test account|[subuser,placeOrder,subuser]"));

        // A brand's country is never the user's.
        m_userManager->storeUser(QStringLiteral("app"), Reported{.brand = brand(QStringLiteral("b-1"), QStringLiteral("FRA"))}.user());
        QTRY_VERIFY(m_updater->waiting().isEmpty());
        QCOMPARE(fieldsOf(**m_store->fetchByToken(QStringLiteral("u-1"))),
            QStringLiteral("u-1|r-9|b-1|-|Ann|-|GER|favorite|test account|[]"));
    }

    // The main window shown again starts the updater again: still one handler, one store.
    void startedTwiceAUserIsHandledOnce()
    {
        WatchedUserManager manager;
        ImpersonateUpdater updater(*m_store);
        QSignalSpy stored(&updater, &ImpersonateUpdater::userStored);
        updater.start(manager);
        updater.start(manager);
        QCOMPARE(manager.latestUserFollowers(), 1);
        manager.storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-7")}.user());
        QTRY_VERIFY(updater.waiting().isEmpty());
        QCOMPARE(stored.size(), 1);
    }

    // Another program holding the write lock costs the window no wait: the reports wait, in
    // order, the latest of a token replacing the one before, and are stored once it lets go.
    void reportsWaitWhileAnotherProgramWrites()
    {
        RawDatabase other(m_store->path());
        QVERIFY(other.exec("BEGIN IMMEDIATE"));
        m_userManager->storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-1")}.user());
        m_userManager->storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-2")}.user());
        m_userManager->storeUser(QStringLiteral("app"),
            Reported{.token = QStringLiteral("u-1"), .name = QStringLiteral("Ann Again")}.user());
        // The first is tried at once; the latest of its token takes its place once it is refused.
        QTRY_COMPARE(m_updater->waiting().size(), 2);
        QCOMPARE(m_updater->waiting().at(0).name, QStringLiteral("Ann Again"));
        QCOMPARE(m_store->fetchAll()->size(), 0);

        QVERIFY(other.exec("COMMIT"));
        QTRY_VERIFY(m_updater->waiting().isEmpty());
        const QList<ImpersonateUserData> all = *m_store->fetchAll();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.at(0).userToken, QStringLiteral("u-1"));
        QCOMPARE(all.at(0).name, QStringLiteral("Ann Again"));
        QCOMPARE(all.at(1).userToken, QStringLiteral("u-2"));
    }

    // An app reporting ever new users while none can be written does not exhaust memory: what
    // comes beyond the bound is lost and said once, and what waited is stored afterwards.
    void reportsBeyondTheBoundAreLostAndSaidOnce()
    {
        RawDatabase other(m_store->path());
        QVERIFY(other.exec("BEGIN IMMEDIATE"));
        QSignalSpy failed(m_updater.get(), &ImpersonateUpdater::storeFailed);
        const qsizetype extra = 3;
        for (qsizetype i = 0; i < extra; ++i) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("u-%1 was not stored").arg(ImpersonateUpdater::kMostWaiting + i)));
        }
        for (qsizetype i = 0; i < ImpersonateUpdater::kMostWaiting + extra; ++i) {
            m_userManager->storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-%1").arg(i)}.user());
        }
        // A new report of a waiting user still takes its place.
        m_userManager->storeUser(QStringLiteral("app"), Reported{.token = QStringLiteral("u-9"), .name = QStringLiteral("Nine")}.user());
        QCOMPARE(m_updater->waiting().size(), ImpersonateUpdater::kMostWaiting);
        QCOMPARE(failed.size(), 1);
        QVERIFY(failed.at(0).at(0).toString().contains(QStringLiteral("not stored")));

        QVERIFY(other.exec("COMMIT"));
        QVERIFY(allStored(*m_updater, 60000));
        QCOMPARE(m_store->fetchAll()->size(), ImpersonateUpdater::kMostWaiting);
        QCOMPARE((*m_store->fetchByToken(QStringLiteral("u-9")))->name, QStringLiteral("Nine"));
        QVERIFY(!*m_store->fetchByToken(QStringLiteral("u-%1").arg(ImpersonateUpdater::kMostWaiting)));
        QCOMPARE(failed.size(), 1);
    }

    // A full disk is said once for a run of failed reports, and again after one was stored; the
    // reports it refused wait, in order, and are stored once there is room.
    void aFullDiskIsSaidOncePerRunOfFailures()
    {
        SmallDisk disk(QStringLiteral("512k"));
        if (!disk.isMounted()) {
            QSKIP("mounting a tmpfs is not allowed here");
        }
        auto store = openStore(disk.filePath(ImpersonateUserStore::fileName()));
        QVERIFY(store);
        UserManager manager;
        ImpersonateUpdater updater(*store);
        updater.start(manager);
        QSignalSpy failed(&updater, &ImpersonateUpdater::storeFailed);
        const auto report = [&manager](int number) {
            // A long name, so that every report needs new pages.
            manager.storeUser(QStringLiteral("app"),
                Reported{.token = QStringLiteral("u-%1").arg(number), .name = QString(20000, QLatin1Char('n'))}.user());
        };

        disk.fill();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("u-1 was not stored")));
        report(1);
        report(2);
        QTRY_COMPARE(failed.size(), 1);
        QVERIFY2(failed.at(0).at(0).toString().contains(QStringLiteral("full")), qPrintable(failed.at(0).at(0).toString()));
        QCOMPARE(updater.waiting().size(), 2);

        disk.freeSpace();
        QTRY_VERIFY_WITH_TIMEOUT(updater.waiting().isEmpty(), 10000);
        const QList<ImpersonateUserData> all = *store->fetchAll();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.at(0).userToken, QStringLiteral("u-1"));
        QCOMPARE(all.at(1).userToken, QStringLiteral("u-2"));
        report(3);
        QTRY_VERIFY(updater.waiting().isEmpty());
        QVERIFY(*store->fetchByToken(QStringLiteral("u-3")));
        QCOMPARE(failed.size(), 1);

        disk.fill();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("u-4 was not stored")));
        report(4);
        QTRY_COMPARE(failed.size(), 2);
        disk.freeSpace();
    }

    void failedLookupSkipsTheReportAndKeepsFavouriteAndNotes()
    {
        const auto stored = m_store->upsert(*ImpersonateUpdater::makeUserData(Reported{}.user()));
        QVERIFY(stored);
        QVERIFY(m_store->setFavorite(stored->id, true));
        QVERIFY(m_store->setNotes(stored->id, QStringLiteral("precious")));

        FailingLookupUpdater failing(*m_store);
        UserManager otherManager;
        failing.start(otherManager);
        QSignalSpy failed(&failing, &ImpersonateUpdater::storeFailed);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("u-1 was not stored.*could not be read")));
        otherManager.storeUser(QStringLiteral("app"), Reported{.name = QStringLiteral("Renamed")}.user());
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(failing.waiting().size(), 1);

        QCOMPARE(fieldsOf(**m_store->fetchByToken(QStringLiteral("u-1"))), QStringLiteral("u-1|-|-|-|Ann|-|-|favorite|precious|[]"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ImpersonateUserStore> m_store;
    std::unique_ptr<UserManager> m_userManager;
    std::unique_ptr<ImpersonateUpdater> m_updater;
};

QTEST_GUILESS_MAIN(TestImpersonateUpdater)
#include "tst_impersonateupdater.moc"
