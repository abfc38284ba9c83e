#include "MorvendaApp/session/Logger.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void storesOneLinePerWrite_data();
    void storesOneLinePerWrite();
    void publishesInWriteOrderWithTheLineAlreadyStored();
    void linesFromAnotherThreadArriveInOrderOnTheOwnerThread();
};

void TestLogger::storesOneLinePerWrite_data()
{
    QTest::addColumn<bool>("isError");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addRow("a line feed between two words becomes one space")
        << false << QStringLiteral("two\nwords") << QStringLiteral("two words");
    QTest::addRow("an error line wraps the replaced text in the error marker")
        << true << QStringLiteral("two\nwords") << QStringLiteral("<ERROR: two words>");
    QTest::addRow("an empty plain text is an empty line") << false << QString() << QString();
    QTest::addRow("an empty error text closes the marker at once")
        << true << QString() << QStringLiteral("<ERROR: >");
    QTest::addRow("every line feed is replaced, carriage returns stay")
        << false << QStringLiteral("a\n\nb\r\n") << QStringLiteral("a  b\r ");
}

void TestLogger::storesOneLinePerWrite()
{
    QFETCH(bool, isError);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Logger logger;
    QSignalSpy spy(&logger, &Logger::updatedChanged);
    isError ? logger.error(text) : logger.append(text);
    QCOMPARE(logger.log(), QStringList{expected});
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<std::optional<QString>>(), std::optional<QString>(expected));
}

void TestLogger::publishesInWriteOrderWithTheLineAlreadyStored()
{
    Logger logger;
    QStringList seen;
    QList<qsizetype> sizesAtPublication;
    connect(&logger, &Logger::updatedChanged, this, [&](const std::optional<QString> &line) {
        seen.append(line.value_or(QStringLiteral("<none>")));
        sizesAtPublication.append(logger.log().size());
    });
    logger.append(QStringLiteral("first"));
    logger.error(QStringLiteral("second"));
    QCOMPARE(seen, (QStringList{QStringLiteral("first"), QStringLiteral("<ERROR: second>")}));
    QCOMPARE(sizesAtPublication, (QList<qsizetype>{1, 2}));
    QCOMPARE(logger.updated(), std::optional<QString>(QStringLiteral("<ERROR: second>")));
}

void TestLogger::linesFromAnotherThreadArriveInOrderOnTheOwnerThread()
{
    Logger logger;
    QStringList published;
    bool allOnOwnerThread = true;
    connect(&logger, &Logger::updatedChanged, this, [&](const std::optional<QString> &line) {
        allOnOwnerThread = allOnOwnerThread && QThread::currentThread() == logger.thread();
        published.append(*line);
    });
    QStringList expected;
    for (int i = 0; i < 200; ++i)
        expected.append(QString::number(i));
    QThread *writer = QThread::create([&] {
        for (const QString &line : std::as_const(expected))
            logger.append(line);
    });
    writer->start();
    QVERIFY(writer->wait(10000));
    delete writer;
    QTRY_COMPARE(published.size(), expected.size());
    QCOMPARE(published, expected);
    QCOMPARE(logger.log(), expected);
    QVERIFY(allOnOwnerThread);
}

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
