#include "MorvendaApp/session/MessageRepository.h"
#include "SessionFixtures.h"

#include <QTest>

using namespace fixtures;

namespace {

const QString kApp = QStringLiteral("App");

// Every published change as one short word, in emission order.
class ChangeLog : public QObject
{
public:
    explicit ChangeLog(MessageRepository &repository)
    {
        connect(&repository, &MessageRepository::timelineRowInserted, this,
                [this](qsizetype row) { events << QStringLiteral("insert %1").arg(row); });
        connect(&repository, &MessageRepository::timelineRowReplaced, this,
                [this](qsizetype row) { events << QStringLiteral("replace %1").arg(row); });
        connect(&repository, &MessageRepository::timelineReset, this, [this] { events << QStringLiteral("reset"); });
        connect(&repository, &MessageRepository::timelineBatchCountsChanged, this,
                [this](const QUuid &) { events << QStringLiteral("batch"); });
        connect(&repository, &MessageRepository::latestExchangeChanged, this,
                [this](const Exchange &e) { events << QStringLiteral("latest %1").arg(e.messageID().data1); });
    }
    QStringList take() { return std::exchange(events, {}); }
    QStringList events;
};

QList<uint> ids(const QList<Exchange> &exchanges)
{
    QList<uint> result;
    for (const Exchange &exchange : exchanges)
        result.append(exchange.messageID().data1);
    return result;
}

QList<uint> ids(const QList<QUuid> &uuids)
{
    QList<uint> result;
    for (const QUuid &uuid : uuids)
        result.append(uuid.data1);
    return result;
}

FilterPredicatePtr peerIs(const QString &peer)
{
    return std::make_shared<KeypathFilterPredicate<QString>>(KeyPaths::peer, peer,
        [](const QString &read, const QString &stored) { return read == stored; });
}

} // namespace

class TestRepository : public QObject
{
    Q_OBJECT

private slots:
    void withoutPredicatesEverythingJoinsAtOnce();
    void aResponseWithoutRequestStartsAnExchange();
    void aResponseJoinsItsRequestInPlace();
    void batchMembersShareTheirCount();
    void rowsReadInPlaceFollowTheBatchButValuesDoNot();
    void theSameResponseTwiceCountsOnce();
    void aJoinedExchangeKeepsItsOldBatchID();
    void aRequestReplacesItsExchangeWhole();
    void aFailingExchangeStillEntersOtherResults();
    void updatingAnUnknownKeyDoesNothing();
    void clearKeepsFiltersAndForgetsResults();
    void removingAFilterWidensTheTimelineInOrder();
    void aRejectedNewVersionLeavesTheOldRowAlone();
    void changeSignalsPerOperation_data();
    void changeSignalsPerOperation();
    void aBatchScopeGivesOneReset();
    void largeStoresRecomputeResultsInOrder();
};

void TestRepository::withoutPredicatesEverythingJoinsAtOnce()
{
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    QCOMPARE(repository.latestExchange()->messageID(), id(1));
    repository.addResponse(response(id(2), id(9)), kApp);
    QCOMPARE(ids(repository.currentTimeline()), (QList<uint>{1, 2}));
    QCOMPARE(repository.latestExchange()->messageID(), id(2));
}

void TestRepository::aResponseWithoutRequestStartsAnExchange()
{
    MessageRepository repository;
    repository.addResponse(response(id(1), id(9)), QStringLiteral("Shop"));
    const Exchange exchange = *repository.exchange(id(1));
    QVERIFY(!exchange.request());
    QCOMPARE(exchange.peer(), QStringLiteral("Shop"));
    QCOMPARE(exchange.batchID(), std::optional<QUuid>(id(9)));
    QCOMPARE(exchange.batchCount(), std::optional<qint64>(1));
}

void TestRepository::aResponseJoinsItsRequestInPlace()
{
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    repository.addRequest(request(id(2)), kApp);
    repository.addResponse(response(id(1), id(9)), QStringLiteral("Other peer"));
    QCOMPARE(ids(repository.exchanges()), (QList<uint>{1, 2}));
    QCOMPARE(ids(repository.currentTimeline()), (QList<uint>{1, 2}));
    const Exchange joined = repository.timelineAt(0);
    QCOMPARE(joined.responses().size(), 1);
    QCOMPARE(joined.peer(), kApp);
    QCOMPARE(joined.batchCount(), std::optional<qint64>(1));
}

void TestRepository::batchMembersShareTheirCount()
{
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    repository.addRequest(request(id(2)), kApp);
    repository.addResponse(response(id(1), id(9)), kApp);
    const Exchange before = repository.timelineAt(0);
    repository.addResponse(response(id(2), id(9)), kApp);
    QCOMPARE(ids(repository.batchMembers(id(9))), (QList<uint>{1, 2}));
    for (qsizetype i = 0; i < 2; ++i) {
        QCOMPARE(repository.exchangeAt(i).batchCount(), std::optional<qint64>(2));
        QCOMPARE(repository.timelineAt(i).batchCount(), std::optional<qint64>(2));
    }
    QCOMPARE(repository.timelineAt(0).responseStatus(), Exchange::ResponseStatus::Batch);
    QCOMPARE(repository.latestExchange()->batchCount(), std::optional<qint64>(2));
    QCOMPARE(ids(repository.currentTimeline()), (QList<uint>{1, 2}));
    // A copy taken before the batch grew is a value of its own.
    QCOMPARE(before.batchCount(), std::optional<qint64>(1));
}

// Views read rows in place and must see a growing batch; values handed out keep what they showed,
// and a row held at an older version (its newer one failed the filter) never follows the batch.
void TestRepository::rowsReadInPlaceFollowTheBatchButValuesDoNot()
{
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    repository.addRequest(request(id(2)), kApp);
    repository.addResponse(response(id(1), id(9)), kApp);
    const Exchange &live = repository.timelineEntry(0);
    const Exchange value = repository.timelineAt(0);
    const std::optional<Exchange> latest = repository.latestExchange();
    repository.addResponse(response(id(2), id(9)), kApp);
    QCOMPARE(live.batchCount(), std::optional<qint64>(2));
    QCOMPARE(value.batchCount(), std::optional<qint64>(1));
    QCOMPARE(latest->batchCount(), std::optional<qint64>(2));

    // Only the app's exchanges pass; exchange 1, replaced by another peer's request, keeps its
    // row at the version that passed, frozen at the count it showed.
    repository.registerPredicate(std::make_shared<KeypathFilterPredicate<QString>>(
        KeyPaths::peer, kApp, [](const QString &value, const QString &wanted) { return value == wanted; }));
    QCOMPARE(repository.timelineCount(), 2);
    repository.addRequest(request(id(1)), QStringLiteral("Other peer"));
    QCOMPARE(repository.timelineEntry(0).peer(), kApp);
    QCOMPARE(repository.timelineEntry(0).responses().size(), 1);
    repository.addRequest(request(id(3)), kApp);
    repository.addResponse(response(id(3), id(9)), kApp);
    QCOMPARE(repository.timelineEntry(0).batchCount(), std::optional<qint64>(2));
    QCOMPARE(repository.timelineEntry(1).batchCount(), std::optional<qint64>(3));
    // Rebuilding the timeline shows every admitted exchange at its stored version.
    repository.applyFilter();
    QCOMPARE(repository.timelineEntry(0).peer(), QStringLiteral("Other peer"));
}

void TestRepository::theSameResponseTwiceCountsOnce()
{
    MessageRepository repository;
    repository.addResponse(response(id(1), id(9)), kApp);
    repository.addResponse(response(id(1), id(9)), kApp);
    QCOMPARE(ids(repository.batchMembers(id(9))), QList<uint>{1});
    QCOMPARE(repository.exchangeAt(0).batchCount(), std::optional<qint64>(1));
    QCOMPARE(repository.exchangeAt(0).responses().size(), 2);
}

void TestRepository::aJoinedExchangeKeepsItsOldBatchID()
{
    MessageRepository repository;
    repository.addResponse(response(id(1), id(8)), kApp);
    repository.addResponse(response(id(2), id(9)), kApp);
    repository.addResponse(response(id(1), id(9)), kApp);
    const Exchange joined = *repository.exchange(id(1));
    QCOMPARE(joined.batchID(), std::optional<QUuid>(id(8)));
    QCOMPARE(joined.batchCount(), std::optional<qint64>(2));
    // Batch 8 growing again makes exchange 1 show batch 8's count once more.
    repository.addResponse(response(id(3), id(8)), kApp);
    QCOMPARE(repository.exchange(id(1))->batchCount(), std::optional<qint64>(2));
    repository.addResponse(response(id(4), id(8)), kApp);
    QCOMPARE(repository.exchange(id(1))->batchCount(), std::optional<qint64>(3));
    QCOMPARE(repository.timelineAt(0).batchCount(), std::optional<qint64>(3));
}

void TestRepository::aRequestReplacesItsExchangeWhole()
{
    MessageRepository repository;
    repository.addResponse(response(id(1), id(9)), kApp);
    repository.addRequest(request(id(2)), kApp);
    repository.addRequest(request(id(1)), kApp);
    const Exchange replaced = repository.timelineAt(0);
    QCOMPARE(replaced.messageID(), id(1));
    QVERIFY(replaced.request());
    QVERIFY(replaced.responses().isEmpty());
    QCOMPARE(replaced.batchID(), std::nullopt);
    QCOMPARE(replaced.batchCount(), std::nullopt);
    // It is still a member of its batch: the batch growing gives it the count again.
    repository.addResponse(response(id(2), id(9)), kApp);
    QCOMPARE(repository.timelineAt(0).batchCount(), std::optional<qint64>(2));
}

void TestRepository::aFailingExchangeStillEntersOtherResults()
{
    MessageRepository repository;
    repository.registerPredicate(std::make_shared<AnalyticsFilterPredicate>());
    repository.registerPredicate(peerIs(QStringLiteral("Shop")));
    repository.addRequest(request(id(1), QStringLiteral("https://h/api/items")), QStringLiteral("Shop"));
    QCOMPARE(repository.timelineCount(), 0);
    QCOMPARE(ids(repository.predicateResults(PredicateRegister::keypath(ExchangeKeyPath::Peer))), QList<uint>{1});
    QVERIFY(repository.predicateResults(PredicateRegister::analytics()).isEmpty());
}

void TestRepository::updatingAnUnknownKeyDoesNothing()
{
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    ChangeLog log(repository);
    repository.updatePredicateResults(PredicateRegister::other());
    QVERIFY(log.events.isEmpty());
    QCOMPARE(repository.timelineCount(), 1);
}

// The reopened session after a clear brings back the same message IDs: an old result must not
// admit them.
void TestRepository::clearKeepsFiltersAndForgetsResults()
{
    MessageRepository repository;
    repository.registerPredicate(peerIs(QStringLiteral("Shop")));
    repository.addRequest(request(id(1)), QStringLiteral("Shop"));
    repository.clear();
    QCOMPARE(repository.timelineCount(), 0);
    QCOMPARE(repository.latestExchange()->messageID(), id(1));
    QVERIFY(repository.predicateResults(PredicateRegister::keypath(ExchangeKeyPath::Peer)).isEmpty());
    repository.addRequest(request(id(1)), QStringLiteral("Brand"));
    repository.applyFilter();
    QCOMPARE(repository.timelineCount(), 0);
    repository.addRequest(request(id(2)), QStringLiteral("Shop"));
    QCOMPARE(ids(repository.currentTimeline()), QList<uint>{2});
}

void TestRepository::removingAFilterWidensTheTimelineInOrder()
{
    MessageRepository repository;
    repository.registerPredicate(peerIs(QStringLiteral("Shop")));
    repository.addRequest(request(id(1)), QStringLiteral("Brand"));
    repository.addRequest(request(id(2)), QStringLiteral("Shop"));
    repository.addRequest(request(id(3)), QStringLiteral("Brand"));
    QCOMPARE(ids(repository.currentTimeline()), QList<uint>{2});
    repository.removePredicate(PredicateRegister::keypath(ExchangeKeyPath::Peer));
    QCOMPARE(ids(repository.currentTimeline()), (QList<uint>{1, 2, 3}));
}

void TestRepository::aRejectedNewVersionLeavesTheOldRowAlone()
{
    MessageRepository repository;
    repository.registerPredicate(std::make_shared<OtherFilterPredicate>());
    repository.addRequest(request(id(1), QStringLiteral("https://h/api/items")), kApp);
    repository.addResponse(response(id(1), id(9)), kApp);
    repository.addRequest(request(id(1), QStringLiteral("https://h/api/event")), kApp);
    QCOMPARE(repository.timelineCount(), 1);
    QCOMPARE(repository.timelineAt(0).responses().size(), 1);
    QCOMPARE(repository.exchange(id(1))->responses().size(), 0);
    // Growth of the old row's batch no longer shows in that row: it is an older version.
    repository.addResponse(response(id(2), id(9)), kApp);
    QCOMPARE(repository.timelineAt(0).batchCount(), std::optional<qint64>(1));
    QCOMPARE(repository.exchange(id(1))->batchCount(), std::optional<qint64>(2));
}

void TestRepository::changeSignalsPerOperation_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("expected");
    QTest::addRow("a new request inserts its row") << QStringLiteral("request 3") << QStringList{QStringLiteral("insert 2"), QStringLiteral("latest 3")};
    QTest::addRow("a response to a shown request replaces its row") << QStringLiteral("response 2 batch 7") << QStringList{QStringLiteral("replace 1"), QStringLiteral("latest 2")};
    QTest::addRow("a second batch member refreshes the batch before its own row")
        << QStringLiteral("response 2 batch 9") << QStringList{QStringLiteral("batch"), QStringLiteral("replace 1"), QStringLiteral("latest 2")};
    QTest::addRow("a rejected request touches no row") << QStringLiteral("filter then request 3") << QStringList{QStringLiteral("reset"), QStringLiteral("latest 3")};
    QTest::addRow("applying the filter resets") << QStringLiteral("apply") << QStringList{QStringLiteral("reset")};
    QTest::addRow("clearing resets and keeps the latest exchange") << QStringLiteral("clear") << QStringList{QStringLiteral("reset")};
}

void TestRepository::changeSignalsPerOperation()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, expected);
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    repository.addRequest(request(id(2)), kApp);
    repository.addResponse(response(id(1), id(9)), kApp);
    ChangeLog log(repository);
    if (operation == QLatin1StringView("request 3")) {
        repository.addRequest(request(id(3)), kApp);
    } else if (operation == QLatin1StringView("response 2 batch 7")) {
        repository.addResponse(response(id(2), id(7)), kApp);
    } else if (operation == QLatin1StringView("response 2 batch 9")) {
        repository.addResponse(response(id(2), id(9)), kApp);
    } else if (operation == QLatin1StringView("filter then request 3")) {
        repository.registerPredicate(peerIs(kApp));
        repository.addRequest(request(id(3)), QStringLiteral("Elsewhere"));
    } else if (operation == QLatin1StringView("apply")) {
        repository.applyFilter();
    } else if (operation == QLatin1StringView("clear")) {
        repository.clear();
    }
    QCOMPARE(log.take(), expected);
}

void TestRepository::aBatchScopeGivesOneReset()
{
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    ChangeLog log(repository);
    {
        MessageRepository::BatchScope batch(repository);
        repository.addRequest(request(id(2)), kApp);
        repository.addResponse(response(id(2), id(9)), kApp);
        repository.addResponse(response(id(1), id(9)), kApp);
    }
    QCOMPARE(log.take(), (QStringList{QStringLiteral("latest 2"), QStringLiteral("latest 2"), QStringLiteral("latest 1"), QStringLiteral("reset")}));
    QCOMPARE(repository.timelineAt(1).batchCount(), std::optional<qint64>(2));
}

// Large stores match in parallel ranges; the results must still come out in arrival order.
void TestRepository::largeStoresRecomputeResultsInOrder()
{
    MessageRepository repository;
    const uint count = 150000;
    for (uint i = 1; i <= count; ++i)
        repository.addRequest(request(id(i)), i % 3 == 0 ? QStringLiteral("Shop") : QStringLiteral("Brand"));
    repository.registerPredicate(peerIs(QStringLiteral("Shop")));
    const QList<QUuid> results = repository.predicateResults(PredicateRegister::keypath(ExchangeKeyPath::Peer));
    QCOMPARE(results.size(), qsizetype(count / 3));
    bool inOrder = true;
    for (qsizetype k = 0; k < results.size(); ++k)
        inOrder = inOrder && results[k] == id(uint(3 * (k + 1)));
    QVERIFY(inOrder);
    QCOMPARE(repository.timelineCount(), qsizetype(count / 3));
    QCOMPARE(repository.timelineAt(repository.timelineCount() - 1).messageID(), id(count));
}

QTEST_GUILESS_MAIN(TestRepository)
#include "tst_repository.moc"
