#include "MorvendaApp/session/Exchange.h"
#include "SessionFixtures.h"

#include <QTest>

using namespace fixtures;
using Status = Exchange::ResponseStatus;

struct ResponseShape
{
    std::optional<qint64> status;
    std::optional<Response::Source> source;
};

class TestExchange : public QObject
{
    Q_OBJECT

private slots:
    void responseStatus_data();
    void responseStatus();
    void duration_data();
    void duration();
    void equalityCoversEveryFieldAndHashesAgree();
};

void TestExchange::responseStatus_data()
{
    QTest::addColumn<QList<ResponseShape>>("responses");
    QTest::addColumn<std::optional<qint64>>("batchCount");
    QTest::addColumn<Status>("expected");
    const auto net = Response::Source::Network;
    const auto cache = Response::Source::Cache;
    const std::optional<qint64> none;
    QTest::addRow("no responses but a batch count of 5 is no response") << QList<ResponseShape>{} << std::optional<qint64>(5) << Status::NoResponse;
    QTest::addRow("199 is an error") << QList<ResponseShape>{{199, net}} << none << Status::Error;
    QTest::addRow("300 is an error") << QList<ResponseShape>{{300, net}} << none << Status::Error;
    QTest::addRow("200 and 299 are a success") << QList<ResponseShape>{{200, net}, {299, net}} << none << Status::Network;
    QTest::addRow("a missing status code is an error") << QList<ResponseShape>{{200, net}, {std::nullopt, net}} << none << Status::Error;
    QTest::addRow("batch is tested before cache") << QList<ResponseShape>{{200, net}, {200, cache}} << std::optional<qint64>(2) << Status::Batch;
    QTest::addRow("an error in a batch of three is an error") << QList<ResponseShape>{{404, net}} << std::optional<qint64>(3) << Status::Error;
    QTest::addRow("an absent source does not count as cache") << QList<ResponseShape>{{200, std::nullopt}} << none << Status::Network;
}

void TestExchange::responseStatus()
{
    QFETCH(QList<ResponseShape>, responses);
    QFETCH(std::optional<qint64>, batchCount);
    QFETCH(Status, expected);
    Exchange exchange = Exchange::fromRequest(request(id(1)), QStringLiteral("App"));
    for (const ResponseShape &shape : responses)
        exchange.appendResponse(response(id(1), id(7), shape.status, shape.source));
    exchange.setBatchCount(batchCount);
    QCOMPARE(exchange.responseStatus(), expected);
}

void TestExchange::duration_data()
{
    QTest::addColumn<std::optional<double>>("requestTime");
    QTest::addColumn<QList<std::optional<double>>>("responseTimes");
    QTest::addColumn<std::optional<double>>("expected");
    const std::optional<double> none;
    QTest::addRow("the last response decides") << std::optional<double>(10.0) << QList<std::optional<double>>{11.0, 12.25} << std::optional<double>(2.25);
    QTest::addRow("a last response without timestamp gives none") << std::optional<double>(10.0) << QList<std::optional<double>>{11.0, none} << none;
    QTest::addRow("a response before the request is negative") << std::optional<double>(10.0) << QList<std::optional<double>>{8.5} << std::optional<double>(-1.5);
    QTest::addRow("no responses gives none") << std::optional<double>(10.0) << QList<std::optional<double>>{} << none;
    QTest::addRow("a request without timestamp gives none") << none << QList<std::optional<double>>{11.0} << none;
}

void TestExchange::duration()
{
    QFETCH(std::optional<double>, requestTime);
    QFETCH(QList<std::optional<double>>, responseTimes);
    QFETCH(std::optional<double>, expected);
    Exchange exchange = Exchange::fromRequest(request(id(1), QStringLiteral("https://a.example/x"), std::nullopt, requestTime), QStringLiteral("App"));
    for (const std::optional<double> &time : responseTimes)
        exchange.appendResponse(response(id(1), id(7), 200, Response::Source::Network, time));
    QCOMPARE(exchange.duration(), expected);
}

void TestExchange::equalityCoversEveryFieldAndHashesAgree()
{
    const Exchange a = Exchange::fromRequest(request(id(1)), QStringLiteral("App"));
    const Exchange same = Exchange::fromRequest(request(id(1)), QStringLiteral("App"));
    QCOMPARE(a, same);
    QCOMPARE(qHash(a), qHash(same));

    Exchange described = a;
    described.setDescription(QStringLiteral("x"));
    QVERIFY(!(described == a));
    QVERIFY(a.description() == std::nullopt); // the copy changed alone

    Exchange counted = a;
    counted.setBatchCount(1);
    QVERIFY(!(counted == a));

    // Canonically equivalent peers ("é" precomposed and decomposed) are equal and hash alike.
    const Exchange composed = Exchange::fromRequest(request(id(1)), QStringLiteral("Caf\u00e9"));
    const Exchange decomposed = Exchange::fromRequest(request(id(1)), QStringLiteral("Cafe\u0301"));
    QCOMPARE(composed, decomposed);
    QCOMPARE(qHash(composed), qHash(decomposed));
}

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
