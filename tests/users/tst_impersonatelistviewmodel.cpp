// The impersonation window's state: favourites and notes on the real store, the
// impersonate checks against a scripted app over loopback, and the add-user sheet's save. What the
// search and the app chips find, and the order of names, are checked through the window.
#include "UsersFixtures.h"

#include "MorvendaApp/core/L10n.h"
#include "tests/support/LoopbackSession.h"
#include "MorvendaApp/users/ImpersonateListViewModel.h"
#include "MorvendaApp/users/ImpersonateUserCreationViewModel.h"
#include "MorvendaApp/users/PeerText.h"
#include "MorvendaApp/users/StoredUserWriter.h"
#include "MorvendaModel/ShownText.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace UsersFixtures;

namespace {
using Tool = LoopbackSession;

// The users' names, joined by "|".
QString names(const QList<ImpersonateUserData> &users)
{
    QStringList result;
    for (const ImpersonateUserData &user : users) {
        result.append(user.name);
    }
    return result.join(u'|');
}

bool isFavorite(const QList<ImpersonateUserData> &users, ImpersonateUserData::Identity id)
{
    const auto found = std::find_if(users.cbegin(), users.cend(), [id](const ImpersonateUserData &user) { return user.id == id; });
    return found != users.cend() && found->favorite;
}

// A stored user with only a token, a name and the apps' tokens given.
ImpersonateUserData storedUser(const QString &token, const QString &retailer = {}, const QString &brand = {})
{
    const auto given = [](const QString &value) { return value.isEmpty() ? std::nullopt : std::optional<QString>(value); };
    return ImpersonateUserData(token, given(retailer), given(brand), std::nullopt, token.toUpper(), std::nullopt,
        std::nullopt, false, std::nullopt, std::nullopt);
}

// The user an app reports, as the app writes it.
QByteArray userFrame(bool isAdmin, bool isImpersonating, const char *account)
{
    return QByteArrayLiteral(R"({"user":{"name":"Dev","token":"dev-token","capabilities":[],"isImpersonating":)")
        + (isImpersonating ? "true" : "false") + R"(,"isSubuser":false,"isAdmin":)" + (isAdmin ? "true" : "false")
        + R"(,"tags":[])" + account + "}}";
}
const char *const retailerAccount = R"(,"retailer":{"name":"Shop","token":"r-dev","isActive":true,"country":"USA"})";
const char *const brandAccount = R"(,"brand":{"name":"Maker","token":"b-dev","isActive":true})";

QByteArray impersonateFrame(const char *token)
{
    return QByteArrayLiteral(R"({"impersonate":{"userTokenToImpersonate":")") + token + R"("}})";
}
} // namespace

class TestImpersonateListViewModel : public QObject
{
    Q_OBJECT

private slots:
    // What the views lay out of an app's text: a bounded start, never half a character, marked
    // where it was cut, and on one line where a line is all there is.
    void peerTextsAreBounded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxChars");
        QTest::addColumn<QString>("oneLine");
        QTest::addColumn<QString>("cut");
        const QString face = QString::fromUcs4(U"\U0001F600");
        const QString ellipsis(QChar(0x2026));
        QTest::addRow("line breaks of every kind are spaces, CR LF one")
            << QStringLiteral("a\r\nb\nc\rd\te\u2028f\u2029g") << 100 << QStringLiteral("a b c d e f g")
            << QStringLiteral("a\r\nb\nc\rd\te\u2028f\u2029g");
        QTest::addRow("a text of just the length is whole") << QStringLiteral("abc") << 3 << QStringLiteral("abc")
            << QStringLiteral("abc");
        QTest::addRow("a cut keeps a character whole") << (QStringLiteral("ab") + face + face) << 4
            << (QStringLiteral("ab") + ellipsis) << (QStringLiteral("ab") + ellipsis);
        QTest::addRow("a cut after a character keeps it") << (QStringLiteral("ab") + face + face) << 5
            << (QStringLiteral("ab") + face + ellipsis) << (QStringLiteral("ab") + face + ellipsis);
        QTest::addRow("a cut keeps the line breaks before it") << QStringLiteral("one\ntwo\nthree") << 8
            << (QStringLiteral("one two") + ellipsis) << (QStringLiteral("one\ntwo") + ellipsis);
    }

    void peerTextsAreBounded()
    {
        QFETCH(QString, text);
        QFETCH(int, maxChars);
        QFETCH(QString, oneLine);
        QFETCH(QString, cut);
        QCOMPARE(PeerText::oneLine(text, maxChars), oneLine);
        QCOMPARE(ShownText::cut(text, maxChars), cut);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = openStore(m_dir->filePath(ImpersonateUserStore::fileName()));
        QVERIFY(m_store);
        m_tool = std::make_unique<Tool>();
        m_model = std::make_unique<ImpersonateListViewModel>(m_tool->listener, m_tool->users, *m_store);
    }
    void cleanup()
    {
        m_model.reset();
        m_tool.reset();
        m_store.reset();
    }

    // Every keystroke stores the notes: never with a reload of every user. What the row and the
    // search make of them is checked through the window.
    void notesAreStoredWithoutReload()
    {
        QVERIFY(m_store->addUser(QStringLiteral("t"), QStringLiteral("Ann")));
        load(*m_model, *m_store);
        QSignalSpy display(m_model.get(), &ImpersonateListViewModel::displayUsersChanged);
        m_model->setNotes(QStringLiteral("b"), m_model->displayUsers().first());
        QTRY_COMPARE((*m_store->fetchByToken(QStringLiteral("t")))->notes, QStringLiteral("b"));
        settle(*m_store);
        QCOMPARE(display.size(), 0);
    }

    // A star moves the user to its place in the other list without reading the store again, and
    // the lists are those a reload gives: names as people read them, equal names by identity.
    // When someone else stored a user since the load, the star reloads and shows it too.
    void aStarGivesTheListsOfAReload_data()
    {
        QTest::addColumn<int>("storedElsewhere"); // 0 nothing, 1 over this store, 2 over another connection, 3 by the writer
        QTest::addRow("nothing stored since the load") << 0;
        QTest::addRow("a user stored since the load") << 1;
        QTest::addRow("a user stored over another connection, as other programs do") << 2;
        QTest::addRow("a user stored by the writer, as reports are") << 3;
    }

    void aStarGivesTheListsOfAReload()
    {
        QFETCH(int, storedElsewhere);
        for (const char *name : {"user10", "User2", "b", "user1", "B", "", "Émile", "b"}) {
            QVERIFY(m_store->addUser(QString::fromUtf8(name) + QStringLiteral("-") + QString::number(m_store->fetchAll()->size()),
                QString::fromUtf8(name)));
        }
        load(*m_model, *m_store);
        if (storedElsewhere == 1) {
            QVERIFY(m_store->addUser(QStringLiteral("late"), QStringLiteral("Late")));
        } else if (storedElsewhere == 2) {
            QVERIFY(m_store->openAnother()->addUser(QStringLiteral("late"), QStringLiteral("Late")));
        } else if (storedElsewhere == 3) {
            m_store->writer().runAndWait([](ImpersonateUserStore &connection) {
                QVERIFY(connection.addUser(QStringLiteral("late"), QStringLiteral("Late")));
            });
        }
        ImpersonateListViewModel reloaded(m_tool->listener, m_tool->users, *m_store);
        const auto same = [&] {
            load(reloaded, *m_store);
            return names(m_model->favoriteUsers()) == names(reloaded.favoriteUsers())
                && names(m_model->displayUsers()) == names(reloaded.displayUsers())
                && m_model->users().size() == reloaded.users().size()
                && std::equal(m_model->users().cbegin(), m_model->users().cend(), reloaded.users().cbegin());
        };
        QSignalSpy loads(m_model.get(), &ImpersonateListViewModel::isLoadingChanged);
        // Both "b" users, then the first and the last name, each in and out of the favourites.
        for (const int at : {1, 2, 0, 7, 1, 2}) {
            const ImpersonateUserData user = m_model->users().at(at);
            m_model->toggleFavorite(user);
            QTRY_VERIFY(isFavorite(m_model->users(), user.id) != user.favorite);
            QVERIFY2(same(), qPrintable(names(m_model->favoriteUsers()) + QStringLiteral(" / ") + names(m_model->displayUsers())));
        }
        QCOMPARE(names(m_model->displayUsers()).contains(QStringLiteral("Late")), storedElsewhere != 0);
        // Only the first star after someone else's write reads the store again.
        QCOMPARE(loads.size(), storedElsewhere != 0 ? 1 : 0);
    }

    // The window's edits never wait for the write lock on the main thread: made while another
    // connection holds it (a huge report holds it for seconds), each returns at once, lands once
    // the lock is let go, and the lists follow it then. Nothing is lost and no alert is raised.
    void editsWhileTheWriteLockIsHeldLandAfterIt_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("favorites"); // the lists once it landed
        QTest::addColumn<QString>("others");
        QTest::addColumn<QString>("stored"); // Ann's record then; "none" once deleted
        QTest::addRow("a star") << QStringLiteral("star") << QStringLiteral("Ann") << QStringLiteral("Bea")
                                << QStringLiteral("a1|-|-|-|Ann|-|-|favorite|-|-");
        QTest::addRow("a star clicked twice") << QStringLiteral("star twice") << QString() << QStringLiteral("Ann|Bea")
                                              << QStringLiteral("a1|-|-|-|Ann|-|-|-|-|-");
        QTest::addRow("notes") << QStringLiteral("notes") << QString() << QStringLiteral("Ann|Bea")
                               << QStringLiteral("a1|-|-|-|Ann|-|-|-|vip|-");
        QTest::addRow("a delete") << QStringLiteral("delete") << QString() << QStringLiteral("Bea") << QStringLiteral("none");
        QTest::addRow("a user added in the sheet") << QStringLiteral("add") << QString() << QStringLiteral("Ann|Bea|Cy")
                                                   << QStringLiteral("a1|-|-|-|Ann|-|-|-|-|-");
    }
    void editsWhileTheWriteLockIsHeldLandAfterIt()
    {
        QFETCH(QString, edit);
        QFETCH(QString, favorites);
        QFETCH(QString, others);
        QFETCH(QString, stored);
        QVERIFY(m_store->addUser(QStringLiteral("a1"), QStringLiteral("Ann")));
        QVERIFY(m_store->addUser(QStringLiteral("b1"), QStringLiteral("Bea")));
        load(*m_model, *m_store);
        const ImpersonateUserData ann = m_model->displayUsers().first();
        const QString before = fieldsOf(ann);
        QSignalSpy alerts(&m_tool->listener, &MorvendaListener::alertViewStateChanged);
        ImpersonateUserCreationViewModel sheet(*m_model);

        RawDatabase other(m_store->path());
        QVERIFY(other.exec("BEGIN IMMEDIATE"));
        if (edit == QLatin1StringView("star")) {
            m_model->toggleFavorite(ann);
        } else if (edit == QLatin1StringView("star twice")) {
            m_model->toggleFavorite(ann);
            m_model->toggleFavorite(m_model->displayUsers().first()); // the row still shows no star
        } else if (edit == QLatin1StringView("notes")) {
            m_model->setNotes(QStringLiteral("vip"), ann);
        } else if (edit == QLatin1StringView("add")) {
            sheet.setUserToken(QStringLiteral("c1"));
            sheet.setName(QStringLiteral("Cy"));
            QVERIFY(sheet.save());
        } else {
            QVERIFY(m_model->deleteUser(QStringLiteral("a1")));
        }
        // Back while the lock is still held: nothing is stored yet.
        QCOMPARE(fieldsOf(**m_store->fetchByToken(QStringLiteral("a1"))), before);
        QCOMPARE(m_store->fetchAll()->size(), 2);
        QVERIFY(other.exec("COMMIT"));

        settle(*m_store);
        QCOMPARE(names(m_model->favoriteUsers()), favorites);
        QCOMPARE(names(m_model->displayUsers()), others);
        const auto record = *m_store->fetchByToken(QStringLiteral("a1"));
        QCOMPARE(record ? fieldsOf(*record) : QStringLiteral("none"), stored);
        QCOMPARE(alerts.size(), 0);
    }

    // Stars that land behind a report (written while the lock was held) show the report with one
    // reload, not one per star: a reload reads every user, a huge report included.
    void starsBehindAReportReloadOnce()
    {
        for (const char *token : {"a1", "b1", "c1"}) {
            QVERIFY(m_store->addUser(QString::fromLatin1(token), QString::fromLatin1(token).toUpper()));
        }
        load(*m_model, *m_store);
        const QList<ImpersonateUserData> users = m_model->displayUsers();
        QSignalSpy loads(m_model.get(), &ImpersonateListViewModel::isLoadingChanged);
        RawDatabase other(m_store->path());
        QVERIFY(other.exec("BEGIN IMMEDIATE"));
        m_store->writer().run(this,
            [](ImpersonateUserStore &connection) { return connection.addUser(QStringLiteral("r1"), QStringLiteral("Reported")).has_value(); },
            [](bool stored) { QVERIFY(stored); });
        for (const ImpersonateUserData &user : users) {
            m_model->toggleFavorite(user);
        }
        QVERIFY(other.exec("COMMIT"));
        settle(*m_store);
        QCOMPARE(names(m_model->favoriteUsers()), QStringLiteral("A1|B1|C1"));
        QCOMPARE(names(m_model->displayUsers()), QStringLiteral("Reported"));
        QCOMPARE(loads.size(), 1);
    }

    // A load never waits on the main thread: asked while a report waits for the write lock (a
    // huge one holds it for seconds, and reading it back costs as long), fetchUsers() returns with
    // the lists as they were, and the read lands after the report, as if made after it.
    void aLoadReturnsAtOnceAndLandsAfterTheWritesBeforeIt_data()
    {
        QTest::addColumn<bool>("first"); // no load landed before this one
        QTest::addColumn<QString>("meanwhile"); // what happens while the read waits
        QTest::addColumn<QString>("favorites"); // the lists once everything landed
        QTest::addColumn<QString>("others");
        QTest::addColumn<int>("published"); // how many times the lists were published
        QTest::addColumn<QString>("alert");
        QTest::addRow("the window's first load: loading until it lands") << true << QString() << QString()
                                                                          << QStringLiteral("Ann|Reported") << 1 << QString();
        QTest::addRow("a reload shows the report") << false << QString() << QString() << QStringLiteral("Ann|Reported")
                                                    << 1 << QString();
        QTest::addRow("two loads in a row: only the later one is shown")
            << false << QStringLiteral("load again") << QString() << QStringLiteral("Ann|Late|Reported") << 1 << QString();
        QTest::addRow("a star made while it reads ends up starred")
            << false << QStringLiteral("star") << QStringLiteral("Ann") << QStringLiteral("Reported") << 2 << QString();
        QTest::addRow("a read that fails raises the alert and keeps the lists")
            << false << QStringLiteral("drop the table") << QString() << QStringLiteral("Ann") << 0
            << QStringLiteral("Unable to fetch impersonate user data");
    }
    void aLoadReturnsAtOnceAndLandsAfterTheWritesBeforeIt()
    {
        QFETCH(bool, first);
        QFETCH(QString, meanwhile);
        QFETCH(QString, favorites);
        QFETCH(QString, others);
        QFETCH(int, published);
        QFETCH(QString, alert);
        QVERIFY(m_store->addUser(QStringLiteral("a1"), QStringLiteral("Ann")));
        if (!first) {
            load(*m_model, *m_store);
        }
        const QString shown = names(m_model->displayUsers());
        QSignalSpy lists(m_model.get(), &ImpersonateListViewModel::listsChanged);
        QSignalSpy alerts(&m_tool->listener, &MorvendaListener::alertViewStateChanged);
        const auto report = [this](const char *token, const char *name) {
            m_store->writer().run(this, [=](ImpersonateUserStore &connection) {
                return connection.addUser(QString::fromLatin1(token), QString::fromLatin1(name)).has_value();
            }, [](bool) {});
        };

        RawDatabase other(m_store->path());
        QVERIFY(other.exec("BEGIN IMMEDIATE"));
        report("r1", "Reported");
        m_model->fetchUsers();
        if (meanwhile == QLatin1StringView("load again")) {
            report("l1", "Late");
            m_model->fetchUsers();
        } else if (meanwhile == QLatin1StringView("star")) {
            m_model->toggleFavorite(m_model->displayUsers().first());
        } else if (meanwhile == QLatin1StringView("drop the table")) {
            QVERIFY(other.exec("DROP TABLE stored_user"));
        }
        // Back while the report still waits for the lock: nothing is shown or said yet.
        QCoreApplication::sendPostedEvents();
        QCOMPARE(lists.size(), 0);
        QCOMPARE(m_model->isLoading(), first);
        QCOMPARE(names(m_model->displayUsers()), shown);
        QCOMPARE(alerts.size(), 0);
        QVERIFY(other.exec("COMMIT"));

        settle(*m_store);
        QCOMPARE(names(m_model->favoriteUsers()), favorites);
        QCOMPARE(names(m_model->displayUsers()), others);
        QCOMPARE(lists.size(), published);
        QCOMPARE(m_model->isLoading(), false);
        QCOMPARE(alerts.size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty()) {
            QCOMPARE(alerts.at(0).at(0).value<Alert::ViewState>().title, alert);
        }
        if (meanwhile == QLatin1StringView("star")) {
            QVERIFY((*m_store->fetchByToken(QStringLiteral("a1")))->favorite);
        }
    }

    void failedLoadRaisesItsAlertAndKeepsTheLists()
    {
        QVERIFY(m_store->addUser(QStringLiteral("t"), QStringLiteral("Ann")));
        load(*m_model, *m_store);
        RawDatabase(m_store->path()).exec("DROP TABLE stored_user");
        QSignalSpy alerts(&m_tool->listener, &MorvendaListener::alertViewStateChanged);
        load(*m_model, *m_store);
        QCOMPARE(alerts.size(), 1);
        const auto alert = alerts.at(0).at(0).value<Alert::ViewState>();
        QCOMPARE(alert.title, QStringLiteral("Unable to fetch impersonate user data"));
        QVERIFY(alert.message && alert.message->contains(QStringLiteral("no such table")));
        QCOMPARE(names(m_model->displayUsers()), QStringLiteral("Ann"));
    }

    void impersonateChecksTheAppsUser_data()
    {
        QTest::addColumn<QByteArray>("reported"); // empty: the app reports no user
        QTest::addColumn<QString>("storedRetailer");
        QTest::addColumn<QString>("storedBrand");
        QTest::addColumn<QString>("alertTitle"); // empty: no alert
        QTest::addColumn<bool>("sent");
        QTest::addRow("no user reported: refused") << QByteArray() << QString() << QString()
                                                   << QStringLiteral("Unable to Impersonate") << false;
        QTest::addRow("retailer admin, brand user: mismatch")
            << userFrame(true, false, retailerAccount) << QString() << QStringLiteral("b")
            << QStringLiteral("Are you sure you want to do this?") << false;
        QTest::addRow("brand impersonator, retailer user: mismatch")
            << userFrame(false, true, brandAccount) << QStringLiteral("r") << QString()
            << QStringLiteral("Are you sure you want to do this?") << false;
        QTest::addRow("retailer admin, user without tokens: sent")
            << userFrame(true, false, retailerAccount) << QString() << QString() << QString() << true;
        QTest::addRow("brand admin, brand user: sent")
            << userFrame(true, false, brandAccount) << QString() << QStringLiteral("b") << QString() << true;
    }
    void impersonateChecksTheAppsUser()
    {
        QFETCH(QByteArray, reported);
        QFETCH(QString, storedRetailer);
        QFETCH(QString, storedBrand);
        QFETCH(QString, alertTitle);
        QFETCH(bool, sent);

        ScriptedPeer app;
        connectApp(app, reported);
        QVERIFY(m_store->upsert(storedUser(QStringLiteral("target"), storedRetailer, storedBrand)));
        load(*m_model, *m_store);

        QSignalSpy alerts(&m_tool->listener, &MorvendaListener::alertViewStateChanged);
        m_model->impersonate(m_model->displayUsers().first());
        QCOMPARE(alerts.size(), alertTitle.isEmpty() ? 0 : 1);
        if (!alertTitle.isEmpty()) {
            QCOMPARE(alerts.at(0).at(0).value<Alert::ViewState>().title, alertTitle);
        }
        if (sent) {
            QTRY_COMPARE(app.frames().size(), 2);
            QCOMPARE(app.frames().last(), impersonateFrame("target"));
        } else {
            // A marker sent after the decision proves nothing went before it.
            sendMarker(app);
        }
    }

    void continueSendsToTheAppStillConnected()
    {
        ScriptedPeer app;
        connectApp(app, userFrame(true, false, retailerAccount));
        QVERIFY(m_store->upsert(storedUser(QStringLiteral("brand-user"), {}, QStringLiteral("b"))));
        load(*m_model, *m_store);

        QSignalSpy alerts(&m_tool->listener, &MorvendaListener::alertViewStateChanged);
        m_model->impersonate(m_model->displayUsers().first());
        QCOMPARE(alerts.size(), 1);
        const auto alert = alerts.at(0).at(0).value<Alert::ViewState>();
        QCOMPARE(alert.actions.size(), 2);
        QVERIFY(!alert.actions.at(1).completion); // cancelling sends nothing
        alert.actions.at(0).completion();
        QTRY_COMPARE(app.frames().size(), 2);
        QCOMPARE(app.frames().last(), impersonateFrame("brand-user"));

        // Continue after the app went away: nothing is sent and nothing is raised.
        m_model->impersonate(m_model->displayUsers().first());
        QCOMPARE(alerts.size(), 2);
        const auto second = alerts.at(1).at(0).value<Alert::ViewState>();
        app.socket().disconnectFromHost();
        QTRY_VERIFY(!m_tool->listener.activeConnection()->isOpen());
        second.actions.at(0).completion();
        // A send's outcome arrives through the event loop: an event posted now runs after it.
        bool settled = false;
        QMetaObject::invokeMethod(this, [&settled] { settled = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(settled);
        QCOMPARE(alerts.size(), 2);

        // Continue after the window's model is gone does nothing either.
        ScriptedPeer again;
        connectApp(again, userFrame(true, false, retailerAccount));
        m_model->impersonate(m_model->displayUsers().first());
        const auto third = alerts.last().at(0).value<Alert::ViewState>();
        m_model.reset();
        third.actions.at(0).completion();
        sendMarker(again);
    }

    // A token that is already stored keeps its record through the sheet, and takes the name only
    // when one was typed. (A new token is saved through the window's sheet in its test.)
    void sheetKeepsTheStoredRecordOfAKnownToken()
    {
        ImpersonateUserData full(QStringLiteral("known"), QStringLiteral("r"), std::nullopt, std::nullopt,
            QStringLiteral("Reported"), QStringLiteral("e@x"), QStringLiteral("FRA"), true, QStringLiteral("notes"),
            QList<UserTag>{UserTag::Subuser});
        const auto stored = m_store->upsert(full);
        QVERIFY(stored);
        ImpersonateUserCreationViewModel sheet(*m_model);
        QSignalSpy saved(&sheet, &ImpersonateUserCreationViewModel::saved);
        sheet.setUserToken(QStringLiteral("known"));
        QVERIFY(sheet.save());
        QVERIFY(!sheet.canSave()); // until it landed
        QTRY_COMPARE(saved.size(), 1);
        QVERIFY(sheet.canSave());
        const ImpersonateUserData kept = **m_store->fetchByToken(QStringLiteral("known"));
        QCOMPARE(kept.id, stored->id);
        QCOMPARE(fieldsOf(kept), fieldsOf(full));
        QCOMPARE(names(m_model->favoriteUsers()), QStringLiteral("Reported"));

        sheet.setName(QStringLiteral("Typed"));
        QVERIFY(sheet.save());
        QTRY_COMPARE(saved.size(), 2);
        full.name = QStringLiteral("Typed");
        QCOMPARE(fieldsOf(**m_store->fetchByToken(QStringLiteral("known"))), fieldsOf(full));
        QCOMPARE(m_store->fetchAll()->size(), 1);
    }

    void refusedWritesRaiseTheSaveAlertAndKeepEverything_data()
    {
        QTest::addColumn<bool>("fullDisk"); // else the files become read-only
        QTest::addRow("full disk") << true;
        QTest::addRow("read-only files") << false;
    }
    void refusedWritesRaiseTheSaveAlertAndKeepEverything()
    {
        QFETCH(bool, fullDisk);
        SmallDisk disk(QStringLiteral("512k"));
        if (fullDisk && !disk.isMounted()) {
            QSKIP("mounting a tmpfs is not allowed here");
        }
        const QString path = fullDisk ? disk.filePath(ImpersonateUserStore::fileName()) : m_store->path();
        auto opened = fullDisk ? openStore(path) : nullptr;
        ImpersonateUserStore &store = fullDisk ? *opened : *m_store;
        QVERIFY(store.addUser(QStringLiteral("kept"), QStringLiteral("Kept")));
        ImpersonateListViewModel model(m_tool->listener, m_tool->users, store);
        load(model, store);
        const QStringList files{path, path + QStringLiteral("-wal")};
        if (fullDisk) {
            disk.fill();
        } else if (!setImmutable(files, true)) {
            QSKIP("this file system cannot make files immutable");
        }
        // Files left immutable by a failed check could not even be removed with their folder.
        const auto release = qScopeGuard([&] {
            if (!fullDisk) {
                setImmutable(files, false);
            }
        });

        QSignalSpy alerts(&m_tool->listener, &MorvendaListener::alertViewStateChanged);
        ImpersonateUserCreationViewModel sheet(model);
        QSignalSpy saved(&sheet, &ImpersonateUserCreationViewModel::saved);
        sheet.setUserToken(QString(200000, QLatin1Char('t'))); // larger than what is left on the disk
        QVERIFY(sheet.save());
        QTRY_COMPARE(alerts.size(), 1);
        QVERIFY(sheet.canSave()); // the sheet stays, and Save can be tried again
        const auto alert = alerts.at(0).at(0).value<Alert::ViewState>();
        QCOMPARE(alert.title, QStringLiteral("Unable to save user"));
        QVERIFY2(alert.message && alert.message->contains(QStringLiteral("SQLite error")), qPrintable(*alert.message));

        // Notes typed meanwhile: one alert, not one per keystroke.
        const QString big(150000, QLatin1Char('n'));
        model.setNotes(big, model.displayUsers().first());
        model.setNotes(big + QLatin1Char('!'), model.displayUsers().first());
        QTRY_COMPARE(alerts.size(), 2);
        model.toggleFavorite(model.displayUsers().first());
        QTRY_COMPARE(alerts.size(), 3);
        QVERIFY(model.deleteUser(QStringLiteral("kept")));
        QTRY_COMPARE(alerts.size(), 4);
        for (const auto &alert : alerts) {
            QCOMPARE(alert.at(0).value<Alert::ViewState>().title, QStringLiteral("Unable to save user"));
        }
        settle(store);
        QCOMPARE(alerts.size(), 4);
        QCOMPARE(saved.size(), 0);
        QCOMPARE(names(model.displayUsers()), QStringLiteral("Kept"));
        QCOMPARE(model.displayUsers().first().favorite, false);

        if (fullDisk) {
            disk.freeSpace();
        } else {
            QVERIFY(setImmutable(files, false));
        }
        QVERIFY(sheet.save());
        QTRY_COMPARE(saved.size(), 1);
        settle(store);
        QCOMPARE(names(model.displayUsers()), QStringLiteral("|Kept"));
        QVERIFY(model.deleteUser(QStringLiteral("kept")));
        QTRY_COMPARE(model.displayUsers().size(), 1); // the unnamed user saved above
    }

private:
    void load(ImpersonateListViewModel &model, ImpersonateUserStore &store)
    {
        model.fetchUsers();
        settle(store);
    }
    void connectApp(ScriptedPeer &app, const QByteArray &userFrame)
    {
        QVERIFY(app.connectTo(m_tool->listener.serverPort()));
        app.handshake(QStringLiteral("Shop app"));
        QTRY_COMPARE(app.frames().size(), 1); // the server's hello
        if (!userFrame.isEmpty()) {
            QSignalSpy stored(&m_tool->users, &UserManager::hasUpdatedUser);
            app.send(userFrame);
            QTRY_COMPARE(stored.size(), 1);
        }
        QTRY_VERIFY(!m_tool->listener.connections().isEmpty());
        m_tool->listener.select(m_tool->listener.connections().last());
    }
    // A deeplink sent after the action: once it arrives, anything sent before it has arrived too.
    void sendMarker(ScriptedPeer &app)
    {
        const qsizetype before = app.frames().size();
        m_tool->listener.send(AppPayload::runDeeplink(QStringLiteral("marker")), m_tool->listener.activeConnection());
        QTRY_COMPARE(app.frames().size(), before + 1);
        QVERIFY(app.frames().last().contains("marker"));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ImpersonateUserStore> m_store;
    std::unique_ptr<Tool> m_tool;
    std::unique_ptr<ImpersonateListViewModel> m_model;
};

QTEST_GUILESS_MAIN(TestImpersonateListViewModel)
#include "tst_impersonatelistviewmodel.moc"
