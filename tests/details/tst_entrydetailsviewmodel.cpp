// The exchange details' state without widgets: which request and response the panes show by
// filter and index, the duration text, and looking the exchange up again only when it changed.
#include "MorvendaApp/details/EntryDetailsViewModel.h"

#include "MorvendaApp/session/MessageRepository.h"

#include <QSignalSpy>
#include <QTest>

using Filter = EntryDetailsViewModel::Filter;

namespace {

const QString kPeer = QStringLiteral("Shop");

Request request(const QUuid &id, double timestamp = 100.0)
{
    return Request(id, Url::fromText(QStringLiteral("https://h/p")), Method::Get, timestamp, std::nullopt, {});
}

Response response(const QUuid &id, std::optional<double> timestamp, qint64 status = 200)
{
    return Response(id, QUuid::createUuid(), status, std::nullopt, Response::Source::Network, timestamp, {}, std::nullopt);
}

} // namespace

class TestEntryDetailsViewModel : public QObject
{
    Q_OBJECT

private:
    MessageRepository m_repository;
    QUuid m_three = QUuid::createUuid();
    QUuid m_one = QUuid::createUuid();
    QUuid m_orphan = QUuid::createUuid();
    QUuid m_pending = QUuid::createUuid();
    QUuid m_notFinite = QUuid::createUuid();

private slots:
    void init()
    {
        m_repository.clear();
        m_repository.addRequest(request(m_three), kPeer);
        for (int i = 0; i < 3; ++i)
            m_repository.addResponse(response(m_three, 100.25 + i), kPeer);
        m_repository.addRequest(request(m_one), kPeer);
        m_repository.addResponse(response(m_one, 99.75), kPeer);
        m_repository.addResponse(response(m_orphan, 5.0), kPeer);
        m_repository.addRequest(request(m_pending), kPeer);
        m_repository.addRequest(request(m_notFinite, std::numeric_limits<double>::quiet_NaN()), kPeer);
        m_repository.addResponse(response(m_notFinite, 1e300), kPeer);
    }

    void panesFollowTheFilterAndTheIndex_data()
    {
        QTest::addColumn<int>("exchange");
        QTest::addColumn<Filter>("filter");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("request");
        QTest::addColumn<bool>("response");
        QTest::addRow("all shows both") << 0 << Filter::All << 2 << true << true;
        QTest::addRow("request only") << 0 << Filter::Request << 0 << true << false;
        QTest::addRow("response only") << 0 << Filter::Response << 1 << false << true;
        QTest::addRow("an index past the end hides the response") << 0 << Filter::All << 3 << true << false;
        QTest::addRow("a negative index hides the response") << 0 << Filter::All << -1 << true << false;
        QTest::addRow("no request, all") << 2 << Filter::All << 0 << false << true;
        QTest::addRow("no request, request only shows nothing") << 2 << Filter::Request << 0 << false << false;
        QTest::addRow("no response yet") << 3 << Filter::All << 0 << true << false;
    }
    void panesFollowTheFilterAndTheIndex()
    {
        QFETCH(int, exchange);
        QFETCH(Filter, filter);
        QFETCH(int, index);
        QFETCH(bool, request);
        QFETCH(bool, response);
        EntryDetailsViewModel model(m_repository);
        model.setSelectedMessageID(QList<QUuid>{m_three, m_one, m_orphan, m_pending}.at(exchange));
        model.setFilter(filter);
        model.setResponseSelection(index);
        QCOMPARE(model.shownRequest().has_value(), request);
        QCOMPARE(model.shownResponse().has_value(), response);
        if (response)
            QCOMPARE(model.shownResponse()->timestamp(), model.exchange()->responses().at(index).timestamp());
    }

    void durationIsWrittenWithFourDecimals()
    {
        EntryDetailsViewModel model(m_repository);
        const auto duration = [&model](const QUuid &id) {
            model.setSelectedMessageID(id);
            return model.durationText().value_or(QString());
        };
        // A response stamped earlier is negative, no request gives none, and times that are not
        // finite do not break it.
        QCOMPARE(duration(m_one), QStringLiteral("Duration: -0.2500 seconds"));
        QCOMPARE(duration(m_orphan), QString());
        QCOMPARE(duration(m_notFinite), QStringLiteral("Duration: nan seconds"));
    }

    void onlyChangesOfTheSelectedExchangeAreNoticed()
    {
        EntryDetailsViewModel model(m_repository);
        model.setSelectedMessageID(m_pending);
        QSignalSpy changed(&model, &EntryDetailsViewModel::exchangeChanged);
        m_repository.addResponse(response(m_one, 1.0), kPeer);
        m_repository.addRequest(request(QUuid::createUuid()), kPeer);
        QCOMPARE(changed.size(), 0);

        m_repository.addResponse(response(m_pending, 101.0), kPeer);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.responseCount(), 1);
        m_repository.addResponse(response(m_pending, 102.0), kPeer);
        QCOMPARE(changed.size(), 2);
        QVERIFY(model.showsResponsePicker());

        // A rebuilt timeline that leaves the exchange as it was is no change.
        m_repository.applyFilter();
        QCOMPARE(changed.size(), 2);

        // Clearing the store leaves the ID without exchange until it comes again.
        m_repository.clear();
        QCOMPARE(changed.size(), 3);
        QVERIFY(!model.exchange());
        QCOMPARE(model.selectedMessageID(), std::optional<QUuid>(m_pending));
        m_repository.addRequest(request(m_pending), kPeer);
        QCOMPARE(changed.size(), 4);
        QVERIFY(model.shownRequest());
    }
};

QTEST_GUILESS_MAIN(TestEntryDetailsViewModel)
#include "tst_entrydetailsviewmodel.moc"
