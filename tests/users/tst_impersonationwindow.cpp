// The impersonation window driven as a developer would, by keys and clicks, against a real store
// in a temporary folder and an app over loopback.
#include "tests/support/Artifacts.h"
#include "tests/support/LoopbackSession.h"
#include "tests/users/PictureChecks.h"
#include "tests/users/UsersFixtures.h"

#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/PanelTopStrip.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/shell/ShellPalette.h"
#include "MorvendaApp/users/ImpersonateListViewModel.h"
#include "MorvendaApp/users/ImpersonateUserCreationViewModel.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "MorvendaApp/users/StoredUserWriter.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaApp/users/ui/ImpersonateUserCreationView.h"
#include "MorvendaApp/users/ui/ImpersonateUserDelegate.h"
#include "MorvendaApp/users/ui/ImpersonateUserViewContextMenu.h"
#include "MorvendaApp/users/ui/ImpersonationListModel.h"
#include "MorvendaApp/users/ui/ImpersonationListView.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

ImpersonateUserData record(const QString &name, const QString &token, std::optional<QString> retailerToken = {},
    std::optional<QString> brandToken = {}, bool favorite = false, std::optional<QString> country = {},
    std::optional<QList<UserTag>> tags = {}, std::optional<QString> email = {})
{
    return ImpersonateUserData(token, std::move(retailerToken), std::move(brandToken), std::nullopt, name,
        std::move(email), std::move(country), favorite, std::nullopt, std::move(tags));
}

User appUser(const QString &token, bool isAdmin, std::optional<Retailer> retailer = {})
{
    return User::withTags(QStringLiteral("App user"), token, std::nullopt, {}, std::nullopt, false, false, isAdmin, {},
        std::move(retailer), std::nullopt);
}

} // namespace

class TestImpersonationWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ImpersonateUserStore> m_store;
    std::unique_ptr<LoopbackSession> m_tool;
    UserManager *m_users = nullptr;
    MorvendaListener *m_listener = nullptr;
    std::unique_ptr<AvatarLoader> m_avatars;
    QList<QUrl> m_opened;
    std::unique_ptr<ImpersonationListView> m_view;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    void fill(const QList<ImpersonateUserData> &records)
    {
        for (const ImpersonateUserData &user : records) {
            QVERIFY(m_store->upsert(user));
        }
    }

    // Connects `peer` as the app "Shop", signed in as `user`, and makes it the active app.
    bool connectShop(ScriptedPeer &peer, const User &user)
    {
        const MorvendaListener::ConnectionPtr app = m_tool->connectApp(peer, QStringLiteral("Shop"));
        if (!app) {
            return false;
        }
        m_users->storeUser(QStringLiteral("Shop"), user);
        m_listener->select(app);
        // The server's hello: once it is there, nothing is left to send when the app goes.
        return m_listener->activeConnection() == app && QTest::qWaitFor([&] { return peer.frames().size() == 1; });
    }

    ImpersonateUserViewContextMenu *menuFor(const QString &token) const
    {
        QMenu *menu = m_view->contextMenuFor(m_view->model().indexOfToken(token));
        menu->deleteLater();
        return static_cast<ImpersonateUserViewContextMenu *>(menu);
    }


    // The stored users' tokens, joined by "|".
    QString storedTokens() const
    {
        QStringList tokens;
        for (const ImpersonateUserData &user : m_store->fetchAll().value_or(QList<ImpersonateUserData>{})) {
            tokens.append(user.userToken);
        }
        return tokens.join(u'|');
    }

    // A menu's entries, joined by "|", a disabled one marked "(off)".
    static QString entries(const QMenu *menu)
    {
        QStringList texts;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator()) {
                texts.append(action->objectName() + (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
            }
        }
        return texts.join(u'|');
    }

    // The rows as the list shows them, joined by "|", a header marked "# ".
    QString rowTexts() const
    {
        QStringList texts;
        const ImpersonationListModel &model = m_view->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row);
            texts.append((index.data(ImpersonationListModel::IsHeaderRole).toBool() ? QStringLiteral("# ") : QString())
                + index.data().toString());
        }
        return texts.join(u'|');
    }

    // A new window, as the program builds it in the scheme of the moment.
    void makeView()
    {
        m_tester.reset();
        m_view = std::make_unique<ImpersonationListView>(ImpersonationListView::Services{*m_listener, *m_users, *m_store,
            *m_avatars, {}, [this](const QUrl &url) { m_opened.append(url); }});
        m_tester = std::make_unique<QAbstractItemModelTester>(&m_view->model());
        m_view->resize(420, 700);
    }

    // Where the delegate lays out a user's row, in the list's viewport.
    ImpersonateUserDelegate::Geometry geometryOf(const QString &token) const
    {
        const QModelIndex index = m_view->model().indexOfToken(token);
        QStyleOptionViewItem option;
        option.initFrom(m_view->list()->viewport());
        option.rect = m_view->list()->visualRect(index);
        option.font = m_view->list()->font();
        const auto *delegate = static_cast<ImpersonateUserDelegate *>(m_view->list()->itemDelegate());
        return delegate->geometry(option, *m_view->model().record(index));
    }

    void settle() { UsersFixtures::settle(*m_store); }

    // The window shown, with the stored users it loads on appearing.
    void showLoaded()
    {
        m_view->show();
        settle();
    }

    // Clicks the middle of one part of a user's row, where the delegate lays it out.
    void clickOn(const QString &token, QRect ImpersonateUserDelegate::Geometry::*part)
    {
        QTest::mouseClick(m_view->list()->viewport(), Qt::LeftButton, {}, (geometryOf(token).*part).center());
    }

    // One part of a user's row as the list paints it.
    QImage pictureOf(const QString &token, QRect ImpersonateUserDelegate::Geometry::*part) const
    {
        return m_view->list()->viewport()->grab(geometryOf(token).*part).toImage();
    }

private slots:
    void init()
    {
        QApplication::setPalette(ShellPalette::light());
        auto opened = ImpersonateUserStore::open(m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + QStringLiteral(".sqlite3")));
        QVERIFY(opened);
        m_store = std::move(*opened);
        m_tool = std::make_unique<LoopbackSession>();
        m_users = &m_tool->users;
        m_listener = &m_tool->listener;
        m_avatars = std::make_unique<AvatarLoader>();
        m_opened.clear();
        makeView();
    }

    void cleanup()
    {
        m_tester.reset();
        m_view.reset();
        m_avatars.reset();
        m_tool.reset();
        m_store.reset();
    }

    void showsLoadingThenSectionsOnlyForNonEmptyLists()
    {
        QVERIFY(m_view->isShowingLoading());
        m_view->show();
        QVERIFY(m_view->isShowingLoading()); // until the read on the store's writer thread lands
        settle();
        QVERIFY(!m_view->isShowingLoading());
        // An empty store: no sections, no placeholder, and the header stays usable.
        QCOMPARE(m_view->model().rowCount(), 0);
        QVERIFY(m_view->addUserButton()->isEnabled());

        // Names sort as people read them; equal names in any case keep the order they were stored in.
        for (const char *name : {"user10", "User2", "b", "user1", "B", "", "Émile"}) {
            fill({record(QString::fromUtf8(name), QString::fromUtf8(name) + QStringLiteral("-token"))});
        }
        m_view->viewModel().fetchUsers();
        settle();
        QCOMPARE(rowTexts(), QStringLiteral("# Stored Users||b|B|Émile|user1|User2|user10"));

        fill({record(QStringLiteral("Zed"), QStringLiteral("tz"), {}, {}, true)});
        m_view->viewModel().fetchUsers();
        settle();
        QCOMPARE(rowTexts(), QStringLiteral("# Favorites|Zed|# Stored Users||b|B|Émile|user1|User2|user10"));
    }

    // The search finds names, e-mails, user tokens and notes in any case, never tags, countries or
    // the apps' tokens, and combines with the app chips, one of which is selected at a time.
    void searchAndChipsFilterTheRows()
    {
        fill({record(QStringLiteral("Rita"), QStringLiteral("TOK-R"), QStringLiteral("r1"), {}, false, QStringLiteral("USA"),
                  QList<UserTag>{UserTag::Subuser}, QStringLiteral("Rita@Shop.example")),
            record(QStringLiteral("Bo"), QStringLiteral("tok-both"), QStringLiteral("r2"), QStringLiteral("b2"), true),
            record(QStringLiteral("Manual"), QStringLiteral("typed"))});
        QVERIFY(m_store->setNotes(m_store->fetchByToken(QStringLiteral("tok-both")).value()->id, QStringLiteral("VIP account")));
        showLoaded();
        const auto search = [this](const QString &text) {
            m_view->searchField()->clear();
            QTest::keyClicks(m_view->searchField(), text);
            return rowTexts();
        };
        QCOMPARE(search(QStringLiteral("SHOP")), QStringLiteral("# Stored Users|Rita"));
        QCOMPARE(search(QStringLiteral("vip")), QStringLiteral("# Favorites|Bo"));
        QCOMPARE(search(QStringLiteral("tok-")), QStringLiteral("# Favorites|Bo|# Stored Users|Rita"));
        for (const char *unsearched : {"subuser", "usa", "r1", "b2", " tok"}) {
            QVERIFY2(search(QString::fromUtf8(unsearched)).isEmpty(), unsearched);
        }
        m_view->searchField()->clear();

        QPushButton *retailer = m_view->appChip(AppType::Retailer);
        QPushButton *brand = m_view->appChip(AppType::Brand);
        brand->click();
        QCOMPARE(rowTexts(), QStringLiteral("# Favorites|Bo"));
        retailer->click();
        QVERIFY(retailer->property("selectedChip").toBool() && !brand->property("selectedChip").toBool());
        QCOMPARE(search(QStringLiteral("rit")), QStringLiteral("# Stored Users|Rita"));
        m_view->searchField()->clear();
        retailer->click();
        QVERIFY(!retailer->property("selectedChip").toBool());
        QCOMPARE(rowTexts(), QStringLiteral("# Favorites|Bo|# Stored Users|Manual|Rita"));
    }

    void theStarAndTheNotesFieldStoreAtOnce()
    {
        fill({record(QStringLiteral("Ann"), QStringLiteral("a1")), record(QStringLiteral("Bea"), QStringLiteral("b1"))});
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        clickOn(QStringLiteral("b1"), &ImpersonateUserDelegate::Geometry::star);
        QTRY_COMPARE(rowTexts(), QStringLiteral("# Favorites|Bea|# Stored Users|Ann"));
        QVERIFY(m_store->fetchByToken(QStringLiteral("b1")).value()->favorite);
        clickOn(QStringLiteral("b1"), &ImpersonateUserDelegate::Geometry::star);
        QTRY_COMPARE(rowTexts(), QStringLiteral("# Stored Users|Ann|Bea"));

        // Every keystroke in the notes field is stored, an emptied field as no notes. The row
        // follows without a reload: a field opened again goes on from what was typed instead of
        // storing older text over it, and the search finds it.
        const auto openNotes = [this](const QString &token) {
            clickOn(token, &ImpersonateUserDelegate::Geometry::notes);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the closed field
            return m_view->list()->findChild<QLineEdit *>(QStringLiteral("notesEditor"));
        };
        const auto notes = [this] { return m_store->fetchByToken(QStringLiteral("a1")).value()->notes; };
        QLineEdit *editor = openNotes(QStringLiteral("a1"));
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("x"));
        QTest::keyClick(editor, Qt::Key_Backspace);
        settle(); // no notes is also what was stored before "x"
        QCOMPARE(notes(), std::nullopt);
        QTest::keyClicks(editor, QStringLiteral("ab"));
        QTRY_COMPARE(notes(), std::optional<QString>(QStringLiteral("ab")));
        QVERIFY(openNotes(QStringLiteral("b1")));
        editor = openNotes(QStringLiteral("a1"));
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("ab"));
        QTest::keyClick(editor, Qt::Key_End); // the field opens with its text selected
        QTest::keyClicks(editor, QStringLiteral("!"));
        QTRY_COMPARE(notes(), std::optional<QString>(QStringLiteral("ab!")));
        QTest::keyClicks(m_view->searchField(), QStringLiteral("AB!"));
        QCOMPARE(rowTexts(), QStringLiteral("# Stored Users|Ann"));
    }

    // The context menu offers what the user has; Delete removes the selected user even when the
    // search hides it.
    void contextMenuAndDeleteKeyFollowTheUser()
    {
        fill({record(QStringLiteral("Ann"), QStringLiteral("a1")),
            record(QStringLiteral("Bea"), QStringLiteral("b1"), {}, QStringLiteral("br/1"), true),
            record(QStringLiteral("Cal"), QStringLiteral("c1"))});
        showLoaded();

        // No app is connected: nothing can be impersonated.
        ImpersonateUserViewContextMenu *menu = menuFor(QStringLiteral("b1"));
        QCOMPARE(entries(menu), QStringLiteral("Impersonate (off)|Open on Admin|Unfavorite|Copy user token|Copy user name|"
                                               "Copy brand token|Delete"));
        menu->action(QStringLiteral("Open on Admin"))->trigger();
        QCOMPARE(m_opened, (QList<QUrl>{QUrl(QStringLiteral("https://staging.example.com/admin2/brand/br%2F1"))}));
        QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
        menu->action(QStringLiteral("Copy user token"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("b1"));

        // A user typed in by hand has no admin page: both the page and the favourite entry are off.
        ImpersonateUserViewContextMenu *bare = menuFor(QStringLiteral("c1"));
        QCOMPARE(entries(bare), QStringLiteral("Impersonate (off)|Open on Admin (off)|Save as favorite (off)|Copy user token|"
                                               "Copy user name|Delete"));
        bare->action(QStringLiteral("Delete"))->trigger();
        QTRY_COMPARE(storedTokens(), QStringLiteral("a1|b1"));
        QVERIFY(!m_view->contextMenuFor(m_view->model().index(0))); // a header has no menu

        m_view->list()->setCurrentIndex(m_view->model().indexOfToken(QStringLiteral("a1")));
        QCOMPARE(m_view->selection(), std::optional<QString>(QStringLiteral("a1")));
        QTest::keyClicks(m_view->searchField(), QStringLiteral("bea"));
        QTest::keyClick(m_view->list(), Qt::Key_Delete);
        QTRY_COMPARE(storedTokens(), QStringLiteral("b1"));
        // The stale selection stays; a second Delete does nothing.
        QCOMPARE(m_view->selection(), std::optional<QString>(QStringLiteral("a1")));
        m_view->deleteSelected();
        QCOMPARE(storedTokens(), QStringLiteral("b1"));
    }

    // Notes closed with Return leave the list on the row: Backspace, as typed to fix a typo, must
    // not delete the user; only the Delete key does.
    void backspaceNeverDeletes()
    {
        fill({record(QStringLiteral("Ann"), QStringLiteral("a1")), record(QStringLiteral("Bea"), QStringLiteral("b1"))});
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        clickOn(QStringLiteral("a1"), &ImpersonateUserDelegate::Geometry::notes);
        auto *editor = m_view->list()->findChild<QLineEdit *>(QStringLiteral("notesEditor"));
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("vip"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClick(m_view->list(), Qt::Key_Backspace);
        QCOMPARE(storedTokens(), QStringLiteral("a1|b1"));
        QTRY_COMPARE(m_store->fetchByToken(QStringLiteral("a1")).value()->notes, std::optional<QString>(QStringLiteral("vip")));
        QTest::keyClick(m_view->list(), Qt::Key_Delete);
        QTRY_COMPARE(storedTokens(), QStringLiteral("b1"));
    }

    // The highlight is on the user Delete removes: when the search hides the selected user no
    // other user looks selected, and the user is highlighted again when the search shows it.
    void theHighlightIsTheUserDeleteRemoves_data()
    {
        QTest::addColumn<int>("others");
        QTest::addRow("a search that hides a few rows") << 3;
        QTest::addRow("a search that keeps rows all over a long list") << 120;
    }

    void theHighlightIsTheUserDeleteRemoves()
    {
        QFETCH(int, others);
        QList<ImpersonateUserData> users{record(QStringLiteral("Alina"), QStringLiteral("a1")), record(QStringLiteral("Bob"), QStringLiteral("b1"))};
        // Every other one is found by its e-mail.
        for (int i = 0; i < others; ++i) {
            users.append(record(QStringLiteral("Kim %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("k%1").arg(i), {}, {}, false, {},
                {}, i % 2 ? std::optional<QString>(QStringLiteral("ali%1@shop.example").arg(i)) : std::nullopt));
        }
        fill(users);
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        const auto highlighted = [this] {
            QStringList tokens;
            for (const QModelIndex &index : m_view->list()->selectionModel()->selectedIndexes()) {
                tokens.append(index.data(ImpersonationListModel::UserTokenRole).toString());
            }
            return tokens.join(u'|');
        };
        m_view->list()->setCurrentIndex(m_view->model().indexOfToken(QStringLiteral("b1")));
        QCOMPARE(highlighted(), QStringLiteral("b1"));
        QTest::keyClicks(m_view->searchField(), QStringLiteral("ali"));
        QVERIFY(!m_view->model().indexOfToken(QStringLiteral("b1")).isValid());
        QCOMPARE(highlighted(), QString());
        m_view->searchField()->clear();
        QCOMPARE(highlighted(), QStringLiteral("b1"));
        QTest::keyClicks(m_view->searchField(), QStringLiteral("ali"));
        QTest::keyClick(m_view->list(), Qt::Key_Delete);
        QTRY_VERIFY(!m_store->fetchByToken(QStringLiteral("b1")).value());
        QVERIFY(m_store->fetchByToken(QStringLiteral("a1")).value());
    }

    // The app's user decides what a click on a name does: nothing for the user the app already is, a
    // refusal for a user who may not impersonate. When the app disconnects it stays the active one,
    // but the window says it is gone, offers no impersonation and a click raises nothing; back under
    // its name, the click reaches it.
    void theActiveAppDecidesWhatAClickOnANameDoes()
    {
        fill({record(QStringLiteral("Fiona Marsh"), QStringLiteral("a1"), QStringLiteral("r1"), {}, true, QStringLiteral("GER"),
                  QList<UserTag>{UserTag::AccountOwner, UserTag::PlaceOrder, UserTag::Ostrane}, QStringLiteral("fiona@corner.example")),
            record(QStringLiteral("Brand Manager 2"), QStringLiteral("u_bm2"), {}, QStringLiteral("b_77"), false, std::nullopt,
                QList<UserTag>{UserTag::Subuser})});
        QVERIFY(m_store->setNotes(m_store->fetchByToken(QStringLiteral("u_bm2")).value()->id, QStringLiteral("Has a cart with 40 items")));
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        ScriptedPeer shop;
        QVERIFY(connectShop(shop, appUser(QStringLiteral("a1"), true)));
        const PanelTopStrip *strip = m_view->findChild<PanelTopStrip *>();
        QVERIFY(strip);
        QCOMPARE(strip->note(), QString());
        const ImpersonateUserData fiona = *m_view->model().record(m_view->model().indexOfToken(QStringLiteral("a1")));
        QAction *active = menuFor(QStringLiteral("a1"))->action(QStringLiteral("Active"));
        QVERIFY(active && !active->isEnabled());
        saveArtifact(m_view.get(), QStringLiteral("impersonation.png"));

        QSignalSpy alerts(m_listener, &MorvendaListener::alertViewStateChanged);
        clickOn(QStringLiteral("a1"), &ImpersonateUserDelegate::Geometry::name);
        QCOMPARE(alerts.size(), 0);
        m_users->storeUser(QStringLiteral("Shop"), appUser(QStringLiteral("someone"), false));
        clickOn(QStringLiteral("a1"), &ImpersonateUserDelegate::Geometry::name);
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(m_listener->alertViewState()->title, QStringLiteral("Unable to Impersonate"));

        m_users->storeUser(QStringLiteral("Shop"), appUser(QStringLiteral("admin"), true));
        QVERIFY(menuFor(QStringLiteral("a1"))->action(QStringLiteral("Impersonate"))->isEnabled());
        shop.socket().disconnectFromHost();
        QTRY_COMPARE(strip->note(), QStringLiteral("Shop has disconnected"));
        QVERIFY(!menuFor(QStringLiteral("a1"))->action(QStringLiteral("Impersonate"))->isEnabled());
        clickOn(QStringLiteral("a1"), &ImpersonateUserDelegate::Geometry::name);
        m_view->viewModel().impersonate(fiona);
        QCoreApplication::processEvents();
        QCOMPARE(alerts.size(), 1);

        ScriptedPeer again;
        QVERIFY(again.connectTo(m_listener->serverPort()));
        again.handshake(QStringLiteral("Shop"));
        QTRY_VERIFY(m_view->viewModel().canImpersonate());
        QCOMPARE(strip->note(), QString());
        QVERIFY(menuFor(QStringLiteral("a1"))->action(QStringLiteral("Impersonate"))->isEnabled());
        QTRY_COMPARE(again.frames().size(), 1); // the server's hello
        clickOn(QStringLiteral("a1"), &ImpersonateUserDelegate::Geometry::name);
        QTRY_COMPARE(again.frames().size(), 2);
        QCOMPARE(again.frames().last(), QByteArrayLiteral(R"({"impersonate":{"userTokenToImpersonate":"a1"}})"));
        QCOMPARE(alerts.size(), 1);
    }

    // Developers read and compare tokens: an underscore reaches below the baseline, and the row
    // gives it the room instead of clipping it away.
    void aTokensUnderscoresAreDrawn()
    {
        fill({record(QStringLiteral("Tess"), QStringLiteral("u_bm2 b_77")), record(QStringLiteral("Tess"), QStringLiteral("u bm2 b 77"))});
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        const auto lowestInk = [this](const QString &token) {
            const QImage tokens = pictureOf(token, &ImpersonateUserDelegate::Geometry::tokens);
            const qreal background = tokens.pixelColor(tokens.width() - 1, 0).lightnessF();
            for (int y = tokens.height() - 1; y >= 0; --y) {
                if (contrastingPixels(tokens, QRect(0, y, tokens.width(), 1), background) > 0) {
                    return y;
                }
            }
            return -1;
        };
        QVERIFY(lowestInk(QStringLiteral("u_bm2 b_77")) > lowestInk(QStringLiteral("u bm2 b 77")));
    }

    // A name takes one line in its row: line breaks show as spaces, and of a name of megabytes the
    // row shows what fits of its start.
    void aNameTakesOneLine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("asShown");
        QTest::addRow("a line break is a space") << "Ann\nLee" << "Ann Lee";
        QTest::addRow("CR LF and tab are spaces") << "Ann\r\nLee\tMay" << "Ann Lee May";
        QString huge;
        while (huge.size() < 2'000'000) {
            huge += QStringLiteral("Fiona Marsh\n");
        }
        QString start = huge.left(4000);
        start.replace(u'\n', u' ');
        QTest::addRow("a name of 2,000,000 characters") << huge << start;
    }

    void aNameTakesOneLine()
    {
        QFETCH(QString, name);
        QFETCH(QString, asShown);
        fill({record(name, QStringLiteral("t1")), record(asShown, QStringLiteral("t2"))});
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        const QModelIndex row = m_view->model().indexOfToken(QStringLiteral("t1"));
        QCOMPARE(m_view->list()->visualRect(row).height(),
            m_view->list()->visualRect(m_view->model().indexOfToken(QStringLiteral("t2"))).height());
        QVERIFY(geometryOf(QStringLiteral("t1")).name.right() <= m_view->list()->visualRect(row).right());
        QCOMPARE(pictureOf(QStringLiteral("t1"), &ImpersonateUserDelegate::Geometry::name),
            pictureOf(QStringLiteral("t2"), &ImpersonateUserDelegate::Geometry::name));
    }

    // On the selection's highlight the name takes the highlighted text colour, for the app's own
    // user (green otherwise) as for the others.
    void aSelectedRowsNameTakesTheHighlightedTextColour_data()
    {
        QTest::addColumn<QString>("appUserToken");
        QTest::addRow("another user") << "someone";
        QTest::addRow("the app's own user") << "a1";
    }

    void aSelectedRowsNameTakesTheHighlightedTextColour()
    {
        QFETCH(QString, appUserToken);
        fill({record(QStringLiteral("Fiona Marsh"), QStringLiteral("a1"), QStringLiteral("r1"))});
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        ScriptedPeer shop;
        QVERIFY(connectShop(shop, appUser(appUserToken, true)));
        m_view->list()->setCurrentIndex(m_view->model().indexOfToken(QStringLiteral("a1")));
        const QImage name = pictureOf(QStringLiteral("a1"), &ImpersonateUserDelegate::Geometry::name);
        const QColor text = m_view->list()->palette().color(QPalette::HighlightedText);
        int inTextColour = 0;
        for (int y = 0; y < name.height(); ++y) {
            for (int x = 0; x < name.width(); ++x) {
                const QColor pixel = name.pixelColor(x, y);
                inTextColour += std::abs(pixel.red() - text.red()) + std::abs(pixel.green() - text.green())
                        + std::abs(pixel.blue() - text.blue()) < 24;
            }
        }
        QVERIFY2(inTextColour > 10, qPrintable(QString::number(inTextColour)));
    }

    // A row is laid out and painted at one width: when the panel narrows and the tags wrap onto
    // more lines, the rows grow instead of running into the next one.
    void rowsMeasureAndPaintAtOneWidth()
    {
        const QList<UserTag> all{UserTag::Impersonating, UserTag::Subuser, UserTag::AccountOwner, UserTag::Admin,
            UserTag::Active, UserTag::PlaceOrder, UserTag::CantPlaceOrder, UserTag::Ostrane, UserTag::OstraneChurned,
            UserTag::OstraneEligible, UserTag::OstraneUnpaid, UserTag::OstranePaused, UserTag::LoggedOut};
        QList<QString> tokens;
        for (int i = 0; i < 5; ++i) {
            tokens.append(QStringLiteral("t%1").arg(i));
            fill({record(QStringLiteral("User %1").arg(i), tokens.last(), QStringLiteral("r%1").arg(i), {}, false, {}, all,
                QStringLiteral("user%1@shop.example").arg(i))});
        }
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        for (const int width : {300, 240, 520}) {
            m_view->resize(width, m_view->height());
            QCoreApplication::processEvents();
            QRect previous;
            for (const QString &token : tokens) {
                const QRect row = m_view->list()->visualRect(m_view->model().indexOfToken(token));
                QVERIFY2(previous.isNull() || row.top() > previous.bottom(), qPrintable(token));
                QCOMPARE(geometryOf(token).height, row.height());
                QVERIFY(geometryOf(token).notes.bottom() <= row.bottom());
                previous = row;
            }
        }
    }

    // Starring a row in the middle of a long list leaves the rows in view where they were.
    void starringKeepsTheDevelopersPlace()
    {
        QList<ImpersonateUserData> many;
        for (int i = 0; i < 300; ++i) {
            many.append(record(QStringLiteral("User %1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("t%1").arg(i)));
        }
        fill(many);
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        QListView *list = m_view->list();
        list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum() / 2);
        const QModelIndex top = list->indexAt(QPoint(list->viewport()->width() / 2, 2));
        const QString anchor = top.data(ImpersonationListModel::UserTokenRole).toString();
        const int anchorTop = list->visualRect(top).top();
        const QString starred = list->indexAt(QPoint(list->viewport()->width() / 2, list->viewport()->height() / 2))
                                    .data(ImpersonationListModel::UserTokenRole).toString();
        QVERIFY(!anchor.isEmpty() && !starred.isEmpty() && anchor != starred);

        clickOn(starred, &ImpersonateUserDelegate::Geometry::star);
        QTRY_COMPARE(m_view->model().index(1).data(ImpersonationListModel::UserTokenRole).toString(), starred);
        QVERIFY(m_store->fetchByToken(starred).value()->favorite);
        QCoreApplication::processEvents();
        QCOMPARE(list->visualRect(m_view->model().indexOfToken(anchor)).top(), anchorTop);
    }

    // The window in both schemes, saved for review: the list takes the scheme's background, and
    // each user's name stands out from it.
    void screenshotsInBothSchemes_data() { addSchemeRows(); }

    void screenshotsInBothSchemes()
    {
        QFETCH(bool, dark);
        useScheme(dark);
        makeView();
        fill({record(QStringLiteral("Fiona Marsh"), QStringLiteral("a1"), QStringLiteral("r1"), {}, true, QStringLiteral("GER"),
                  QList<UserTag>{UserTag::AccountOwner, UserTag::PlaceOrder, UserTag::Ostrane}, QStringLiteral("fiona@corner.example")),
            record(QStringLiteral("Brand Manager 2"), QStringLiteral("u_bm2"), {}, QStringLiteral("b_77"), false, std::nullopt,
                QList<UserTag>{UserTag::Subuser})});
        showLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        ScriptedPeer shop;
        QVERIFY(connectShop(shop, appUser(QStringLiteral("a1"), true)));
        const QImage shot = m_view->grab().toImage();
        saveArtifact(m_view.get(), dark ? QStringLiteral("impersonation-dark.png") : QStringLiteral("impersonation-light.png"));
        const QRect list(m_view->list()->viewport()->mapTo(m_view.get(), QPoint(0, 0)), m_view->list()->viewport()->size());
        const qreal background = shot.pixelColor(list.bottomRight() - QPoint(4, 4)).lightnessF();
        QVERIFY2(dark ? background < 0.3 : background > 0.7, qPrintable(QString::number(background)));
        for (const char *token : {"a1", "u_bm2"}) {
            const QRect name = geometryOf(QString::fromLatin1(token)).name.translated(list.topLeft());
            QVERIFY2(contrastingPixels(shot, name, background) > 10, token);
        }
    }

    void sheetCancelsOrSavesOnReturnOnlyWithAToken()
    {
        showLoaded();
        QPointer<ImpersonateUserCreationView> sheet = m_view->presentAddUser();
        QTest::keyClicks(sheet->tokenField(), QStringLiteral("t1"));
        QTest::keyClick(sheet->tokenField(), Qt::Key_Escape);
        QTRY_VERIFY(!sheet);
        sheet = m_view->presentAddUser();
        QTest::keyClicks(sheet->tokenField(), QStringLiteral("t1"));
        sheet->findChild<QPushButton *>(QStringLiteral("close"))->click();
        QTRY_VERIFY(!sheet);
        QCOMPARE(storedTokens(), QString());

        sheet = m_view->presentAddUser();
        QVERIFY(!sheet->saveButton()->isEnabled());
        QTest::keyClicks(sheet->nameField(), QStringLiteral("Dora"));
        QTest::keyClick(sheet->nameField(), Qt::Key_Return);
        QVERIFY(sheet->isVisible()); // Save is disabled: Return does nothing
        QCOMPARE(storedTokens(), QString());

        QTest::keyClicks(sheet->tokenField(), QStringLiteral(" "));
        QVERIFY(sheet->saveButton()->isEnabled());
        QTest::keyClick(sheet->tokenField(), Qt::Key_Return);
        QTRY_VERIFY(!sheet);
        QCOMPARE(storedTokens(), QStringLiteral(" "));
        settle();
        QCOMPARE(rowTexts(), QStringLiteral("# Stored Users|Dora"));
    }
};

QTEST_MAIN(TestImpersonationWindow)
#include "tst_impersonationwindow.moc"
