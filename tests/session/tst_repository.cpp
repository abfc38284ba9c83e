#include "MorvendaApp/session/MessageRepository.h"
#include "SessionFixtures.h"
#include "TimelineMirror.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <malloc.h>

#include <atomic>

#include <vector>

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
    QStringList events;
};

FilterPredicatePtr peerIs(const QString &peer)
{
    return std::make_shared<KeypathFilterPredicate<QString>>(KeyPaths::peer, peer,
        [](const QString &read, const QString &stored) { return read == stored; });
}

FilterPredicatePtr pathContains(const QString &text)
{
    return std::make_shared<PathTextFilterPredicate>(PathTextFilterPredicate::Mode::Containing, text);
}

// One filter-bar step: "peer NAME", "path TEXT", "drop peer" or "request N /PATH".
void filterStep(MessageRepository &repository, const QString &step)
{
    const QStringList words = step.split(u' ');
    if (words[0] == QLatin1StringView("peer"))
        repository.registerPredicate(peerIs(words[1]));
    else if (words[0] == QLatin1StringView("path"))
        repository.registerPredicate(pathContains(words[1]));
    else if (words[0] == QLatin1StringView("drop"))
        repository.removePredicate(PredicateRegister::keypath(ExchangeKeyPath::Peer));
    else
        repository.addRequest(request(id(words[1].toUInt()), QStringLiteral("https://shop.example") + words[2]), kApp);
}

} // namespace

class TestRepository : public QObject
{
    Q_OBJECT

private slots:
    void rowsReadInPlaceFollowTheBatchButValuesDoNot();
    void changeSignalsPerOperation_data();
    void changeSignalsPerOperation();
    void filteringAgainPublishesOnlyTheRowsThatChanged_data();
    void filteringAgainPublishesOnlyTheRowsThatChanged();
    void aPeerFilterIsAskedOncePerPeer();
    void responsesToOneIdJoinInPlaceAndVersionsStayApart();
    void anExchangeInManyBatchesShowsTheOneThatChangedLast_data();
    void anExchangeInManyBatchesShowsTheOneThatChangedLast();
    void responsesEachInABatchOfItsOwnCostTheSameEach();
};

// Views read rows in place and must see a growing batch; values handed out keep what they showed.
// (A row held at an older version is the differential test's: its model freezes such rows.)
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
}

void TestRepository::changeSignalsPerOperation_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("expected");
    QTest::addRow("a new request inserts its row") << QStringLiteral("request 3") << QStringList{QStringLiteral("insert 2"), QStringLiteral("latest 3")};
    QTest::addRow("a response to a shown request replaces its row") << QStringLiteral("response 2 batch 7") << QStringList{QStringLiteral("replace 1"), QStringLiteral("latest 2")};
    QTest::addRow("a second batch member refreshes the batch before its own row")
        << QStringLiteral("response 2 batch 9") << QStringList{QStringLiteral("batch"), QStringLiteral("replace 1"), QStringLiteral("latest 2")};
    // The filter keeps every row, so registering it changes no row either.
    QTest::addRow("a rejected request touches no row") << QStringLiteral("filter then request 3") << QStringList{QStringLiteral("latest 3")};
    QTest::addRow("applying an unchanged filter changes no row") << QStringLiteral("apply") << QStringList{};
    QTest::addRow("clearing resets") << QStringLiteral("clear") << QStringList{QStringLiteral("reset")};
    QTest::addRow("updating the results of a key never registered changes nothing") << QStringLiteral("update other") << QStringList{};
    QTest::addRow("a batch scope publishes every latest exchange, then one reset")
        << QStringLiteral("batch") << QStringList{QStringLiteral("latest 3"), QStringLiteral("latest 3"), QStringLiteral("latest 2"), QStringLiteral("reset")};
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
    } else if (operation == QLatin1StringView("update other")) {
        repository.updatePredicateResults(PredicateRegister::other());
    } else if (operation == QLatin1StringView("batch")) {
        MessageRepository::BatchScope batch(repository);
        repository.addRequest(request(id(3)), kApp);
        repository.addResponse(response(id(3), id(9)), kApp);
        repository.addResponse(response(id(2), id(9)), kApp);
    }
    QCOMPARE(log.events, expected);
    QVERIFY(repository.latestExchange());  // a clear too keeps it for the views that show it
}

// An app that connects again under its name has the same peer filter registered again over the
// whole store: when the rows come out the same, a reset would make every view read them all
// again. Whatever is published, a view that follows it must show what the repository holds.
void TestRepository::filteringAgainPublishesOnlyTheRowsThatChanged_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QStringList>("expected");
    QTest::addRow("the same peer filter again publishes no row")
        << QStringList{QStringLiteral("peer App")} << QStringLiteral("peer App") << QStringList{};
    QTest::addRow("a first filter that keeps every row publishes no row")
        << QStringList{} << QStringLiteral("peer App") << QStringList{};
    QTest::addRow("a row kept at an older version shows the stored one")
        << QStringList{QStringLiteral("path /a"), QStringLiteral("request 1 /b")} << QStringLiteral("path /")
        << QStringList{QStringLiteral("replace 0")};
    QTest::addRow("a filter that hides rows resets") << QStringList{} << QStringLiteral("peer Elsewhere")
                                                     << QStringList{QStringLiteral("reset")};
    QTest::addRow("a filter that shows other rows of the same number resets")
        << QStringList{QStringLiteral("path /a/1")} << QStringLiteral("path /a/2") << QStringList{QStringLiteral("reset")};
    QTest::addRow("dropping the filter that hid rows resets")
        << QStringList{QStringLiteral("peer Elsewhere")} << QStringLiteral("drop peer")
        << QStringList{QStringLiteral("reset")};
}

void TestRepository::filteringAgainPublishesOnlyTheRowsThatChanged()
{
    QFETCH(QStringList, before);
    QFETCH(QString, step);
    MessageRepository repository;
    repository.addRequest(request(id(1), QStringLiteral("https://shop.example/a/1")), kApp);
    repository.addRequest(request(id(2), QStringLiteral("https://shop.example/a/2")), kApp);
    repository.addResponse(response(id(2), id(9)), kApp);
    for (const QString &earlier : before)
        filterStep(repository, earlier);
    TimelineMirror view(repository);
    ChangeLog log(repository);
    QSignalSpy pulses(&repository, &MessageRepository::currentTimelineChanged);
    filterStep(repository, step);
    QTEST(log.events, "expected");
    QCOMPARE(view.rows(), repository.currentTimeline());
    // Every assignment of the timeline is published, an equal one included.
    QCOMPARE(pulses.count(), 1);
}

// An app that connects again under its name has its filter matched over the whole store again:
// the test is asked once per peer, not once per exchange, and still decides for every exchange,
// a replaced one and those stored after a clear included.
void TestRepository::aPeerFilterIsAskedOncePerPeer()
{
    const QString file = QStringLiteral("file:///s.json");
    // The same name in a text of its own is the same peer.
    const QString appAgain(kApp.constData(), kApp.size());
    MessageRepository repository;
    for (uint n = 1; n <= 3000; ++n)
        repository.addRequest(request(id(n)), n % 3 ? (n % 2 ? kApp : appAgain) : file);
    repository.addRequest(request(id(3)), kApp);
    std::atomic<int> asked = 0;
    const auto peerFilter = [&](const QString &peer) {
        repository.registerPredicate(std::make_shared<KeypathFilterPredicate<QString>>(
            KeyPaths::peer, peer, [&asked](const QString &read, const QString &stored) {
                ++asked;
                return read == stored;
            }));
    };
    peerFilter(kApp);
    QCOMPARE_LE(asked.load(), 2);
    QCOMPARE(repository.timelineCount(), 2001);
    QCOMPARE(repository.timelineRow(id(3)), std::optional<qsizetype>(2));
    QCOMPARE(repository.timelineRow(id(6)), std::nullopt);

    repository.clear();
    repository.addRequest(request(id(1)), file);
    repository.addRequest(request(id(2)), kApp);
    peerFilter(file);
    QCOMPARE(repository.currentTimeline().size(), 1);
    QCOMPARE(repository.timelineAt(0).messageID(), id(1));
}

// An app that polls and reuses its ID: each response joins the stored exchange without copying
// the ones before it, while every version handed out keeps exactly the responses it had, and each
// response still replaces the row with a new revision.
void TestRepository::responsesToOneIdJoinInPlaceAndVersionsStayApart()
{
    constexpr int kResponses = 2000;
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    repository.addRequest(request(id(2)), kApp);
    ChangeLog log(repository);
    std::vector<Exchange> versions;
    QSet<const Response *> lists;
    quint64 revision = 0;
    for (int i = 0; i < kResponses; ++i) {
        repository.addResponse(response(id(1), id(9), 200, Response::Source::Network, double(i)), kApp);
        const Exchange &latest = *repository.latestExchange();
        QCOMPARE_GT(latest.revision(), revision);
        revision = latest.revision();
        versions.push_back(latest);
        lists.insert(&latest.responses().constFirst());
    }
    // One copy of the list per doubling of its length, not one per response.
    QCOMPARE_LE(lists.size(), 16);
    for (int i = 0; i < kResponses; ++i) {
        QCOMPARE(versions[size_t(i)].responses().size(), i + 1);
        QCOMPARE(versions[size_t(i)].responses().constLast().timestamp(), std::optional<double>(i));
    }
    QCOMPARE(log.events.count(QStringLiteral("replace 0")), kResponses);
    QCOMPARE(repository.timelineCount(), 2);

    // A version added to outside the store goes its own way; the store goes on with its own.
    Exchange fork = versions[10];
    fork.appendResponse(response(id(1), id(9), 500));
    repository.addResponse(response(id(1), id(9), 200, Response::Source::Cache), kApp);
    QCOMPARE(fork.responses().size(), 12);
    QCOMPARE(fork.responseStatus(), Exchange::ResponseStatus::Error);
    QCOMPARE(versions[10].responses().size(), 11);
    QCOMPARE(versions[10].responseStatus(), Exchange::ResponseStatus::Network);
    const std::optional<Exchange> stored = repository.exchange(id(1));
    QCOMPARE(stored->responses().size(), kResponses + 1);
    QCOMPARE(stored->responses().at(10), versions[10].responses().at(10));
    QCOMPARE(stored->responseStatus(), Exchange::ResponseStatus::Cache);
}

// An app that polls under one ID with a new batch ID each time belongs to every one of those
// batches. Its count is the one of the batch that changed last for it: the batch of its latest
// response, or an older batch of it that another exchange joined since.
void TestRepository::anExchangeInManyBatchesShowsTheOneThatChangedLast_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<std::optional<qint64>>("expected");
    QTest::addRow("its latest batch, of one") << QStringList{} << std::optional<qint64>(1);
    QTest::addRow("an old batch another exchange joined") << QStringList{QStringLiteral("2 in 7")} << std::optional<qint64>(2);
    QTest::addRow("the first batch another exchange joined") << QStringList{QStringLiteral("2 in 1")} << std::optional<qint64>(2);
    QTest::addRow("an old batch grown, then its own response in another")
        << QStringList{QStringLiteral("2 in 7"), QStringLiteral("3 in 7"), QStringLiteral("1 in 40")} << std::optional<qint64>(1);
    QTest::addRow("its own response again in a grown batch")
        << QStringList{QStringLiteral("2 in 7"), QStringLiteral("3 in 7"), QStringLiteral("1 in 40"), QStringLiteral("1 in 7")}
        << std::optional<qint64>(3);
    QTest::addRow("a request replaced it") << QStringList{QStringLiteral("2 in 7"), QStringLiteral("request 1")} << std::optional<qint64>();
    QTest::addRow("a request replaced it, then an old batch grew")
        << QStringList{QStringLiteral("2 in 7"), QStringLiteral("request 1"), QStringLiteral("3 in 12")} << std::optional<qint64>(2);
    QTest::addRow("two old batches grew by turns")
        << QStringList{QStringLiteral("2 in 7"), QStringLiteral("3 in 12"), QStringLiteral("4 in 7"), QStringLiteral("5 in 12"),
                       QStringLiteral("6 in 12")}
        << std::optional<qint64>(4);
}

void TestRepository::anExchangeInManyBatchesShowsTheOneThatChangedLast()
{
    QFETCH(QStringList, steps);
    QFETCH(std::optional<qint64>, expected);
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    for (uint batch = 1; batch <= 40; ++batch)
        repository.addResponse(response(id(1), id(1000 + batch)), kApp);
    for (const QString &step : steps) {
        const QStringList words = step.split(u' ');
        if (words[0] == QLatin1StringView("request"))
            repository.addRequest(request(id(words[1].toUInt())), kApp);
        else
            repository.addResponse(response(id(words[0].toUInt()), id(1000 + words[2].toUInt())), kApp);
    }
    QCOMPARE(repository.exchange(id(1))->batchCount(), expected);
    QCOMPARE(repository.timelineAt(0).batchCount(), expected);
}

// The bookkeeping of such an exchange stays the same size per response, however many batches it
// is in already (it once grew with the square of their number: 8,000 responses held 128 MB).
void TestRepository::responsesEachInABatchOfItsOwnCostTheSameEach()
{
    constexpr int kResponses = 8000;
    MessageRepository repository;
    repository.addRequest(request(id(1)), kApp);
    const size_t before = mallinfo2().uordblks;
    for (uint batch = 1; batch <= kResponses; ++batch)
        repository.addResponse(response(id(1), id(100'000 + batch)), kApp);
    const size_t grown = mallinfo2().uordblks - std::min(before, mallinfo2().uordblks);
    QCOMPARE_LT(grown, size_t(kResponses) * 2048);
    QCOMPARE(repository.exchange(id(1))->batchCount(), std::optional<qint64>(1));
    QCOMPARE(repository.batchMembers(id(100'000 + kResponses / 2)), QList<QUuid>{id(1)});
}

QTEST_GUILESS_MAIN(TestRepository)
#include "tst_repository.moc"
