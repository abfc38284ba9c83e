// The deeplink catalogue, the link text built from typed values (and its escaping), and what a
// send does with and without an app.
#include "RemoteFixture.h"

#include "MorvendaApp/remote/DeeplinkItemViewModel.h"
#include "MorvendaApp/remote/DeeplinkUrl.h"
#include "MorvendaApp/remote/Deeplinks.h"

#include <QSignalSpy>
#include <QTest>

using Deeplinks::Case;

using namespace Qt::StringLiterals;

namespace {

const QString base = QStringLiteral("https://b.test");

// The link of `c` with every typed part filled with "t1", "t2", … in component order.
QString linkWithTokens(Case c)
{
    const Deeplink deeplink = Deeplinks::deeplink(c);
    QHash<QString, QString> inputs;
    int n = 0;
    for (const DeeplinkComponent &component : deeplink.components) {
        if (component.isTyped())
            inputs.insert(component.id(), QStringLiteral("t%1").arg(++n));
    }
    return DeeplinkUrl::build(base, deeplink, inputs).value_or(QStringLiteral("<none>"));
}

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

} // namespace

class tst_Deeplinks : public QObject
{
    Q_OBJECT
private slots:
    void catalogueIdentities();
    void everyLinkWithPlainTokens_data();
    void everyLinkWithPlainTokens();
    void untypedFieldsStillGiveALink();
    void typedTextCannotChangeTheLinkStructure_data();
    void typedTextCannotChangeTheLinkStructure();
    void hugePasteIsEncodedWhole();
    void filterSearchesNamesOnly();
    void unparsableOriginAlertsAndCopiesNothing();
    void sendNeedsAServerAndAnActiveApp();
    void sendGoesOutAsOneFrame();
};

void tst_Deeplinks::catalogueIdentities()
{
    QCOMPARE(Deeplinks::allCases().size(), 32);
    QCOMPARE(Deeplinks::deeplink(Deeplinks::allCases().first()).name, QStringLiteral("Any Deeplink Path"));
    for (Case c : Deeplinks::allCases())
        QCOMPARE(Deeplinks::fromRawValue(Deeplinks::rawValue(c)), std::optional(c));
    QCOMPARE(Deeplinks::fromRawValue(u"GENERIC"), std::nullopt);
    QCOMPARE(Deeplinks::fromRawValue(u"Generic"), std::nullopt);

    const Deeplink sample = Deeplinks::deeplink(Case::Sample);
    QCOMPARE(sample.components.at(1).id(), QStringLiteral("input-inviteToken"));
    QCOMPARE(sample.components.at(2).id(), QStringLiteral("query-brand"));
    QCOMPARE(Deeplinks::deeplink(Case::WarehouseSales).components.at(1).id(),
        Deeplinks::deeplink(Case::FlashSales).components.at(1).id());

    // A row's model starts with one empty value per typed part, and none for constant parts.
    DeeplinkItemViewModel model(Case::MultiUserAccountCreation, DeeplinkEnvironment::Staging);
    QCOMPARE(model.inputs(), (QHash<QString, QString>{{QStringLiteral("query-ifuit"), QString()}}));
    QCOMPARE(DeeplinkEnvironments::fromRawValue(u"production"), std::optional(DeeplinkEnvironment::Production));
    QCOMPARE(DeeplinkEnvironments::fromRawValue(u"Production"), std::nullopt);
}

void tst_Deeplinks::everyLinkWithPlainTokens_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("expected");
    const QStringList table = {
        u"generic /t1"_s, u"home "_s, u"welcome /welcome"_s,
        u"multiUserAccountCreation /welcome?signUp=retailersubuser&ifuit=t1"_s,
        u"veltoDirectSignUp /welcome?brandAlias=t1"_s, u"resetPassword ?signIn=reset-password"_s,
        u"orderList /user/account/orders"_s, u"orderSample /user/account/samples/t1"_s,
        u"orderSamples /user/account/samples"_s, u"orderDetails /user/account/orders/t1"_s,
        u"showFreeReturnsModal ?showModal=free_returns_info"_s, u"showEmailPromptModal ?showModal=email_marketing"_s,
        u"showroomEducation /bottom-sheet/showroomv2"_s, u"eoriModal /eori-modal"_s,
        u"ostraneEnroll /user/ostrane/info/enrol"_s, u"messages /messages"_s, u"topShops /top-shop"_s,
        u"brand /brand/t1"_s, u"brandVideo /video/t1"_s, u"product /product/t1"_s, u"category /category/t1"_s,
        u"flashSales /flash-sale/t1"_s, u"warehouseSales /flash-sale/t1?seasonal-warehouse-sales=1"_s,
        u"paymentMethods /payment-methods"_s, u"cart /cart"_s, u"brandCart /brand-cart/t1"_s,
        u"brandInvoice /brand-invoice/t1"_s, u"brandReferrals /user/brand-referrals"_s, u"board /boards/t1"_s,
        u"followingBoards /boards/following"_s, u"sample /sample/t1?brand=t2"_s, u"support /support?contact=t1"_s,
    };
    QCOMPARE(table.size(), 32);
    for (const QString &row : table) {
        const qsizetype space = row.indexOf(u' ');
        QTest::addRow("%s", qPrintable(row.left(space))) << row.left(space) << base + row.mid(space + 1);
    }
}

void tst_Deeplinks::everyLinkWithPlainTokens()
{
    QFETCH(QString, raw);
    QFETCH(QString, expected);
    const std::optional<Case> c = Deeplinks::fromRawValue(raw);
    QVERIFY(c);
    QCOMPARE(linkWithTokens(*c), expected);
}

void tst_Deeplinks::untypedFieldsStillGiveALink()
{
    QCOMPARE(linkOfTyped(Case::MultiUserAccountCreation, QString()), base + u"/welcome?signUp=retailersubuser&ifuit="_s);
    QCOMPARE(linkOfTyped(Case::OrderDetails, QString()), base + u"/user/account/orders"_s);
    QCOMPARE(linkOfTyped(Case::Home, QString()), base);
    // An origin written with its root slash does not double the separator.
    QCOMPARE(DeeplinkUrl::build(base + u"/"_s, Deeplinks::deeplink(Case::Cart), {}), base + u"/cart"_s);
}

void tst_Deeplinks::typedTextCannotChangeTheLinkStructure_data()
{
    QTest::addColumn<int>("deeplink");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    const int details = int(Case::OrderDetails);
    const int support = int(Case::Support);
    const int generic = int(Case::Generic);
    const QString orders = base + u"/user/account/orders/"_s;
    const QString contact = base + u"/support?contact="_s;
    QTest::addRow("a blank in a path") << details << u"a b"_s << orders + u"a%20b"_s;
    QTest::addRow("query syntax in a path") << details << u"a&b=c"_s << orders + u"a&b=c"_s;
    QTest::addRow("query syntax in a value") << support << u"a&b=c"_s << contact + u"a%26b%3Dc"_s;
    QTest::addRow("a fragment in a path") << details << u"x#y"_s << orders + u"x%23y"_s;
    QTest::addRow("a fragment in a value") << support << u"x#y"_s << contact + u"x%23y"_s;
    QTest::addRow("a question mark in a path") << details << u"?"_s << orders + u"%3F"_s;
    QTest::addRow("a percent sign") << details << u"50%"_s << orders + u"50%25"_s;
    QTest::addRow("an escape stays text") << support << u"%41"_s << contact + u"%2541"_s;
    QTest::addRow("a plus in a value") << support << u"a+b"_s << contact + u"a%2Bb"_s;
    QTest::addRow("a plus in a path") << details << u"a+b"_s << orders + u"a+b"_s;
    QTest::addRow("an accented letter") << details << QStringLiteral("é") << orders + u"%C3%A9"_s;
    QTest::addRow("control characters") << support << QStringLiteral("a\nb\tc\x7f") << contact + u"a%0Ab%09c%7F"_s;
    QTest::addRow("a slash splits the generic path") << generic << u"shop/item"_s << base + u"/shop/item"_s;
    QTest::addRow("a leading slash is not doubled") << generic << u"/lead"_s << base + u"/lead"_s;
    QTest::addRow("dot segments reach the app unresolved") << generic << u"../x"_s << base + u"/../x"_s;
    QTest::addRow("a slash in a value stays inside it") << support << u"a/b"_s << contact + u"a%2Fb"_s;
}

void tst_Deeplinks::typedTextCannotChangeTheLinkStructure()
{
    QFETCH(int, deeplink);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(linkOfTyped(Case(deeplink), typed), expected);
}

void tst_Deeplinks::hugePasteIsEncodedWhole()
{
    const QString paste = QString(100 * 1024, u'a') + QStringLiteral("&x=1");
    const QString link = linkOfTyped(Case::Support, paste);
    QCOMPARE(link.size(), base.size() + qsizetype(QStringLiteral("/support?contact=").size()) + 100 * 1024 + 8);
    QVERIFY(link.endsWith(QStringLiteral("a%26x%3D1")));
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
    QCOMPARE(names(QStringLiteral("ORDER")), (QStringList{u"Orders List"_s, u"Order Sample"_s, u"Order Samples"_s, u"Order details"_s}));
    QVERIFY(names(QStringLiteral("token")).isEmpty());
    QCOMPARE(names(QStringLiteral(" ")).size(), 23);
}

void tst_Deeplinks::unparsableOriginAlertsAndCopiesNothing()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    DeeplinkItemViewModel model(Case::Cart, DeeplinkEnvironment::Production,
        DeeplinkBaseAddresses{base, QStringLiteral("ht tp://no origin")});
    model.setSession(&tool.listener);
    QCOMPARE(model.url(), std::nullopt);
    QSignalSpy alerts(&tool.listener, &MorvendaListener::alertViewStateChanged);
    model.sendDeeplink();
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(tool.listener.alertViewState()->title, QStringLiteral("Unable to build deeplink"));

    // Switching back to a good origin keeps what was typed.
    model.setInput(QStringLiteral("input-brandCartToken"), QStringLiteral("x"));
    model.setEnvironment(DeeplinkEnvironment::Staging);
    QCOMPARE(model.url(), base + u"/cart"_s);
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

void tst_Deeplinks::sendGoesOutAsOneFrame()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    DeeplinkItemViewModel model(Case::OrderDetails, DeeplinkEnvironment::Staging);
    model.setSession(&tool.listener);
    model.setInput(QStringLiteral("input-brandOrderToken"), QStringLiteral("abc"));
    model.sendDeeplink();
    QTRY_COMPARE(tool.commands().size(), 1);
    QCOMPARE(tool.commands().first(),
        QByteArrayLiteral("{\"runDeeplink\":\"https://staging.example.com/user/account/orders/abc\"}"));
}

QTEST_GUILESS_MAIN(tst_Deeplinks)
#include "tst_deeplinks.moc"
