// The request-count model: what is counted once, what is not counted, where each request's
// second is, and that nothing the wire can carry breaks it.
#include "MorvendaApp/metrics/RequestAmountChartViewModel.h"
#include "MorvendaApp/session/FilterPredicate.h"
#include "MorvendaApp/session/MessageRepository.h"

#include "tests/session/SessionFixtures.h"

#include <QtTest>

#include <cmath>
#include <limits>

using fixtures::id;

namespace {

Request stamped(uint n, std::optional<double> time, std::optional<Method> method = Method::Get)
{
    return fixtures::request(id(n), QStringLiteral("https://shop.example/api/items"), std::nullopt, time, method);
}

int countAt(const RequestAmountChartViewModel &model, qint64 second, int series)
{
    const auto &seconds = model.buckets().seconds();
    const auto it = seconds.find(second);
    return it == seconds.end() ? 0 : int(it->second[std::size_t(series)]);
}

// Hides every exchange from the timeline.
class HideAll final : public FilterPredicate
{
public:
    PredicateRegister registration() const override { return PredicateRegister::all(); }
    bool match(const Exchange &) const override { return false; }
};

} // namespace

class TestRequestAmountChartViewModel : public QObject
{
    Q_OBJECT

private slots:
    void setupCountsTheLatestExchangeOnlyOnce()
    {
        MessageRepository repository;
        repository.addRequest(stamped(1, 100.25, Method::Post), QStringLiteral("App"));
        RequestAmountChartViewModel late;
        late.setup(repository);
        QCOMPARE(late.graphData().size(), 1);
        QCOMPARE(late.graphData().first(), (RequestAmountChartItem{id(1), 1, 100.25, QStringLiteral("post")}));

        // Shown again and again: one subscription, and re-reading the current value adds nothing.
        late.setup(repository);
        late.setup(repository);
        QSignalSpy appended(&late, &RequestAmountChartViewModel::itemAppended);
        repository.addRequest(stamped(2, 101), QStringLiteral("App"));
        QCOMPARE(appended.count(), 1);
        QCOMPARE(late.graphData().size(), 2);
    }

    void eachRequestCountsOnceAcrossItsResponses()
    {
        MessageRepository repository;
        RequestAmountChartViewModel model;
        model.setup(repository);
        repository.addRequest(stamped(1, 10), QStringLiteral("App"));
        repository.addResponse(fixtures::response(id(1), id(90)), QStringLiteral("App"));
        repository.addResponse(fixtures::response(id(1), id(91)), QStringLiteral("App"));
        QCOMPARE(model.graphData().size(), 1);

        // A response first: nothing, until its request arrives, at the request's own time.
        repository.addResponse(fixtures::response(id(2), id(92), 200, Response::Source::Network, 50.0), QStringLiteral("App"));
        QCOMPARE(model.graphData().size(), 1);
        repository.addRequest(stamped(2, 12.5), QStringLiteral("App"));
        QCOMPARE(model.graphData().size(), 2);
        QCOMPARE(model.graphData().last().time, 12.5);

        // The same message ID sent again (a duplicate from the app) is not counted twice.
        repository.addRequest(stamped(2, 13), QStringLiteral("App"));
        QCOMPARE(model.graphData().size(), 2);
        QCOMPARE(countAt(model, 12, 1), 1);
        QCOMPARE(countAt(model, 13, 1), 0);

        // The trash empties the chart, not the store; a response joining an old request counts
        // that request again, at the request's time.
        model.clear();
        QVERIFY(model.graphData().isEmpty());
        QVERIFY(model.buckets().seconds().empty());
        QCOMPARE(repository.exchangeCount(), 2);
        repository.addResponse(fixtures::response(id(1), id(93)), QStringLiteral("App"));
        QCOMPARE(model.graphData().size(), 1);
        QCOMPARE(model.graphData().first().time, 10.0);
        repository.addRequest(stamped(3, 20), QStringLiteral("App"));
        QCOMPARE(model.graphData().size(), 2);
    }

    void requestsWithoutMethodOrTimeAndHiddenOnes()
    {
        MessageRepository repository;
        repository.registerPredicate(std::make_shared<HideAll>());
        RequestAmountChartViewModel model;
        model.setup(repository);

        const double before = QDateTime::currentMSecsSinceEpoch() / 1000.0;
        repository.addRequest(stamped(1, std::nullopt, std::nullopt), QStringLiteral("App"));
        const double after = QDateTime::currentMSecsSinceEpoch() / 1000.0;
        QCOMPARE(repository.timelineCount(), 0);
        QCOMPARE(model.graphData().size(), 1);
        const RequestAmountChartItem item = model.graphData().first();
        QCOMPARE(item.series, QStringLiteral("-"));
        QVERIFY(item.time >= before && item.time <= after);
        QCOMPARE(countAt(model, qint64(std::floor(item.time)), 4), 1);
        // An exchange without its request adds nothing.
        QVERIFY(!model.makeItem(std::nullopt));
    }

    void secondsAreFlooredAndWildTimesAreCountedButNotDrawn_data()
    {
        QTest::addColumn<double>("time");
        QTest::addColumn<bool>("drawn");
        QTest::addColumn<qint64>("second");
        QTest::addRow("a second's start") << 3.0 << true << qint64(3);
        QTest::addRow("inside a second") << 3.999 << true << qint64(3);
        QTest::addRow("just before 1970") << -0.5 << true << qint64(-1);
        QTest::addRow("year 9999") << 253402300000.0 << true << qint64(253402300000);
        QTest::addRow("beyond every calendar") << 1e300 << false << qint64(0);
        QTest::addRow("far before every calendar") << -1e300 << false << qint64(0);
        QTest::addRow("past qint64 seconds") << 9.3e18 << false << qint64(0);
        QTest::addRow("infinite") << std::numeric_limits<double>::infinity() << false << qint64(0);
        QTest::addRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false << qint64(0);
    }

    void secondsAreFlooredAndWildTimesAreCountedButNotDrawn()
    {
        QFETCH(double, time);
        QFETCH(bool, drawn);
        QFETCH(qint64, second);
        MessageRepository repository;
        RequestAmountChartViewModel model;
        model.setup(repository);
        repository.addRequest(stamped(1, time, Method::Delete), QStringLiteral("App"));
        QCOMPARE(model.graphData().size(), 1);
        QCOMPARE(model.buckets().undrawableCount(), drawn ? 0 : 1);
        QCOMPARE(model.buckets().seconds().size(), drawn ? 1u : 0u);
        if (drawn)
            QCOMPARE(countAt(model, second, 3), 1);
    }
};

QTEST_GUILESS_MAIN(TestRequestAmountChartViewModel)
#include "tst_requestamountchartviewmodel.moc"
