// The row model: incremental inserts and replacements from the repository's row signals (never a
// reset per message), the row-state cache, and the source switch handed to the filter model once
// per switch.
#include "TimelineFixtures.h"

#include "tests/support/LoopbackSession.h"

#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"

#include <QtTest>

using namespace timelinefixtures;

namespace {

void readEveryRow(const TimelineViewModel &model)
{
    for (int row = 0; row < model.rowCount(); ++row)
        (void)model.data(model.index(row), TimelineViewModel::RowStateRole);
}

struct Fixture : LoopbackSession
{
    FileHolder fileHolder;
    TimelineViewModel model{listener, repository, fileHolder};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
};

} // namespace

class TestTimelineViewModel : public QObject
{
    Q_OBJECT

private slots:
    void arrivalsInsertAndResponsesReplace()
    {
        Fixture f;
        QSignalSpy inserted(&f.model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&f.model, &QAbstractItemModel::dataChanged);
        QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);

        // A burst in one event-loop turn is one insertion; a later arrival is one more.
        for (uint n = 1; n <= 50; ++n)
            run(f.repository, QStringLiteral("REQ %1 get /a").arg(n));
        QTRY_COMPARE(f.model.rowCount(), 50);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(2).toInt(), 49);
        run(f.repository, QStringLiteral("REQ 51 post /b"));
        QTRY_COMPARE(f.model.rowCount(), 51);
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(f.model.rowState(50).badge->mainText, QStringLiteral("POST"));

        run(f.repository, QStringLiteral("RES 1 b1 200"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).value<QModelIndex>().row(), 0);
        QCOMPARE(f.model.rowState(0).badge->subText, QStringLiteral("200"));
        QCOMPARE(reset.count(), 0);
        QCOMPARE(f.model.rowOf(id(51)), 50);
    }

    // A response maps its row once more and a filter change is one reset that maps no unchanged
    // row again; IDs looked up after it find the rows shown since.
    void rowsAreMappedOnceAndLookupsFollowAFilter()
    {
        Fixture f;
        run(f.repository, QStringLiteral("REQ 1 get /a; REQ 2 post /b; REQ 3 get /c"));
        QTRY_COMPARE(f.model.rowCount(), 3);
        readEveryRow(f.model);
        const quint64 mapped = f.model.mappedRowCount();
        readEveryRow(f.model);
        QCOMPARE(f.model.mappedRowCount(), mapped);
        run(f.repository, QStringLiteral("RES 3 b1 200"));
        readEveryRow(f.model);
        QCOMPARE(f.model.mappedRowCount(), mapped + 1);

        QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);
        f.model.filterViewModel().methodFilter = Method::Get;
        f.model.filterViewModel().applyMethodFilter();
        readEveryRow(f.model);
        QCOMPARE(f.model.mappedRowCount(), mapped + 1);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(f.model.rowCount(), 2);
        QCOMPARE(f.model.messageID(1), id(3));
        QCOMPARE(f.model.rowOf(id(2)), std::nullopt);
        QCOMPARE(f.model.rowOf(id(4)), std::nullopt);
        QCOMPARE(f.model.rowOf(id(3)), 1);

        // The ID looked up before it arrived gets its row once it is shown.
        run(f.repository, QStringLiteral("REQ 4 get /d; REQ 5 get /e"));
        QTRY_COMPARE(f.model.rowCount(), 4);
        QCOMPARE(f.model.rowOf(id(4)), 2);
        QCOMPARE(f.model.rowOf(id(5)), 3);
        QCOMPARE(f.model.rowOf(id(1)), 0);
        QCOMPARE(f.model.rowOf(id(2)), std::nullopt);

        f.model.filterViewModel().methodFilter = std::nullopt;
        f.model.filterViewModel().applyMethodFilter();
        QCOMPARE(f.model.rowOf(id(5)), 4);
        QCOMPARE(f.model.rowOf(id(2)), 1);
    }

    void sourceSwitchesRebuildTheRows()
    {
        Fixture f;
        ScriptedPeer shop;
        const auto shopConnection = f.connectApp(shop, QStringLiteral("Shop"));
        QVERIFY(shopConnection);
        const QString file = QStringLiteral("file:///tmp/session.json");
        run(f.repository, QStringLiteral("REQ 1 get /a"), QStringLiteral("Shop"));
        run(f.repository, QStringLiteral("REQ 2 get /b"), file);
        run(f.repository, QStringLiteral("REQ 3 get /c"), QStringLiteral("Brand"));
        f.fileHolder.appendFile(file);

        f.listener.select(shopConnection);
        QTRY_COMPARE(f.model.rowCount(), 1);
        QCOMPARE(f.model.messageID(0), id(1));
        // Without a connection or a file every source shows.
        f.listener.select(nullptr);
        QTRY_COMPARE(f.model.rowCount(), 3);

        // The toolbar's file choice: the connection goes, then the file comes, in one rebuild.
        f.listener.select(shopConnection);
        QTRY_COMPARE(f.model.rowCount(), 1);
        QSignalSpy reset(&f.repository, &MessageRepository::timelineReset);
        f.listener.select(nullptr);
        f.fileHolder.setOpenedFile(file);
        QTRY_COMPARE(reset.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(f.model.rowCount(), 1);
        QCOMPARE(f.model.messageID(0), id(2));
    }

    // The watched app connects again under its name: its filter is applied again and gives the
    // same rows, so the views are told nothing and map no row again.
    void theWatchedAppConnectingAgainKeepsItsRows()
    {
        Fixture f;
        ScriptedPeer shop;
        const auto first = f.connectApp(shop, QStringLiteral("Shop"));
        QVERIFY(first);
        f.listener.select(first);
        for (uint n = 1; n <= 30; ++n)
            run(f.repository, QStringLiteral("REQ %1 get /a; RES %1 b%1 200").arg(n), n % 3 ? QStringLiteral("Shop") : QStringLiteral("Brand"));
        QTRY_COMPARE(f.model.rowCount(), 20);
        readEveryRow(f.model);
        const quint64 mapped = f.model.mappedRowCount();
        QSignalSpy pulses(&f.repository, &MessageRepository::currentTimelineChanged);
        QSignalSpy reset(&f.model, &QAbstractItemModel::modelReset);

        // The new connection takes the name's place, and the active one's.
        ScriptedPeer again;
        QVERIFY(again.connectTo(f.listener.serverPort()));
        again.handshake(QStringLiteral("Shop"));
        QTRY_VERIFY(f.listener.activeConnection() && f.listener.activeConnection() != first);
        QTRY_COMPARE(pulses.count(), 1);
        QCOMPARE(reset.count(), 0);
        QCOMPARE(f.model.rowCount(), 20);
        readEveryRow(f.model);
        QCOMPARE(f.model.mappedRowCount(), mapped);

        run(f.repository, QStringLiteral("REQ 31 get /b"), QStringLiteral("Shop"));
        QTRY_COMPARE(f.model.rowCount(), 21);
        QCOMPARE(f.model.messageID(20), id(31));
    }
};

QTEST_GUILESS_MAIN(TestTimelineViewModel)
#include "tst_timelineviewmodel.moc"
