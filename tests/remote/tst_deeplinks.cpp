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

} // namespace

class tst_Deeplinks : public QObject
{
    Q_OBJECT
private slots:
    void catalogueIdentities();
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
