// The measuring tools' arithmetic and state: rows and durations from pointer heights, reference
// times, seconds labels (run under a German locale on purpose), and the hover and drag rules.
#include "MorvendaApp/metrics/RequestDurationMeasure.h"
#include "MorvendaApp/metrics/RequestDurationMeasuringTools.h"

#include <QLocale>
#include <QTest>

#include <clocale>

class TestRequestDurationMeasure : public QObject
{
    Q_OBJECT

private slots:
    void heightsReadAsRowsAndDurations_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("hasRow");
        QTest::addColumn<qint64>("row");
        QTest::addColumn<double>("duration");
        QTest::addRow("0.5 rounds away from zero to 1") << 0.5 << true << qint64(1) << 0.5;
        QTest::addRow("-0.5 rounds away from zero to -1") << -0.5 << true << qint64(-1) << 0.0;
        QTest::addRow("2^53 is still a row") << 9007199254740992.0 << true << qint64(9007199254740992LL) << 9007199254740992.0;
        QTest::addRow("NaN gives none") << qQNaN() << false << qint64(0) << 0.0;
        QTest::addRow("infinity gives none") << qInf() << false << qint64(0) << 0.0;
        QTest::addRow("1e30 gives no row") << 1e30 << false << qint64(0) << 1e30;
        QTest::addRow("beyond -2^53 gives none") << -9007199254740994.0 << false << qint64(0) << 0.0;
    }

    void heightsReadAsRowsAndDurations()
    {
        QFETCH(double, value);
        QFETCH(bool, hasRow);
        QFETCH(qint64, row);
        const std::optional<qint64> found = RequestDurationMeasure::rowAt(value);
        QCOMPARE(found.has_value(), hasRow);
        if (hasRow)
            QCOMPARE(*found, row);
        QTEST(RequestDurationMeasure::durationAt(value), "duration");
    }

    void secondsLabelsKeepSixDecimalsAndAFullStop()
    {
        QCOMPARE(QLocale().decimalPoint(), QStringLiteral(",")); // the locale set up in main() is in effect
        QCOMPARE(RequestDurationMeasure::secondsText(0.25), QStringLiteral("0.250000 s"));
        QCOMPARE(RequestDurationMeasure::secondsText(-1.5), QStringLiteral("-1.500000 s"));
        QCOMPARE(RequestDurationMeasure::secondsText(2.0000004), QStringLiteral("2.000000 s"));
        QCOMPARE(RequestDurationMeasure::secondsText(12345.5), QStringLiteral("12345.500000 s")); // not grouped
    }

    void extentSkipsTimesOutsideTheCalendar()
    {
        using Item = RequestDurationChartItem;
        QVERIFY(!RequestDurationMeasure::extentOf({}));
        QVERIFY(!RequestDurationMeasure::extentOf({Item{{}, qQNaN(), 1.0, qQNaN(), {}}}));

        const QList<Item> items = {
            Item{{}, 2.0, 11.0, 13.0, {}},
            Item{{}, 4.0, 10.0, 14.0, {}},
            Item{{}, 1.0, 1e300, 1e300 + 1, {}}, // out of the calendar: ignored
            Item{{}, -3.0, 12.0, 9.0, {}},       // negative duration: its start counts, its end does not win
            Item{{}, 0.0, 11.0, 11.0, {}},
        };
        const std::optional<RequestDurationMeasure::Extent> extent = RequestDurationMeasure::extentOf(items);
        QVERIFY(extent);
        QCOMPARE(std::tuple(extent->firstStart, extent->lastStart, extent->lastEnd), std::tuple(10.0, 12.0, 14.0));
    }

    void aDragHidesTheHoverTimeAndKeepsItsLastReadableBand()
    {
        RequestDurationMeasuringTools tools(RequestDurationMeasuringTools::Kind::Bar);
        tools.hover(10.5, 2);
        QCOMPARE(tools.hoverTime(), 10.5);
        QCOMPARE(tools.hoverValue(), 2.0);

        // Every drag change hides the hover time but keeps the height read-out.
        tools.dragChanged(10.0, 12.0);
        QVERIFY(!tools.hoverTime());
        QCOMPARE(tools.hoverValue(), 2.0);
        QCOMPARE(tools.dragMark(), std::pair(10.0, 12.0));

        // A drag whose end cannot be read keeps the last band.
        tools.dragChanged(10.0, std::nullopt);
        QCOMPARE(tools.dragMark(), std::pair(10.0, 12.0));
    }
};

// Labels must not follow the user's locale: run everything under a German one, which writes
// decimal commas.
int main(int argc, char **argv)
{
    qputenv("LC_ALL", "de_DE.UTF-8");
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TestRequestDurationMeasure test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_requestdurationmeasure.moc"
