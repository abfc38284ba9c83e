// The filter model against the real repository: which exchanges the timeline keeps for each
// filter and which keys stay registered as the inputs change.
#include "TimelineFixtures.h"

#include "MorvendaApp/timeline/FilterViewModel.h"

#include <QtTest>

using namespace timelinefixtures;

namespace {

// The message numbers of the timeline, in order.
QList<uint> shown(const MessageRepository &repository)
{
    QList<uint> numbers;
    for (const Exchange &exchange : repository.currentTimeline())
        numbers.append(exchange.messageID().data1);
    return numbers;
}

const QString kExchanges = QStringLiteral(
    "REQ 1 get /api/cart/items; REQ 2 post /api/Cart; REQ 3 get /api/event; RES 4 b1 200;"
    "REQ 5 get -; REQ 6 put /api/setting/assign; REQ 7 get /v1/api/user/milestones/3; REQ 8 - /api/event/more;"
    "REQ 9 get https://cart.example/api/x?cart=1");

} // namespace

class TestFilterViewModel : public QObject
{
    Q_OBJECT

private slots:
    void textFilter_data()
    {
        QTest::addColumn<TextFilter>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<uint>>("expected");
        QTest::addRow("a small-letter text finds small-letter paths only")
            << TextFilter::FilterIn << "cart" << QList<uint>{1};
        QTest::addRow("a capital text does not find the small-letter word")
            << TextFilter::FilterIn << "Cart" << QList<uint>{2};
        QTest::addRow("a word only in the host or query is never found")
            << TextFilter::FilterIn << "cart.example" << QList<uint>{};
        QTest::addRow("filtering out keeps paths without the text but hides exchanges without URL")
            << TextFilter::FilterOut << "cart" << QList<uint>{2, 3, 6, 7, 8, 9};
        QTest::addRow("one blank is a filter like any other") << TextFilter::FilterIn << " " << QList<uint>{};
    }

    void textFilter()
    {
        QFETCH(TextFilter, mode);
        QFETCH(QString, text);
        MessageRepository repository;
        run(repository, kExchanges);
        FilterViewModel filters(repository);
        filters.textFilter = mode;
        filters.filterInput = text;
        filters.applyTextFilter();
        QTEST(shown(repository), "expected");
    }

    // The method and text filters hold apart and apply to later exchanges too.
    void methodFilterBesideTheTextFilter()
    {
        MessageRepository repository;
        run(repository, kExchanges);
        FilterViewModel filters(repository);
        filters.methodFilter = Method::Get;
        filters.applyMethodFilter();
        QCOMPARE(shown(repository), (QList<uint>{1, 3, 5, 7, 9}));
        filters.filterInput = QStringLiteral("cart");
        filters.applyTextFilter();
        QCOMPARE(shown(repository), (QList<uint>{1}));
        run(repository, QStringLiteral("REQ 10 post /cart; REQ 11 get /cart; REQ 12 get /other; RES 13 b1 200"));
        QCOMPARE(shown(repository), (QList<uint>{1, 11}));

        filters.methodFilter = std::nullopt;
        filters.applyMethodFilter();
        QVERIFY(!repository.predicateKeys().contains(FilterViewModel::methodKey()));
        QCOMPARE(shown(repository), (QList<uint>{1, 10, 11}));
    }

    void quickFilter_data()
    {
        QTest::addColumn<QuickFilter>("filter");
        QTest::addColumn<QList<uint>>("expected");
        QTest::addRow("analytics matches the exact path only") << QuickFilter::Analytics << QList<uint>{3};
        QTest::addRow("settings matches a setting assignment") << QuickFilter::Settings << QList<uint>{6};
        QTest::addRow("milestones matches a longer path containing the milestone path")
            << QuickFilter::Milestones << QList<uint>{7};
        QTest::addRow("others keeps responses alone and requests without URL")
            << QuickFilter::Other << QList<uint>{1, 2, 4, 5, 8, 9};
    }

    void quickFilter()
    {
        QFETCH(QuickFilter, filter);
        MessageRepository repository;
        run(repository, kExchanges);
        FilterViewModel filters(repository);
        filters.setQuickFilter(filter);
        QTEST(shown(repository), "expected");
    }

    void quickFilterSwitchRemovesThenRegisters()
    {
        MessageRepository repository;
        run(repository, kExchanges);
        FilterViewModel filters(repository);
        filters.setQuickFilter(QuickFilter::Analytics);

        QList<QList<uint>> published;
        connect(&repository, &MessageRepository::timelineReset, this, [&] { published.append(shown(repository)); });
        filters.setQuickFilter(QuickFilter::Settings);
        // Once without either, once with the new one.
        QCOMPARE(published, (QList<QList<uint>>{{1, 2, 3, 4, 5, 6, 7, 8, 9}, {6}}));
        QVERIFY(repository.predicateKeys().contains(PredicateRegister::settings()));
        QVERIFY(!repository.predicateKeys().contains(PredicateRegister::analytics()));

        filters.setQuickFilter(std::nullopt);
        QVERIFY(repository.predicateKeys().isEmpty());
    }

    void peerAndFileShareOneKey()
    {
        MessageRepository repository;
        run(repository, QStringLiteral("REQ 1 get /a"), QStringLiteral("Shop"));
        run(repository, QStringLiteral("REQ 2 get /b"), QStringLiteral("file:///tmp/s.json"));
        FilterViewModel filters(repository);

        filters.currentPeerName = QStringLiteral("Shop");
        filters.applyPeerFilter();
        QCOMPARE(shown(repository), (QList<uint>{1}));

        // A file chosen while a connection is active replaces the connection's predicate.
        filters.currentOpenFile = QStringLiteral("file:///tmp/s.json");
        filters.applyOpenFileFilter();
        QCOMPARE(shown(repository), (QList<uint>{2}));

        // Losing the connection then leaves the file's predicate in place.
        filters.currentPeerName = std::nullopt;
        filters.applyPeerFilter();
        QCOMPARE(shown(repository), (QList<uint>{2}));

        // A connection chosen after a file replaces the file's predicate; losing it keeps its own.
        filters.currentPeerName = QStringLiteral("Shop");
        filters.applyPeerFilter();
        QCOMPARE(shown(repository), (QList<uint>{1}));
        filters.currentPeerName = std::nullopt;
        filters.applyPeerFilter();
        QCOMPARE(shown(repository), (QList<uint>{1}));
        QCOMPARE(repository.predicateKeys(), (QList<PredicateRegister>{FilterViewModel::peerKey()}));
    }
};

QTEST_GUILESS_MAIN(TestFilterViewModel)
#include "tst_filterviewmodel.moc"
