#include "MorvendaApp/session/FilterPredicate.h"
#include "SessionFixtures.h"

#include <QTest>

using namespace fixtures;

class TestPredicates : public QObject
{
    Q_OBJECT

private slots:
    void quickFiltersSortByRequestPath_data();
    void quickFiltersSortByRequestPath();
};

void TestPredicates::quickFiltersSortByRequestPath_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("accepting"); // the quick filters that accept, in a fixed order
    QTest::addRow("the plural v2 events path is analytics") << QStringLiteral("https://h/api/v2/events") << QStringLiteral("analytics");
    QTest::addRow("the singular v2 event path is other") << QStringLiteral("https://h/api/v2/event") << QStringLiteral("other");
    QTest::addRow("case matters in paths") << QStringLiteral("https://h/API/event") << QStringLiteral("other");
    QTest::addRow("a query is not part of the path") << QStringLiteral("https://h/api/setting/assign?setting=a&b=1") << QStringLiteral("settings");
    QTest::addRow("a percent-encoded path is decoded before comparing") << QStringLiteral("https://h/api/%65vent") << QStringLiteral("analytics");
    QTest::addRow("a trailing slash is dropped as the platform does") << QStringLiteral("https://h/api/event/") << QStringLiteral("analytics");
    QTest::addRow("the singular milestone path is other") << QStringLiteral("https://h/api/user/milestone") << QStringLiteral("other");
}

void TestPredicates::quickFiltersSortByRequestPath()
{
    QFETCH(QString, url);
    QFETCH(QString, accepting);
    const Exchange exchange = Exchange::fromRequest(request(id(1), url), QStringLiteral("App"));
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

QTEST_GUILESS_MAIN(TestPredicates)
#include "tst_predicates.moc"
