// The deeplink catalogue, the link text built from typed values (and its escaping), and what a
// send does with and without an app.
#include "RemoteFixture.h"

#include "MorvendaApp/remote/DeeplinkItemViewModel.h"
#include "MorvendaApp/remote/DeeplinkUrl.h"
#include "MorvendaApp/remote/Deeplinks.h"

#include <QSignalSpy>
#include <QTest>

using Deeplinks::Case;


namespace {

const QString base = QStringLiteral("https://b.test");

// The link of `c` with `typed` in every typed part.
QString linkOfTyped(Case c, const QString &typed)
{
    const Deeplink deeplink = Deeplinks::deeplink(c);
    QHash<QString, QString> inputs;
    for (const DeeplinkComponent &component : deeplink.components) {
        if (component.isTyped())
            inputs.insert(component.id(), typed);
    }
    return DeeplinkUrl::build(base, deeplink, inputs).value_or(QStringLiteral("<none>"));
}

// The preview as one line: its texts and "[placeholder]" for each field, separated by blanks.
QString previewLine(const Deeplink &deeplink)
{
    QStringList out;
    for (const DeeplinkPreviewPart &part : Deeplinks::previewParts(deeplink))
        out.append(part.kind == DeeplinkPreviewPart::Kind::Field ? u'[' + part.text + u']' : part.text);
    return out.join(u' ');
}

} // namespace

class tst_Deeplinks : public QObject
{
    Q_OBJECT
private slots:
    void catalogueIdentities();
    void everyEntryOnAnInjectedBase_data();
    void everyEntryOnAnInjectedBase();
    void typedTextCannotChangeTheLinkStructure_data();
    void typedTextCannotChangeTheLinkStructure();
    void filterSearchesNamesOnly();
    void unparsableOriginAlertsAndCopiesNothing();
    void sendNeedsAServerAndAnActiveApp();
};

void tst_Deeplinks::catalogueIdentities()
{
    for (Case c : Deeplinks::allCases())
        QCOMPARE(Deeplinks::fromRawValue(Deeplinks::rawValue(c)), std::optional(c));
    QCOMPARE(Deeplinks::fromRawValue(u"Generic"), std::nullopt);

    // A row's model starts with one empty value per typed part, and none for constant parts.
    DeeplinkItemViewModel model(Case::MultiUserAccountCreation, DeeplinkEnvironment::Staging);
    QCOMPARE(model.inputs(), (QHash<QString, QString>{{QStringLiteral("query-ifuit"), QString()}}));
}

void tst_Deeplinks::everyEntryOnAnInjectedBase_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("preview");
    // In catalogue order. The link has "t1", "t2", … typed into its fields in component order;
    // the preview shows "[placeholder]" for each field.
    const struct {
        const char *raw, *name, *link, *preview;
    } rows[] = {
        {"generic", "Any Deeplink Path", "/t1", "/ [Any path]"},
        {"home", "Home", "", ""},
        {"welcome", "Account Registration", "/welcome", "/ welcome"},
        {"multiUserAccountCreation", "Multiuser account creation", "/welcome?signUp=retailersubuser&ifuit=t1",
            "/ welcome ? signUp=retailersubuser ? ifuit= [InvitationToken]"},
        {"veltoDirectSignUp", "Velto direct SignUp", "/welcome?brandAlias=t1", "/ welcome ? brandAlias= [brandAlias]"},
        {"resetPassword", "Reset Password", "?signIn=reset-password", "? signIn=reset-password"},
        {"orderList", "Orders List", "/user/account/orders", "/ user / account / orders"},
        {"orderSample", "Order Sample", "/user/account/samples/t1", "/ user / account / samples / [sampleRequestToken]"},
        {"orderSamples", "Order Samples", "/user/account/samples", "/ user / account / samples"},
        {"orderDetails", "Order details", "/user/account/orders/t1", "/ user / account / orders / [brandOrderToken]"},
        {"showFreeReturnsModal", "Free returns modal", "?showModal=free_returns_info", "? showModal=free_returns_info"},
        {"showEmailPromptModal", "Marketing email prompt modal", "?showModal=email_marketing", "? showModal=email_marketing"},
        {"showroomEducation", "Showroom education", "/bottom-sheet/showroomv2", "/ bottom-sheet / showroomv2"},
        {"eoriModal", "EORI Modal", "/eori-modal", "/ eori-modal"},
        {"ostraneEnroll", "Ostrane enrollment", "/user/ostrane/info/enrol", "/ user / ostrane / info / enrol"},
        {"messages", "Messages", "/messages", "/ messages"},
        {"topShops", "Top shops", "/top-shop", "/ top-shop"},
        {"brand", "Brand", "/brand/t1", "/ brand / [brandToken]"},
        {"brandVideo", "Brand Video", "/video/t1", "/ video / [brandVideoToken]"},
        {"product", "Product", "/product/t1", "/ product / [productToken]"},
        {"category", "Category", "/category/t1", "/ category / [categoryToken]"},
        {"flashSales", "Flash Sales", "/flash-sale/t1", "/ flash-sale / [flashSaleToken]"},
        {"warehouseSales", "Warehouse Sales", "/flash-sale/t1?seasonal-warehouse-sales=1",
            "/ flash-sale / [flashSaleToken] ? seasonal-warehouse-sales=1"},
        {"paymentMethods", "Payment Methods", "/payment-methods", "/ payment-methods"},
        {"cart", "Cart", "/cart", "/ cart"},
        {"brandCart", "Brand cart", "/brand-cart/t1", "/ brand-cart / [brandCartToken]"},
        {"brandInvoice", "Brand Invoice", "/brand-invoice/t1", "/ brand-invoice / [brandInvoiceToken]"},
        {"brandReferrals", "Brand referrals", "/user/brand-referrals", "/ user / brand-referrals"},
        {"board", "Board", "/boards/t1", "/ boards / [retailerBoardToken]"},
        {"followingBoards", "Following Boards", "/boards/following", "/ boards / following"},
        {"sample", "Sample", "/sample/t1?brand=t2", "/ sample / [inviteToken] ? brand= [brandToken]"},
        {"support", "Support", "/support?contact=t1", "/ support ? contact= [contactID]"},
    };
    QCOMPARE(std::size(rows), std::size_t(Deeplinks::allCases().size()));
    int order = 0;
    for (const auto &row : rows) {
        QTest::addRow("%s", row.raw) << order++ << QString::fromLatin1(row.raw) << QString::fromLatin1(row.name)
                                     << QString::fromLatin1(row.link) << QString::fromLatin1(row.preview);
    }
}

void tst_Deeplinks::everyEntryOnAnInjectedBase()
{
    QFETCH(int, order);
    QFETCH(QString, raw);
    QFETCH(QString, name);
    QFETCH(QString, link);
    QFETCH(QString, preview);
    const std::optional<Case> c = Deeplinks::fromRawValue(raw);
    QVERIFY(c);
    QCOMPARE(Deeplinks::allCases().indexOf(*c), order);
    QCOMPARE(Deeplinks::rawValue(*c), raw);
    const QString staging = QStringLiteral("https://stage.b.test");
    const QString production = QStringLiteral("https://b.test");
    DeeplinkItemViewModel model(*c, DeeplinkEnvironment::Staging, DeeplinkBaseAddresses{staging, production});
    QCOMPARE(model.deeplink().name, name);
    QCOMPARE(previewLine(model.deeplink()), preview);
    int n = 0;
    for (const DeeplinkComponent &component : model.deeplink().components) {
        if (component.isTyped())
            model.setInput(component.id(), QStringLiteral("t%1").arg(++n));
    }
    QCOMPARE(model.url(), staging + link);
    model.setEnvironment(DeeplinkEnvironment::Production);
    QCOMPARE(model.url(), production + link);
}

void tst_Deeplinks::typedTextCannotChangeTheLinkStructure_data()
{
    QTest::addColumn<int>("deeplink");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    const int details = int(Case::OrderDetails);
    const int support = int(Case::Support);
    const int generic = int(Case::Generic);
    const QString orders = base + QStringLiteral("/user/account/orders/");
    const QString contact = base + QStringLiteral("/support?contact=");
    // The shapes a link takes: constant query, typed path before a constant query, two typed parts.
    QTest::addRow("a constant query") << int(Case::ResetPassword) << QString() << base + QStringLiteral("?signIn=reset-password");
    QTest::addRow("a typed path and a constant query") << int(Case::WarehouseSales) << QStringLiteral("t")
                                                       << base + QStringLiteral("/flash-sale/t?seasonal-warehouse-sales=1");
    QTest::addRow("a typed path and a typed query") << int(Case::Sample) << QStringLiteral("t") << base + QStringLiteral("/sample/t?brand=t");
    QTest::addRow("a blank in a path") << details << QStringLiteral("a b") << orders + QStringLiteral("a%20b");
    QTest::addRow("query syntax in a path") << details << QStringLiteral("a&b=c") << orders + QStringLiteral("a&b=c");
    QTest::addRow("query syntax in a value") << support << QStringLiteral("a&b=c") << contact + QStringLiteral("a%26b%3Dc");
    QTest::addRow("a fragment in a path") << details << QStringLiteral("x#y") << orders + QStringLiteral("x%23y");
    QTest::addRow("a fragment in a value") << support << QStringLiteral("x#y") << contact + QStringLiteral("x%23y");
    QTest::addRow("a question mark in a path") << details << QStringLiteral("?") << orders + QStringLiteral("%3F");
    QTest::addRow("a percent sign") << details << QStringLiteral("50%") << orders + QStringLiteral("50%25");
    QTest::addRow("an escape stays text") << support << QStringLiteral("%41") << contact + QStringLiteral("%2541");
    QTest::addRow("a plus in a value") << support << QStringLiteral("a+b") << contact + QStringLiteral("a%2Bb");
    QTest::addRow("a plus in a path") << details << QStringLiteral("a+b") << orders + QStringLiteral("a+b");
    QTest::addRow("an accented letter") << details << QStringLiteral("é") << orders + QStringLiteral("%C3%A9");
    QTest::addRow("control characters") << support << QStringLiteral("a\nb\tc\x7f") << contact + QStringLiteral("a%0Ab%09c%7F");
    QTest::addRow("a slash splits the generic path") << generic << QStringLiteral("shop/item") << base + QStringLiteral("/shop/item");
    QTest::addRow("a leading slash is not doubled") << generic << QStringLiteral("/lead") << base + QStringLiteral("/lead");
    QTest::addRow("dot segments reach the app unresolved") << generic << QStringLiteral("../x") << base + QStringLiteral("/../x");
    QTest::addRow("a slash in a value stays inside it") << support << QStringLiteral("a/b") << contact + QStringLiteral("a%2Fb");
    const QString paste(100 * 1024, u'a');
    QTest::addRow("a huge paste is encoded whole") << support << paste + QStringLiteral("&x=1") << contact + paste + QStringLiteral("%26x%3D1");
    // Fields left empty still give a link.
    QTest::addRow("an empty value") << int(Case::MultiUserAccountCreation) << QString() << base + QStringLiteral("/welcome?signUp=retailersubuser&ifuit=");
    QTest::addRow("an empty path segment") << details << QString() << base + QStringLiteral("/user/account/orders");
    QTest::addRow("no field at all") << int(Case::Home) << QString() << base;
}

void tst_Deeplinks::typedTextCannotChangeTheLinkStructure()
{
    QFETCH(int, deeplink);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(linkOfTyped(Case(deeplink), typed), expected);
}

void tst_Deeplinks::filterSearchesNamesOnly()
{
    const auto names = [](const QString &filter) {
        QStringList out;
        for (Case c : Deeplinks::filtered(filter))
            out.append(Deeplinks::deeplink(c).name);
        return out;
    };
    QCOMPARE(Deeplinks::filtered(QString()), Deeplinks::allCases());
    QCOMPARE(names(QStringLiteral("ORDER")), (QStringList{QStringLiteral("Orders List"), QStringLiteral("Order Sample"), QStringLiteral("Order Samples"), QStringLiteral("Order details")}));
    QVERIFY(names(QStringLiteral("token")).isEmpty());
    QCOMPARE(names(QStringLiteral(" ")).size(), 23);
}

void tst_Deeplinks::unparsableOriginAlertsAndCopiesNothing()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    DeeplinkItemViewModel model(Case::Cart, DeeplinkEnvironment::Production,
        DeeplinkBaseAddresses{base + QStringLiteral("/"), QStringLiteral("ht tp://no origin")});
    model.setSession(&tool.listener);
    QCOMPARE(model.url(), std::nullopt);
    QSignalSpy alerts(&tool.listener, &MorvendaListener::alertViewStateChanged);
    model.sendDeeplink();
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(tool.listener.alertViewState()->title, QStringLiteral("Unable to build deeplink"));

    // Switching back to a good origin keeps what was typed; the origin's root slash is not doubled.
    model.setInput(QStringLiteral("input-brandCartToken"), QStringLiteral("x"));
    model.setEnvironment(DeeplinkEnvironment::Staging);
    QCOMPARE(model.url(), base + QStringLiteral("/cart"));
}

void tst_Deeplinks::sendNeedsAServerAndAnActiveApp()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    DeeplinkItemViewModel model(Case::Home, DeeplinkEnvironment::Staging, DeeplinkBaseAddresses{base, base});
    model.sendDeeplink(); // no server attached yet
    model.setSession(&tool.listener);
    tool.listener.setActiveConnection(nullptr);
    QSignalSpy alerts(&tool.listener, &MorvendaListener::alertViewStateChanged);
    model.sendDeeplink();
    // Neither send above went out: the first frame the app receives is the next one.
    tool.listener.select(tool.listener.connections().first());
    model.setInput(QStringLiteral("ignored"), QStringLiteral("x"));
    model.sendDeeplink();
    QTRY_COMPARE(tool.commands().size(), 1);
    QCOMPARE(alerts.size(), 0);
}

QTEST_GUILESS_MAIN(tst_Deeplinks)
#include "tst_deeplinks.moc"
