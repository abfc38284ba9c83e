// Axis ticks: nice steps over spans from a second to a month, on local clock boundaries, one
// decimal point whatever the locale, and no hang or garbage for spans no calendar holds.
#include "MorvendaApp/metrics/ChartTicks.h"
#include "MorvendaApp/metrics/RequestDurationMeasure.h"

#include <QtTest>

#include <cmath>
#include <ctime>

using namespace ChartTicks;

class TestChartTicks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Half an hour off UTC: ticks on the hour must follow the local clock, not UTC.
        qputenv("TZ", "Asia/Kolkata");
        tzset();
    }

    void dateTicksCoverSpans_data()
    {
        QTest::addColumn<double>("span");
        QTest::addColumn<int>("maxCount");
        QTest::addColumn<double>("expectedStep");
        QTest::addRow("one second in five ticks steps by a fifth") << 1.0 << 5 << 0.2;
        QTest::addRow("ten seconds in five ticks steps by two") << 10.0 << 5 << 2.0;
        QTest::addRow("a minute in four ticks steps by fifteen seconds") << 60.0 << 4 << 15.0;
        QTest::addRow("an hour in six ticks steps by ten minutes") << 3600.0 << 6 << 600.0;
        QTest::addRow("eight hours in eight ticks steps by an hour") << 8 * 3600.0 << 8 << 3600.0;
        QTest::addRow("a day in five ticks steps by six hours") << 86400.0 << 5 << 6 * 3600.0;
        QTest::addRow("thirty days in eight ticks steps by a week") << 30 * 86400.0 << 8 << 7 * 86400.0;
        QTest::addRow("a year in five ticks steps by whole days") << 365 * 86400.0 << 5 << 100 * 86400.0;
    }

    void dateTicksCoverSpans()
    {
        QFETCH(double, span);
        QFETCH(int, maxCount);
        QFETCH(double, expectedStep);
        const double start = 1765000000.25; // December 2025, off any boundary
        const TickSet set = dateTicks(start, start + span, maxCount);
        QCOMPARE(set.step, expectedStep);
        QVERIFY2(set.ticks.size() >= 2 && set.ticks.size() <= maxCount + 1, qPrintable(QString::number(set.ticks.size())));
        const qint64 offset = QDateTime::fromSecsSinceEpoch(qint64(start)).offsetFromUtc();
        QStringList labels;
        for (qsizetype i = 0; i < set.ticks.size(); ++i) {
            const Tick &tick = set.ticks[i];
            QVERIFY(tick.value >= start - 1e-6 && tick.value <= start + span + 1e-6);
            if (i > 0)
                QCOMPARE_LT(std::abs(tick.value - set.ticks[i - 1].value - set.step), 1e-6);
            if (set.step >= 60)
                QCOMPARE(std::fmod(tick.value + double(offset), set.step), 0.0);
            QVERIFY(!tick.label.isEmpty());
            labels.append(tick.label);
        }
        labels.removeDuplicates();
        QCOMPARE(labels.size(), set.ticks.size());
    }

    void dateLabelsReadAsClockTime()
    {
        // 2025-12-06 10:00:00 in Kolkata.
        const double tenOClock = QDateTime(QDate(2025, 12, 6), QTime(10, 0)).toSecsSinceEpoch();
        const TickSet hours = dateTicks(tenOClock - 1, tenOClock + 3 * 3600 + 1, 4);
        QCOMPARE(hours.ticks.value(0).label, QStringLiteral("10:00"));
        QCOMPARE(hours.ticks.value(1).label, QStringLiteral("11:00"));
        const TickSet seconds = dateTicks(tenOClock, tenOClock + 4, 4);
        QCOMPARE(seconds.ticks.value(1).label, QStringLiteral("10:00:01"));
        const TickSet fractions = dateTicks(tenOClock, tenOClock + 0.5, 5);
        QCOMPARE(fractions.ticks.value(1).label, QStringLiteral("00:00.100"));
        const TickSet days = dateTicks(tenOClock, tenOClock + 10 * 86400, 5);
        QVERIFY(days.ticks.value(0).label.contains(QStringLiteral("Dec")));
        const TickSet years = dateTicks(tenOClock - 3 * 365 * 86400.0, tenOClock, 4);
        QVERIFY(years.ticks.value(0).label.contains(QStringLiteral("202")));
    }

    void numberTicksAndDomains()
    {
        const TickSet counts = numberTicks(0, 28800, 5);
        QCOMPARE(counts.step, 10000.0);
        QCOMPARE(counts.ticks.size(), 3);
        QCOMPARE(counts.ticks.last().label, QStringLiteral("20000"));

        const TickSet fine = numberTicks(-0.5, 0.5, 4);
        QCOMPARE(fine.step, 0.5);
        QCOMPARE(fine.ticks.value(1).label, QStringLiteral("0.0")); // never "-0.0"

        const auto range = [](const Domain &domain) { return std::pair(domain.min, domain.max); };
        QCOMPARE(range(niceNumberDomain(0, 3, 5)), std::pair(0.0, 3.0));
        QCOMPARE(range(niceNumberDomain(0.3, 7.2, 4)), std::pair(0.0, 8.0)); // widened to ticks
        // Counts keep whole-number ticks however much room there is.
        const TickSet whole = numberTicks(0, 2, 10, 1);
        QCOMPARE(whole.step, 1.0);
        QCOMPARE(whole.ticks.size(), 3);
        QCOMPARE(niceNumberDomain(0, 0.3, 10, 1).max, 1.0);

        const Domain single = niceNumberDomain(3, 3, 5);
        QVERIFY(single.min < 3 && single.max > 3);
    }

    void ticksAndSecondsLabelsShareOneDecimalPoint_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addRow("German writes a decimal comma elsewhere") << QStringLiteral("de_DE");
        QTest::addRow("French groups with spaces elsewhere") << QStringLiteral("fr_FR");
        QTest::addRow("English") << QStringLiteral("en_US");
    }

    void ticksAndSecondsLabelsShareOneDecimalPoint()
    {
        QFETCH(QString, locale);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const TickSet halves = numberTicks(0, 1.5, 3);
        const TickSet thousands = numberTicks(0, 20000, 2);
        const QString seconds = RequestDurationMeasure::secondsText(1.5);
        QLocale::setDefault(before);
        QCOMPARE(halves.ticks.value(3).label, QStringLiteral("1.5"));
        QCOMPARE(seconds, QStringLiteral("1.500000 s"));
        QCOMPARE(thousands.ticks.last().label, QStringLiteral("20000"));
    }

    void unusableBoundsGiveNoTicksAndNeverHang_data()
    {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<bool>("expectTicks");
        QTest::addRow("not a number") << double(NAN) << 1.0 << false;
        QTest::addRow("infinite") << 0.0 << double(INFINITY) << false;
        QTest::addRow("a span that overflows") << -1e308 << 1e308 << false;
        QTest::addRow("beyond the calendar falls back to numbers") << 1e300 << 2e300 << true;
        QTest::addRow("before the calendar falls back to numbers") << -1e15 << -1e14 << true;
        QTest::addRow("a step lost against a huge value") << 1e300 << 1e300 + 1e280 << true;
    }

    void unusableBoundsGiveNoTicksAndNeverHang()
    {
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(bool, expectTicks);
        const TickSet set = dateTicks(min, max, 6);
        QCOMPARE(!set.ticks.isEmpty(), expectTicks);
        QVERIFY(set.ticks.size() <= 7);
    }
};

QTEST_GUILESS_MAIN(TestChartTicks)
#include "tst_chartticks.moc"
