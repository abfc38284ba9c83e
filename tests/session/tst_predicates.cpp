#include "MorvendaApp/session/FilterPredicate.h"
#include "SessionFixtures.h"

#include <QTest>

using namespace fixtures;
using namespace Qt::StringLiterals;

class TestPredicates : public QObject
{
    Q_OBJECT

private slots:
    void quickFiltersSortByRequestPath_data();
    void quickFiltersSortByRequestPath();
    void keypathPredicateHandsTheReadValueFirst();
    void registrationKeysCompareByCaseAndKeyPath();
};

void TestPredicates::quickFiltersSortByRequestPath_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("hasRequest");
    QTest::addColumn<QString>("accepting"); // the quick filters that accept, in a fixed order
    QTest::addRow("the plural v2 events path is analytics") << u"https://h/api/v2/events"_s << true << u"analytics"_s;
    QTest::addRow("the singular v2 event path is other") << u"https://h/api/v2/event"_s << true << u"other"_s;
    QTest::addRow("case matters in paths") << u"https://h/API/event"_s << true << u"other"_s;
    QTest::addRow("a query is not part of the path") << u"https://h/api/setting/assign?setting=a&b=1"_s << true << u"settings"_s;
    QTest::addRow("a percent-encoded path is decoded before comparing") << u"https://h/api/%65vent"_s << true << u"analytics"_s;
    QTest::addRow("a trailing slash is dropped as the platform does") << u"https://h/api/event/"_s << true << u"analytics"_s;
    QTest::addRow("a path continuing after milestones is a milestone call") << u"https://h/api/user/milestones/7"_s << true << u"milestones"_s;
    QTest::addRow("a prefix before milestones still counts") << u"https://h/v9/api/user/milestones"_s << true << u"milestones"_s;
    QTest::addRow("the singular milestone path is other") << u"https://h/api/user/milestone"_s << true << u"other"_s;
    QTest::addRow("an exchange without request is only other") << u""_s << false << u"other"_s;
    QTest::addRow("a request without URL is only other") << u""_s << true << u"other"_s;
}

void TestPredicates::quickFiltersSortByRequestPath()
{
    QFETCH(QString, url);
    QFETCH(bool, hasRequest);
    QFETCH(QString, accepting);
    const Exchange exchange = hasRequest
        ? Exchange::fromRequest(request(id(1), url), QStringLiteral("App"))
        : Exchange::fromResponse(response(id(1), id(2)), QStringLiteral("App"));
    QStringList accepted;
    if (AnalyticsFilterPredicate().match(exchange))
        accepted << QStringLiteral("analytics");
    if (SettingFilterPredicate().match(exchange))
        accepted << QStringLiteral("settings");
    if (MilestoneFilterPredicate().match(exchange))
        accepted << QStringLiteral("milestones");
    if (OtherFilterPredicate().match(exchange))
        accepted << QStringLiteral("other");
    QCOMPARE(accepted.join(QLatin1Char(',')), accepting);
    QVERIFY(AllFilterPredicate().match(exchange));
}

void TestPredicates::keypathPredicateHandsTheReadValueFirst()
{
    QList<QPair<QString, QString>> calls;
    const KeypathFilterPredicate<QString> byPeer(KeyPaths::peer, QStringLiteral("Shop"),
        [&](const QString &read, const QString &stored) {
            calls.append({read, stored});
            return read == stored;
        });
    QVERIFY(byPeer.match(Exchange::fromRequest(request(id(1)), QStringLiteral("Shop"))));
    QVERIFY(!byPeer.match(Exchange::fromRequest(request(id(2)), QStringLiteral("Brand"))));
    QCOMPARE(calls.last(), qMakePair(QStringLiteral("Brand"), QStringLiteral("Shop")));
    QCOMPARE(byPeer.registration(), PredicateRegister::keypath(ExchangeKeyPath::Peer));

    const KeypathFilterPredicate<std::optional<Method>> byMethod(KeyPaths::requestMethod, Method::Post,
        [](const std::optional<Method> &read, const std::optional<Method> &stored) { return read == stored; });
    QVERIFY(!byMethod.match(Exchange::fromResponse(response(id(3), id(4)), QStringLiteral("Shop"))));
}

void TestPredicates::registrationKeysCompareByCaseAndKeyPath()
{
    const PredicateRegister peerA = PredicateRegister::keypath(ExchangeKeyPath::Peer);
    const PredicateRegister peerB = KeypathFilterPredicate<QString>(KeyPaths::peer, QString(), {}).registration();
    QCOMPARE(peerA, peerB);
    QCOMPARE(qHash(peerA), qHash(peerB));
    QVERIFY(!(peerA == PredicateRegister::keypath(ExchangeKeyPath::RequestMethod)));
    QVERIFY(!(PredicateRegister::analytics() == PredicateRegister::settings()));
}

QTEST_GUILESS_MAIN(TestPredicates)
#include "tst_predicates.moc"
