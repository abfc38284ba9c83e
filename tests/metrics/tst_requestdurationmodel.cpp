// The request-duration view model against the repository: the path list, the selection and the
// graph data, kept row by row, compared with what a from-scratch pass over the timeline gives.
#include "DurationFixtures.h"

#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/RequestDurationPathListModel.h"
#include "MorvendaApp/session/FilterPredicate.h"
#include "MorvendaApp/session/MessageRepository.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <functional>

using namespace durationfixtures;

namespace {

// What the chart should show, computed from scratch over the published timeline.
struct Expected
{
    QStringList paths;
    QList<RequestDurationChartItem> graph;
};

Expected fromScratch(const MessageRepository &repository, const QSet<QString> &selected)
{
    Expected expected;
    QSet<QString> distinct;
    for (const Exchange &exchange : repository.currentTimeline()) {
        const std::optional<QString> path = RequestDurationPaths::pathKey(exchange);
        if (path)
            distinct.insert(*path);
        if (!selected.contains(path.value_or(QString())))
            continue;
        if (const std::optional<RequestDurationChartItem> item = RequestDurationPaths::makeItem(exchange))
            expected.graph.append(*item);
    }
    expected.paths = QStringList(distinct.cbegin(), distinct.cend());
    std::sort(expected.paths.begin(), expected.paths.end(), RequestDurationPaths::lessThan);
    return expected;
}

} // namespace

class TestRequestDurationModel : public QObject
{
    Q_OBJECT

private slots:
    void pathsAreDistinctAndSorted()
    {
        MessageRepository repository;
        RequestDurationChartViewModel model(repository);
        QAbstractItemModelTester tester(model.pathModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QStringList arriving = {QStringLiteral("/b"), QStringLiteral("/a?x=1"), QStringLiteral("/B"), QStringLiteral("/a?x=2"), QStringLiteral("/a"), QStringLiteral(""), QStringLiteral("/a/b"),
                                      QStringLiteral("/%41"), QStringLiteral("/A"), QStringLiteral("/\U0001F600"), QStringLiteral("/\uFF21"), QStringLiteral("/caf\u00e9"),
                                      QStringLiteral("/cafe\u0301"), QStringLiteral("/b#f"), QStringLiteral("?x")};
        uint n = 0;
        for (const QString &path : arriving)
            request(repository, ++n, path, 1.0);
        request(repository, ++n, QString(), 1.0); // no URL: not listed
        // Escapes stay as sent; query and fragment are cut. Code point order: "%" < "A" < "B" < "a";
        // U+FF21 before U+1F600 although UTF-16 says otherwise; the two spellings of "café" list once.
        const QStringList expected = {QStringLiteral(""), QStringLiteral("/%41"), QStringLiteral("/A"), QStringLiteral("/B"), QStringLiteral("/a"), QStringLiteral("/a/b"), QStringLiteral("/b"),
                                      QStringLiteral("/caf\u00e9"), QStringLiteral("/\uFF21"), QStringLiteral("/\U0001F600")};
        QCOMPARE(model.paths(), expected);
        QCOMPARE(pathsOf(*model.pathModel()), expected);

        // A fresh model over the same timeline agrees.
        RequestDurationChartViewModel again(repository);
        QCOMPARE(again.paths(), expected);
    }

    void unmeasurableInput()
    {
        MessageRepository repository;
        RequestDurationChartViewModel model(repository);
        model.selectAllPaths();
        model.togglePath(QStringLiteral("/a"));
        model.togglePath(QStringLiteral(""));

        request(repository, 1, QStringLiteral("/a"), std::nullopt); // no request time
        response(repository, 1, 12.0);
        request(repository, 2, QStringLiteral("/a"), 10.0); // no response time
        response(repository, 2, std::nullopt);
        request(repository, 3, QStringLiteral("/a"), 10.0); // no response
        response(repository, 4, 12.0);          // no request
        request(repository, 5, QString(), 10.0); // no URL
        response(repository, 5, 12.0);
        QVERIFY(model.graphData().isEmpty());
        QCOMPARE(model.paths(), QStringList({QStringLiteral("/a")}));

        // Equal start times, zero and negative durations, and times far outside the calendar are kept
        // as they are; drawing decides what it can show.
        request(repository, 6, QStringLiteral("/a"), 10.0);
        response(repository, 6, 10.0);
        request(repository, 7, QStringLiteral("/a"), 10.0);
        response(repository, 7, 8.0);
        request(repository, 8, QStringLiteral("/a"), 1e300);
        response(repository, 8, qQNaN());
        // The response joined last ends the item, although it is stamped earliest.
        request(repository, 9, QStringLiteral("/a"), 10.0);
        response(repository, 9, 13.0, 901);
        response(repository, 9, 9.0, 902);
        QCOMPARE(model.graphData().size(), 4);
        QCOMPARE(model.graphData().at(0).duration, 0.0);
        QCOMPARE(model.graphData().at(1).duration, -2.0);
        QVERIFY(qIsNaN(model.graphData().at(2).duration));
        QCOMPARE(model.graphData().at(3).endDate, 9.0);
        QCOMPARE(model.graphData().at(3).duration, -1.0);
    }

    // The filter lists literally and case-sensitively, also paths that arrive later; select all
    // takes every path, also those the filter hides, and the filter outlives the selection.
    void filterListsLiterallyAndSelectAllTakesHiddenPaths()
    {
        MessageRepository repository;
        uint n = 0;
        for (const QString &path : {QStringLiteral("/users"), QStringLiteral("/Users"), QStringLiteral("/v1.0/users/me"), QStringLiteral("/v100/x"), QStringLiteral("/orders")}) {
            request(repository, ++n, path, 1.0);
            response(repository, n, 2.0);
        }
        RequestDurationChartViewModel model(repository);
        QAbstractItemModelTester tester(model.filteredPathModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto selectedRows = [&] {
            QStringList rows;
            for (int row = 0; row < model.pathModel()->rowCount(); ++row) {
                if (model.pathModel()->index(row, 0).data(RequestDurationPathListModel::SelectedRole).toBool())
                    rows.append(model.pathModel()->index(row, 0).data().toString());
            }
            return rows;
        };

        model.setPathFilter(QStringLiteral("user"));
        QCOMPARE(pathsOf(*model.filteredPathModel()), QStringList({QStringLiteral("/users"), QStringLiteral("/v1.0/users/me")}));
        model.setPathFilter(QStringLiteral("v1.")); // "." is no wildcard
        QCOMPARE(pathsOf(*model.filteredPathModel()), QStringList({QStringLiteral("/v1.0/users/me")}));
        model.setPathFilter(QStringLiteral("nothing"));
        QCOMPARE(model.filteredPathModel()->rowCount(), 0);
        request(repository, 77, QStringLiteral("/nothing/here"), 2.0);
        QTRY_COMPARE(pathsOf(*model.filteredPathModel()), QStringList({QStringLiteral("/nothing/here")}));

        model.selectAllPaths();
        const QStringList all = model.paths();
        QCOMPARE(all.size(), 6);
        QCOMPARE(model.selectedPaths(), QSet<QString>(all.cbegin(), all.cend()));
        QCOMPARE(selectedRows(), all);
        QCOMPARE(model.graphData().size(), 5);
        model.deselectAllPaths();
        QVERIFY(model.selectedPaths().isEmpty());
        QVERIFY(selectedRows().isEmpty());
        QVERIFY(model.graphData().isEmpty());
        QCOMPARE(model.pathFilter(), QStringLiteral("nothing"));
        model.setPathFilter(QString());
        QCOMPARE(pathsOf(*model.filteredPathModel()), all);
    }

    // A stream of rows must not cost the views a pass over everything per row: they hear of the
    // new paths and items once per hand-over, while the model itself is current at every moment
    // and the user's own changes show at once.
    void arrivingRowsReachTheViewsInOneHandOver()
    {
        MessageRepository repository;
        RequestDurationChartViewModel model(repository);
        QAbstractItemModel *shown = model.filteredPathModel();
        QAbstractItemModelTester tester(shown, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.togglePath(QStringLiteral("/a"));
        QSignalSpy inserted(shown, &QAbstractItemModel::rowsInserted);
        QSignalSpy resets(shown, &QAbstractItemModel::modelReset);
        QSignalSpy graphChanges(&model, &RequestDurationChartViewModel::graphDataChanged);

        constexpr uint kRows = 1000;
        for (uint n = 1; n <= kRows; ++n) {
            request(repository, n, QStringLiteral("/p/%1").arg(n), 1.0);
            request(repository, kRows + n, QStringLiteral("/a"), 1.0);
            response(repository, kRows + n, 2.0, kRows + n);
        }
        QCOMPARE(model.paths().size(), qsizetype(kRows) + 1);
        QCOMPARE(model.graphData().size(), qsizetype(kRows));
        QCOMPARE(shown->rowCount(), 0);
        QTRY_COMPARE(pathsOf(*shown), model.paths());
        QTRY_COMPARE(graphChanges.count(), 1);
        // The new rows form one run: one insertion, and no reset that would lose the view's place.
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(resets.count(), 0);

        graphChanges.clear();
        model.togglePath(QStringLiteral("/a"));
        QCOMPARE(graphChanges.count(), 1);
        QVERIFY(model.graphData().isEmpty());
        request(repository, 3 * kRows, QStringLiteral("/new"), 1.0);
        model.setPathFilter(QStringLiteral("/new"));
        QCOMPARE(pathsOf(*shown), QStringList({QStringLiteral("/new")}));
    }

    // A reconnecting app re-applies the same filter: the timeline is published again unchanged, and
    // the chart is not handed the same graph to draw again, nor its path list reset. A reset that
    // did change rows (another filter, a batch of deliveries) still ends as a pass from scratch.
    void aResetOfAnUnchangedTimelineHandsNothingOver()
    {
        MessageRepository repository;
        RequestDurationChartViewModel model(repository);
        const auto peerFilter = [&](const QString &peer) {
            repository.registerPredicate(std::make_shared<KeypathFilterPredicate<QString>>(
                KeyPaths::peer, peer, [](const QString &a, const QString &b) { return a == b; }));
        };
        for (uint n = 1; n <= 40; ++n) {
            const QString peer = n % 4 ? QStringLiteral("Shop") : QStringLiteral("Other");
            request(repository, n, QStringLiteral("/p/%1").arg(n % 5), n, peer);
            response(repository, n, n + 0.25 * (n % 3), 900 + n, peer);
        }
        peerFilter(QStringLiteral("Shop"));
        model.togglePath(QStringLiteral("/p/1"));
        model.togglePath(QStringLiteral("/p/2"));
        QTRY_COMPARE(pathsOf(*model.filteredPathModel()), model.paths());
        QSignalSpy graphChanges(&model, &RequestDurationChartViewModel::graphDataChanged);
        QSignalSpy pathResets(model.pathModel(), &QAbstractItemModel::modelReset);
        const QList<RequestDurationChartItem> before = model.graphData();

        peerFilter(QStringLiteral("Shop"));
        QCOMPARE(model.graphData(), before);
        QCOMPARE(graphChanges.count(), 0);
        QCOMPARE(pathResets.count(), 0);

        for (const auto &change : std::initializer_list<std::function<void()>>{
                 [&] { peerFilter(QStringLiteral("Other")); },
                 [&] { repository.removePredicate(PredicateRegister::keypath(ExchangeKeyPath::Peer)); },
                 [&] {
                     const MessageRepository::BatchScope batch(repository);
                     request(repository, 7, QStringLiteral("/p/2"), 50.0, QStringLiteral("Shop"));
                     response(repository, 7, 51.5, 907, QStringLiteral("Shop"));
                     request(repository, 41, QStringLiteral("/p/1"), 60.0, QStringLiteral("Shop"));
                 },
                 [&] { peerFilter(QStringLiteral("Shop")); }}) {
            change();
            const Expected expected = fromScratch(repository, model.selectedPaths());
            QCOMPARE(model.paths(), expected.paths);
            QCOMPARE(model.graphData(), expected.graph);
        }
    }

    // A hand-over changes only the rows that changed, in place, in as many runs as the changes
    // make; a list changed all over is reset once instead.
    void pathListChangesRowsInPlace_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("insertions");
        QTest::addColumn<int>("removals");
        QTest::addColumn<int>("resets");
        const auto list = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts); };
        QTest::addRow("a path between two") << list("/a /c") << list("/a /b /c") << 1 << 0 << 0;
        QTest::addRow("paths at both ends") << list("/b") << list("/a /b /c") << 2 << 0 << 0;
        QTest::addRow("the empty path sorts first") << list("/a") << QStringList({QString(), QStringLiteral("/a")}) << 1 << 0 << 0;
        QTest::addRow("removals and insertions in one walk") << list("/a /b /c /d") << list("/b /bb /d /e") << 2 << 2 << 0;
        QTest::addRow("a run of neighbours is one insertion") << list("/a /z") << list("/a /b /c /d /z") << 1 << 0 << 0;
        QTest::addRow("everything leaves") << list("/a /b") << QStringList() << 0 << 1 << 0;
        QStringList even;
        QStringList all;
        for (int n = 0; n < 2 * int(RequestDurationPathListModel::kMaxChangeRuns) + 4; ++n) {
            all.append(QStringLiteral("/p%1").arg(n, 4, 10, QLatin1Char('0')));
            if (n % 2 == 0)
                even.append(all.last());
        }
        QTest::addRow("changes all over cost one reset") << even << all << 0 << 0 << 1;
    }

    void pathListChangesRowsInPlace()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(int, insertions);
        QFETCH(int, removals);
        QFETCH(int, resets);
        const QSet<QString> selection;
        RequestDurationPathListModel model(selection);
        model.resetPaths(before);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.syncTo(after);
        QCOMPARE(model.paths(), after);
        QCOMPARE(inserted.count(), insertions);
        QCOMPARE(removed.count(), removals);
        QCOMPARE(reset.count(), resets);
    }

    // Random deliveries, batches, filter changes, clears and selection changes: after every step the
    // incrementally kept state equals a pass over the published timeline.
    void randomSequencesMatchAFromScratchPass()
    {
        const QStringList pool = {QString(), QStringLiteral(""), QStringLiteral("/a"), QStringLiteral("/a?x=1"), QStringLiteral("/A"), QStringLiteral("/b"), QStringLiteral("/b/c"), QStringLiteral("/%41"),
                                  QStringLiteral("/caf\u00e9"), QStringLiteral("/cafe\u0301")};
        const QStringList peers = {QStringLiteral("Shop"), QStringLiteral("Other")};
        for (quint32 seed = 1; seed <= 40; ++seed) {
            QRandomGenerator random(seed);
            MessageRepository repository;
            auto model = std::make_unique<RequestDurationChartViewModel>(repository);
            QAbstractItemModelTester tester(model->pathModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
            QAbstractItemModelTester filteredTester(model->filteredPathModel(),
                                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
            const auto time = [&]() -> std::optional<double> {
                return random.bounded(8) == 0 ? std::nullopt : std::optional<double>(random.bounded(100) / 4.0);
            };
            const auto deliver = [&] {
                const uint n = random.bounded(25);
                const QString &peer = peers.at(random.bounded(2));
                if (random.bounded(2) == 0)
                    request(repository, n, pool.at(random.bounded(pool.size())), time(), peer);
                else
                    response(repository, n, time(), 900 + random.bounded(3), peer);
            };
            for (int step = 0; step < 150; ++step) {
                const uint action = random.bounded(100);
                if (action < 55) {
                    deliver();
                } else if (action < 62) {
                    const MessageRepository::BatchScope batch(repository);
                    for (uint k = random.bounded(1, 6); k > 0; --k)
                        deliver();
                } else if (action < 70) {
                    const QString peer = peers.at(random.bounded(2));
                    repository.registerPredicate(std::make_shared<KeypathFilterPredicate<QString>>(
                        KeyPaths::peer, peer, [](const QString &a, const QString &b) { return a == b; }));
                } else if (action < 75) {
                    repository.removePredicate(PredicateRegister::keypath(ExchangeKeyPath::Peer));
                } else if (action < 87) {
                    model->togglePath(pool.at(random.bounded(pool.size())).section(u'?', 0, 0));
                } else if (action < 91) {
                    model->selectAllPaths();
                } else if (action < 94) {
                    model->deselectAllPaths();
                } else if (action < 97) {
                    repository.clear();
                } else {
                    model->clear();
                }
                const Expected expected = fromScratch(repository, model->selectedPaths());
                QCOMPARE(model->paths(), expected.paths);
                QCOMPARE(pathsOf(*model->pathModel()), expected.paths);
                if (model->graphData() != expected.graph)
                    QFAIL(qPrintable(QStringLiteral("seed %1, step %2: graph data differs").arg(seed).arg(step)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRequestDurationModel)
#include "tst_requestdurationmodel.moc"
