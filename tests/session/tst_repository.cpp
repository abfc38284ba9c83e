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
    void rowsReadInPlaceFollowTheBatchButValuesDoNot();
    void updatingAnUnknownKeyDoesNothing();
    void clearKeepsFiltersAndForgetsResults();
    void changeSignalsPerOperation_data();
    void changeSignalsPerOperation();
    void aBatchScopeGivesOneReset();
    void largeStoresRecomputeResultsInOrder();
};

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
