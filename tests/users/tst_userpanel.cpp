// The user panel: the flag table, the admin addresses, the rows a user gets, and the panel itself
// driven once (the active app's user, rows, copy, admin button), with a screenshot.
#include "tests/support/Artifacts.h"
#include "tests/support/LoopbackSession.h"
#include "tests/users/PictureChecks.h"

#include "MorvendaApp/components/CopyButton.h"
#include "MorvendaApp/components/Disclosure.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/shell/ConnectionEntryDelegate.h"
#include "MorvendaApp/shell/ConnectionListModel.h"
#include "MorvendaApp/shell/ShellPalette.h"
#include "MorvendaApp/users/AdminAddress.h"
#include "MorvendaApp/users/CountryFlagMapper.h"
#include "MorvendaApp/users/UserViewModel.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaApp/users/ui/PeerTextLabel.h"
#include "MorvendaApp/users/ui/UserImages.h"
#include "MorvendaApp/users/ui/UserTags.h"
#include "MorvendaApp/users/ui/UserView.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTcpSocket>
#include <QTest>

namespace {

Retailer retailer(std::optional<QString> token, std::optional<QString> country = QStringLiteral("USA"))
{
    return Retailer(QStringLiteral("Corner Shop"), std::move(token), true, std::move(country),
        QStringLiteral("single"), QStringLiteral("eligible"));
}

User user(const QString &name, std::optional<QString> email = std::nullopt, QStringList capabilities = {},
    std::optional<Retailer> shop = std::nullopt)
{
    return User::withTags(name, name + QStringLiteral("-token"), std::move(email), std::move(capabilities),
        std::nullopt, false, false, false, {UserTag::AccountOwner, UserTag::PlaceOrder, UserTag::Ostrane},
        std::move(shop), std::nullopt);
}

QString flagOf(const char (&region)[3])
{
    const char32_t pair[2] = {char32_t(0x1F1E6 + region[0] - 'A'), char32_t(0x1F1E6 + region[1] - 'A')};
    return QString::fromUcs4(pair, 2);
}

// The rows' labels, joined by "|".
QString labels(const QList<UserViewModel::Row> &rows)
{
    QStringList result;
    for (const UserViewModel::Row &row : rows) {
        result.append(row.label);
    }
    return result.join(u'|');
}

// An app connection without a socket behind it: enough for the panel, which only reads names.
MorvendaListener::ConnectionPtr connectionNamed(const QString &name)
{
    auto connection = std::make_shared<MorvendaConnection>(new QTcpSocket);
    connection->setDisplayName(name);
    return connection;
}

// True when `widget` lies between the left and right edges of the panel's visible area.
bool withinWidth(const UserView &view, const QWidget *widget)
{
    const auto *scroll = view.findChild<QScrollArea *>();
    const int left = widget->mapTo(scroll->viewport(), QPoint(0, 0)).x();
    return left >= 0 && left + widget->width() <= scroll->viewport()->width();
}

// `count` tags, all 13 in turn.
QList<UserTag> manyTags(int count)
{
    QList<UserTag> tags;
    tags.reserve(count);
    for (int i = 0; i < count; ++i) {
        tags.append(UserTag(i % 13));
    }
    return tags;
}

// True when `widget` lies wholly inside the panel's visible area, without scrolling.
bool fitsInView(const UserView &view, const QWidget *widget)
{
    const auto *scroll = view.findChild<QScrollArea *>();
    return widget && scroll->viewport()->rect().contains(QRect(widget->mapTo(scroll->viewport(), QPoint(0, 0)), widget->size()));
}

} // namespace

class TestUserPanel : public QObject
{
    Q_OBJECT

private:
    LoopbackSession m_tool;
    UserManager &m_users = m_tool.users;
    MorvendaListener &m_listener = m_tool.listener;
    AvatarLoader m_avatars;

private slots:
    void flagsOnlyForTheAppsCountryCodes()
    {
        const CountryFlagMapper flags;
        QCOMPARE(flags.flag(QStringLiteral("usa")), std::optional(flagOf("US")));
        QCOMPARE(flags.flag(QStringLiteral("GER")), std::optional(flagOf("DE"))); // as the apps send it
        for (const QString &refused : {QStringLiteral("US"), QString(), QStringLiteral("USA ")}) {
            QCOMPARE(flags.flag(refused), std::nullopt);
        }
        QCOMPARE(flags.flag(std::nullopt), std::nullopt);
    }

    // A slash, a query, a fragment, a percent sign, a space and letters beyond ASCII all stay
    // inside the token's one segment. (The brand page of a brand user, and none for a user typed
    // by hand, are opened from the impersonation window's menu in its test.)
    void adminAddressesKeepTheTokenInOneSegment()
    {
        const auto address = [](const char *token) {
            return AdminAddress::retailer(QString::fromUtf8(token)).value_or(QUrl()).toString(QUrl::FullyEncoded);
        };
        const QString page = QStringLiteral("https://staging.example.com/admin2/retailer/");
        QCOMPARE(address("r_123-abc"), page + QStringLiteral("r_123-abc"));
        QCOMPARE(address("a/../b?admin=1#c 50% müller"), page + QStringLiteral("a%2F..%2Fb%3Fadmin%3D1%23c%2050%25%20m%C3%BCller"));
        // A stored user with both tokens opens the retailer page.
        QCOMPARE(AdminAddress::forStoredUser(QStringLiteral("r1"), QStringLiteral("b1")), AdminAddress::retailer(QStringLiteral("r1")));
    }

    void rowsShowWhatIsPresent()
    {
        // No e-mail, no retailer, no capabilities: the capabilities row is still there, empty.
        const QList<UserViewModel::Row> bare = UserViewModel::rows(user(QStringLiteral("ann")));
        QCOMPARE(labels(bare), QStringLiteral("user name|user token|user capabilities"));
        QCOMPARE(bare.last().value, QString());

        const QList<UserViewModel::Row> full = UserViewModel::rows(user(QStringLiteral("bob"), QStringLiteral("bob@shop.example"),
            {QStringLiteral("orders"), QStringLiteral("returns"), QStringLiteral("payouts")}, retailer(std::nullopt)));
        QCOMPARE(labels(full), QStringLiteral("user name|user token|user email|user capabilities|retailer name|retailer country|"
                                              "retailer ostrane membership status|retailer multi user state"));
        QCOMPARE(full.at(3).value, QStringLiteral("orders\nreturns\npayouts"));
    }

    // The panel as a developer uses it: the user of the active app only, following its reports, rows
    // that fold one by one and copy their value, and the admin button live only with a retailer token.
    void panelShowsTheUserFoldsRowsCopiesAndOpensAdmin()
    {
        useScheme(false);
        QList<QUrl> opened;
        UserView view(m_users, m_listener, m_avatars, [&opened](const QUrl &url) { opened.append(url); });
        view.resize(380, 900);
        view.show();
        QVERIFY(!view.showsUser());

        const auto app = connectionNamed(QStringLiteral("panel app"));
        m_users.storeUser(QStringLiteral("panel app"),
            user(QStringLiteral("dan"), std::nullopt, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, retailer(std::nullopt)));
        QVERIFY(!view.showsUser()); // a user of an app that is not the active one
        m_listener.setActiveConnection(app);
        QVERIFY(view.showsUser());
        const QList<Disclosure *> rows = view.rows();
        QCOMPARE(rows.size(), 7);
        for (Disclosure *row : rows) {
            QVERIFY(row->isExpanded());
        }
        rows.at(2)->toggle();
        QVERIFY(!rows.at(2)->isExpanded());
        QVERIFY(rows.at(1)->isExpanded() && rows.at(3)->isExpanded());
        CopyButton *copy = rows.at(2)->parentWidget()->findChild<CopyButton *>();
        QVERIFY(copy);
        copy->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\nb\nc"));

        QVERIFY(!view.adminButton()->isEnabled());
        view.openOnAdmin();
        QVERIFY(opened.isEmpty());
        m_users.storeUser(QStringLiteral("panel app"),
            User::withTags(QStringLiteral("Fiona Marsh"), QStringLiteral("u_8f2c61"), QStringLiteral("fiona@corner.example"),
                {QStringLiteral("orders.read"), QStringLiteral("orders.write")},
                // Nothing listens there: the picture stays the grey circle.
                Url::fromText(QStringLiteral("http://127.0.0.1:9/fiona.png")), true, false, false,
                {UserTag::Impersonating, UserTag::Subuser, UserTag::AccountOwner, UserTag::PlaceOrder, UserTag::Ostrane},
                retailer(QStringLiteral("shop/7"), QStringLiteral("GER")), std::nullopt));
        QVERIFY(view.adminButton()->isEnabled());
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        saveArtifact(&view, QStringLiteral("userpanel.png"));
        view.adminButton()->click();
        QCOMPARE(opened, (QList<QUrl>{QUrl(QStringLiteral("https://staging.example.com/admin2/retailer/shop%2F7"))}));

        m_listener.setActiveConnection(connectionNamed(QStringLiteral("app without a user")));
        QVERIFY(!view.showsUser());
        m_listener.setActiveConnection(app);
        QVERIFY(view.showsUser());
        m_listener.setActiveConnection(nullptr);
        QVERIFY(!view.showsUser());
    }

    // The panel in both schemes, saved for review: the scheme's background, the name standing out
    // from it, and the picture and the admin button in view.
    void screenshotsInBothSchemes_data() { addSchemeRows(); }

    void screenshotsInBothSchemes()
    {
        QFETCH(bool, dark);
        useScheme(dark);
        UserView view(m_users, m_listener, m_avatars);
        view.resize(380, 900);
        const auto app = connectionNamed(QStringLiteral("shot app"));
        m_users.storeUser(QStringLiteral("shot app"),
            User::withTags(QStringLiteral("Fiona Marsh"), QStringLiteral("u_8f2c61"), QStringLiteral("fiona@corner.example"),
                {QStringLiteral("orders.read"), QStringLiteral("orders.write")}, std::nullopt, true, false, false,
                {UserTag::Impersonating, UserTag::Subuser, UserTag::AccountOwner, UserTag::PlaceOrder, UserTag::Ostrane},
                retailer(QStringLiteral("shop/7"), QStringLiteral("GER")), std::nullopt));
        m_listener.setActiveConnection(app);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage shot = view.grab().toImage();
        saveArtifact(&view, dark ? QStringLiteral("userpanel-dark.png") : QStringLiteral("userpanel-light.png"));
        const qreal background = shot.pixelColor(4, 4).lightnessF();
        QVERIFY2(dark ? background < 0.3 : background > 0.7, qPrintable(QString::number(background)));
        QVERIFY(fitsInView(view, view.findChild<UserImages *>()));
        QVERIFY(fitsInView(view, view.adminButton()));
        const auto *name = view.findChild<PeerTextLabel *>();
        QVERIFY(name && name->text() == QStringLiteral("Fiona Marsh"));
        QVERIFY(contrastingPixels(shot, QRect(name->mapTo(&view, QPoint(0, 0)), name->size()), background) > 10);
        m_listener.setActiveConnection(nullptr);
    }

    // Values without a space to break at (a token, a picture address, a hundred thousand
    // characters): each row wraps its value anywhere, so no value is wider than the panel and
    // every copy button, the picture and the admin button stay in view.
    void unbreakableValuesStayWithinThePanel_data()
    {
        QTest::addColumn<int>("tokenLength");
        QTest::addColumn<int>("addressLength");
        QTest::addColumn<int>("everyTextLength");
        QTest::addRow("a 70-character token") << 70 << 0 << 0;
        QTest::addRow("a 130-character picture address") << 0 << 130 << 0;
        QTest::addRow("every value of 100,000 characters") << 100'000 << 0 << 100'000;
    }

    void unbreakableValuesStayWithinThePanel()
    {
        QFETCH(int, tokenLength);
        QFETCH(int, addressLength);
        QFETCH(int, everyTextLength);
        useScheme(false);
        UserView view(m_users, m_listener, m_avatars);
        view.resize(380, 900);
        view.show();
        const auto unbroken = [](int length, const QString &start) {
            QString text = start;
            while (text.size() < length) {
                text += QStringLiteral("q7Zx_");
            }
            return text.left(std::max<int>(length, start.size()));
        };
        const QString token = tokenLength ? unbroken(tokenLength, QStringLiteral("u_")) : QStringLiteral("u_8f2c61");
        // Nothing listens there: the picture stays the grey circle.
        const std::optional<Url> picture = addressLength
            ? Url::fromText(unbroken(addressLength, QStringLiteral("http://127.0.0.1:9/avatars/")))
            : std::nullopt;
        const QString text = everyTextLength ? unbroken(everyTextLength, QStringLiteral("Fiona")) : QStringLiteral("Fiona Marsh");
        const auto app = connectionNamed(QStringLiteral("unbroken app"));
        m_users.storeUser(QStringLiteral("unbroken app"), User::withTags(text, token, text, {text}, picture, false, false, false,
            {UserTag::PlaceOrder}, Retailer(text, token, true, QStringLiteral("USA"), text, text), std::nullopt));
        m_listener.setActiveConnection(app);
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCoreApplication::processEvents();
        saveArtifact(&view, QStringLiteral("userpanel-unbroken-%1.png").arg(QString::fromLatin1(QTest::currentDataTag())).replace(u' ', u'-'));
        const auto *scroll = view.findChild<QScrollArea *>();
        QCOMPARE_LE(scroll->widget()->width(), scroll->viewport()->width());
        QVERIFY(fitsInView(view, view.findChild<UserImages *>()));
        QVERIFY(fitsInView(view, view.adminButton()));
        for (const Disclosure *row : view.rows()) {
            QVERIFY(withinWidth(view, row->findChild<QLabel *>(QStringLiteral("content"))));
            QVERIFY(withinWidth(view, row->parentWidget()->findChild<CopyButton *>()));
        }
        m_listener.setActiveConnection(nullptr);
    }

    // An app may report tens of thousands of tags: its connection row shows a few rows of chips,
    // the last ending in a chip that counts the others, and stays as tall at any count.
    void aConnectionRowShowsAFewRowsOfTags_data()
    {
        QTest::addColumn<int>("tags");
        QTest::addColumn<bool>("counted");
        QTest::addRow("8 tags, all shown") << 8 << false;
        QTest::addRow("5,200 tags") << 5'200 << true;
        QTest::addRow("52,000 tags") << 52'000 << true;
    }

    void aConnectionRowShowsAFewRowsOfTags()
    {
        QFETCH(int, tags);
        QFETCH(bool, counted);
        useScheme(false);
        QStandardItemModel model;
        const auto addRow = [&model](int count) {
            auto *row = new QStandardItem;
            row->setData(QStringLiteral("Shop %1").arg(count), ConnectionListModel::DisplayNameRole);
            row->setData(true, ConnectionListModel::HasUserRole);
            row->setData(QStringLiteral("Fiona Marsh"), ConnectionListModel::UserNameRole);
            row->setData(QStringLiteral("u_8f2c61"), ConnectionListModel::UserTokenRole);
            row->setData(QVariant::fromValue(manyTags(count)), ConnectionListModel::UserTagsRole);
            row->setData(int(MorvendaConnection::State::Ready), ConnectionListModel::StateRole);
            row->setData(QStringLiteral("ready"), ConnectionListModel::StateTextRole);
            model.appendRow(row);
        };
        addRow(0);
        addRow(tags);
        QListView list;
        list.setModel(&model);
        ConnectionEntryDelegate delegate(m_avatars, &list);
        list.setItemDelegate(&delegate);
        list.resize(360, 600);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCoreApplication::processEvents();
        saveArtifact(&list, QStringLiteral("connection-row-%1-tags.png").arg(tags));
        const int bare = list.visualRect(model.index(0, 0)).height();
        const int tagged = list.visualRect(model.index(1, 0)).height();
        const int chipRow = QFontMetrics(list.font()).height() + 2 * UserTags::kPadding + UserTags::kSpacing;
        QCOMPARE_GT(tagged, bare);
        QCOMPARE_LE(tagged, bare + 3 * chipRow + 4);

        // What the rows show of the tags: all, or those before the count of the rest, which fit
        // together in three rows.
        const UserTags::Metrics metrics(list.font());
        const QList<UserTag> all = manyTags(tags);
        const UserTags::Shown shown = UserTags::firstRows(all, all.size(), metrics, 300, 3);
        QCOMPARE(shown.tags.size() + shown.more, all.size());
        QCOMPARE(shown.more > 0, counted);
        QCOMPARE_LE(UserTags::heightForWidth(shown.tags, metrics, 300, shown.more), 3 * (metrics.chipHeight() + UserTags::kSpacing));
        if (counted) {
            // Not one chip more would fit beside the count.
            QCOMPARE_GT(UserTags::heightForWidth(all.mid(0, shown.tags.size() + 1), metrics, 300, shown.more - 1),
                3 * (metrics.chipHeight() + UserTags::kSpacing));
        }
    }

    // An app may report every text of megabytes, with line breaks: the panel shows a few lines of
    // each, stays within its width, and keeps the picture and the admin button in view; the rows
    // copy the whole value.
    void hugeTextsStayWithinThePanel()
    {
        useScheme(false);
        UserView view(m_users, m_listener, m_avatars);
        view.resize(380, 900);
        view.show();
        QString huge;
        while (huge.size() < 2'000'000) {
            huge += QStringLiteral("Fiona Marsh of the corner shop\n");
        }
        const auto app = connectionNamed(QStringLiteral("huge app"));
        m_users.storeUser(QStringLiteral("huge app"), User::withTags(huge, huge, huge, {huge}, std::nullopt, false, false, false,
            {UserTag::PlaceOrder}, Retailer(huge, QStringLiteral("shop/7"), true, QStringLiteral("USA"), huge, huge), std::nullopt));
        m_listener.setActiveConnection(app);
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCoreApplication::processEvents();
        const auto *scroll = view.findChild<QScrollArea *>();
        QVERIFY(scroll->widget()->width() <= scroll->viewport()->width());
        QVERIFY(fitsInView(view, view.findChild<UserImages *>()));
        QVERIFY(fitsInView(view, view.adminButton()));
        for (const PeerTextLabel *label : view.findChildren<PeerTextLabel *>()) {
            QVERIFY(label->lines(label->width()).size() <= 3);
        }
        // A row lays out a thousand characters of its value at most, marked where it was cut.
        int cutRows = 0;
        for (const Disclosure *row : view.rows()) {
            const QString shown = row->findChild<QLabel *>(QStringLiteral("content"))->text();
            QVERIFY2(shown.size() <= 1000, qPrintable(QString::number(shown.size())));
            cutRows += shown.endsWith(QChar(0x2026)) ? 1 : 0;
        }
        QVERIFY(cutRows > 0);
        CopyButton *copy = view.rows().first()->parentWidget()->findChild<CopyButton *>();
        copy->copy();
        QCOMPARE(QGuiApplication::clipboard()->text().size(), huge.size());
        m_listener.setActiveConnection(nullptr);
    }
};

QTEST_MAIN(TestUserPanel)
#include "tst_userpanel.moc"
