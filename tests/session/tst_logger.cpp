#include "MorvendaApp/session/Logger.h"

#include <QTest>
#include <QThread>

#include <numeric>

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void storesOneLinePerWrite_data();
    void storesOneLinePerWrite();
    void linesFromAnotherThreadArriveInOrderOnTheOwnerThread();
    void staysWithinItsBudgetKeepingTheNewestLines_data();
    void staysWithinItsBudgetKeepingTheNewestLines();
    void aLongLineIsCutAndSaysHowMuch();
};

void TestLogger::storesOneLinePerWrite_data()
{
    QTest::addColumn<bool>("isError");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addRow("an error line wraps the replaced text in the error marker")
        << true << QStringLiteral("two\nwords") << QStringLiteral("<ERROR: two words>");
    QTest::addRow("an empty plain text is an empty line") << false << QString() << QString();
    QTest::addRow("an empty error text closes the marker at once")
        << true << QString() << QStringLiteral("<ERROR: >");
    QTest::addRow("every line feed is replaced, carriage returns stay")
        << false << QStringLiteral("a\n\nb\r\n") << QStringLiteral("a  b\r ");
}

// Published once per write, with the line already stored when the signal arrives.
void TestLogger::storesOneLinePerWrite()
{
    QFETCH(bool, isError);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Logger logger;
    QList<std::optional<QString>> published;
    qsizetype storedAtPublication = -1;
    connect(&logger, &Logger::updatedChanged, this, [&](const std::optional<QString> &line) {
        published.append(line);
        storedAtPublication = logger.log().size();
    });
    isError ? logger.error(text) : logger.append(text);
    QCOMPARE(logger.log(), QStringList{expected});
    QCOMPARE(published, QList<std::optional<QString>>{expected});
    QCOMPARE(storedAtPublication, 1);
    QCOMPARE(logger.updated(), std::optional<QString>(expected));
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

void TestLogger::staysWithinItsBudgetKeepingTheNewestLines_data()
{
    QTest::addColumn<qsizetype>("lineLength");
    QTest::addColumn<int>("lines");
    QTest::addRow("long lines reach the character budget") << Logger::maxLineLength << 3000;
    QTest::addRow("short lines reach the line budget") << qsizetype(20) << int(Logger::maxLines * 3);
}

void TestLogger::staysWithinItsBudgetKeepingTheNewestLines()
{
    QFETCH(qsizetype, lineLength);
    QFETCH(int, lines);
    Logger logger;
    const auto characters = [&logger] {
        return std::accumulate(logger.log().cbegin(), logger.log().cend(), qsizetype(0),
                               [](qsizetype sum, const QString &line) { return sum + line.size(); });
    };
    QStringList written;
    for (int i = 0; i < lines; ++i) {
        written.append(QStringLiteral("%1 ").arg(i, 6) + QString(lineLength - 7, u'x'));
        logger.append(written.last());
        // Checked along the way, not only at the end: the budget holds at every step.
        if (i % 997 == 0) {
            QVERIFY(characters() <= Logger::maxCharacters + 100);
            QVERIFY(logger.log().size() <= Logger::maxLines + 1);
        }
    }
    const QStringList &log = logger.log();
    const qsizetype kept = log.size() - 1;
    QVERIFY(kept > 0 && logger.droppedLines() == lines - kept);
    QCOMPARE(log.first(), QStringLiteral("… %1 earlier lines were dropped; the log keeps only its newest lines").arg(lines - kept));
    QCOMPARE(log.mid(1), written.mid(lines - kept)); // the newest lines, whole and in order
    QVERIFY(characters() <= Logger::maxCharacters + 100);

    // Clearing forgets the dropped lines too.
    logger.clear();
    logger.append(QStringLiteral("fresh"));
    QCOMPARE(logger.log(), QStringList{QStringLiteral("fresh")});
    QCOMPARE(logger.droppedLines(), 0);
}

void TestLogger::aLongLineIsCutAndSaysHowMuch()
{
    Logger logger;
    logger.append(QStringLiteral("Received client handshake: ") + QString(200'000, u'n'));
    logger.error(QString(Logger::maxLineLength, u'e') + QStringLiteral("\nmore"));
    const QString cutNote = QStringLiteral(" … (%1 characters more)").arg(200'027 - Logger::maxLineLength);
    QCOMPARE(logger.log().at(0).size(), Logger::maxLineLength + cutNote.size());
    QVERIFY(logger.log().at(0).endsWith(QStringLiteral("nnn") + cutNote));
    // An error line keeps its closing marker.
    QVERIFY(logger.log().at(1).endsWith(QStringLiteral("eee … (5 characters more)>")));
}

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
