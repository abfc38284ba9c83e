// Drawing thinned to the pixels: sparse data draws exactly the picture of every mark drawn as
// given, dense data keeps what can be seen (a line's extremes per pixel column, merged bars
// covering the same pixels, one symbol and label where several would stand on each other).
#include "MorvendaApp/metrics/ui/ChartLayer.h"
#include "MorvendaApp/metrics/ui/ChartRaster.h"
#include "MorvendaApp/metrics/ui/ChartThinning.h"
#include "MorvendaApp/metrics/ui/ChartView.h"
#include "MorvendaApp/metrics/ui/ChartWork.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <tuple>

namespace {

constexpr double kT0 = 1765000000;

// Varied durations: a seeded zig-zag around a random walk, as real backends answer.
QList<QPointF> zigZag(int count, double seconds, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<QPointF> points;
    double walk = 0.5;
    for (int i = 0; i < count; ++i) {
        walk = std::clamp(walk + (random.generateDouble() - 0.5) * 0.1, 0.05, 1.0);
        points.append({kT0 + seconds * i / count, i % 2 ? walk * 0.3 : walk + random.generateDouble()});
    }
    return points;
}

Chart::Data lineData(int points, int labelEvery)
{
    Chart::Data data;
    data.xKind = Chart::AxisKind::Date;
    data.series = {{QStringLiteral("/a"), 0}, {QStringLiteral("/b"), 1}};
    data.lines.push_back({0, zigZag(points, 60, 1), true});
    data.lines.push_back({1, zigZag(points, 60, 2), true});
    for (int i = 0; i < points; i += labelEvery) {
        const QPointF point = data.lines.front().points.at(i);
        data.labels.push_back({point.x(), point.x(), point.y(), point.y(), QString::number(point.y(), 'f', 6) + QStringLiteral(" s"), Chart::LabelPosition::Top, 6});
    }
    return data;
}

// One floating bar per row, as the duration bar chart draws them.
Chart::Data barData(int rows, bool labelled)
{
    Chart::Data data;
    data.xKind = Chart::AxisKind::Date;
    data.yDomain = std::pair(-0.5, rows + 0.5);
    data.series = {{QStringLiteral("/a"), 0}, {QStringLiteral("/b"), 1}, {QStringLiteral("/c"), 2}};
    QRandomGenerator random(7);
    for (int i = 0; i < rows; ++i) {
        const double start = kT0 + i * 0.5;
        const double end = start + 0.05 + random.generateDouble() * 3;
        const double row = rows - i;
        data.bars.push_back({start, end, row - 0.3, row + 0.3, i % 3});
        if (labelled)
            data.labels.push_back({start, end, row, row, QString::number(end - start, 'f', 6) + QStringLiteral(" s"), Chart::LabelPosition::Trailing});
    }
    return data;
}

// Requests per second stacked by method, as the count chart draws them.
Chart::Data stackedData(int seconds)
{
    Chart::Data data;
    data.xKind = Chart::AxisKind::Date;
    data.series = {{QStringLiteral("get"), 0}, {QStringLiteral("post"), 1}};
    for (int s = 0; s < seconds; ++s) {
        const double get = 1 + s % 4;
        data.bars.push_back({kT0 + s, kT0 + s + 1, 0, get, 0});
        data.bars.push_back({kT0 + s, kT0 + s + 1, get, get + 1 + s % 3, 1});
    }
    return data;
}

QImage render(const Chart::Data &data, bool thinning, QSize size = QSize(600, 250))
{
    ChartView view;
    view.resize(size);
    view.setThinning(thinning);
    view.setData(data);
    return view.grab().toImage();
}

} // namespace

class TestChartThinning : public QObject
{
    Q_OBJECT

private slots:
    void sparseDataLooksTheSameAsEveryMarkDrawn_data()
    {
        QTest::addColumn<Chart::Data>("data");
        QTest::addRow("two zig-zag lines of 60 points, labels apart") << lineData(60, 10);
        QTest::addRow("two zig-zag lines of 250 points, more than their symbols fit side by side") << lineData(250, 50);
        QTest::addRow("12 floating bars on their rows with their labels") << barData(12, true);
        QTest::addRow("60 floating bars on their rows") << barData(60, false);
        QTest::addRow("a minute of stacked counts") << stackedData(60);
        QTest::addRow("twenty minutes of stacked counts, narrower than a pixel") << stackedData(1200);
    }
    void sparseDataLooksTheSameAsEveryMarkDrawn()
    {
        QFETCH(Chart::Data, data);
        const QImage thinned = render(data, true);
        QVERIFY(thinned == render(data, false));
    }

    // Whether lines are thinned is decided over all of them together: the points drawn each with
    // its antialiased join and symbol stay within two per pixel column of the plot however many
    // lines share them, and the lines with the fewest points are the ones kept whole.
    void densityIsDecidedOverTheWholePlot_data()
    {
        QTest::addColumn<QList<int>>("pointsPerLine");
        QTest::addColumn<int>("keptWhole");
        QTest::addRow("five lines of 40 points") << QList<int>(5, 40) << 200;
        QTest::addRow("a thousand lines of ten points") << QList<int>(1000, 10) << -1;
        QTest::addRow("three hundred lines of 30 points") << QList<int>(300, 30) << -1;
        QTest::addRow("one line of 20,000 points beside four of 20") << QList<int>({20, 20000, 20, 20, 20}) << 80;
    }
    void densityIsDecidedOverTheWholePlot()
    {
        QFETCH(QList<int>, pointsPerLine);
        QFETCH(int, keptWhole);
        Chart::Data data;
        data.xKind = Chart::AxisKind::Date;
        for (int line = 0; line < pointsPerLine.size(); ++line) {
            data.series.append({QStringLiteral("/api/v2/products/%1/reviews").arg(line), line});
            data.lines.push_back({line, zigZag(pointsPerLine.at(line), 600, quint32(line + 1)), true});
        }
        ChartView view;
        view.resize(600, 250);
        view.setData(data);
        view.grab();
        const qsizetype budget = 2 * qsizetype(view.plotRect().width());
        if (keptWhole >= 0)
            QCOMPARE(view.fullyDrawnPointCount(), qsizetype(keptWhole));
        else
            QVERIFY2(view.fullyDrawnPointCount() <= budget, qPrintable(QString::number(view.fullyDrawnPointCount())));
    }

    // A big layer draws its lines kept whole, its dense lines in two halves of the columns and
    // places its labels on pool threads: it looks as when every part is drawn in order, and the
    // same labels stand in the same places.
    void aLayerDrawnOnPoolThreadsLooksAsDrawnInOrder()
    {
        Chart::Data data;
        data.xKind = Chart::AxisKind::Date;
        data.labelText = [](double value) { return QString::number(value, 'f', 3); };
        for (int line = 0; line < 300; ++line) {
            data.series.append({QStringLiteral("/api/v2/products/%1/reviews").arg(line), line});
            const QList<QPointF> points = zigZag(3 + 30000 / ((line + 1) * 8), 600, quint32(line + 1));
            data.lines.push_back({line, points, true});
            for (const QPointF &point : points) {
                Chart::Label label;
                label.x0 = label.x1 = point.x();
                label.y0 = label.y1 = point.y();
                label.value = point.y();
                data.labels.push_back(label);
            }
        }
        const auto draw = [&] {
            ChartView view;
            view.setRenderAside(false);
            view.resize(600, 250);
            view.setData(data);
            return std::pair(view.grab().toImage(), view.dataLabelRects());
        };
        const auto [aside, asideLabels] = draw();
        ChartLayer::setPartsAside(false);
        const auto [inOrder, inOrderLabels] = draw();
        ChartLayer::setPartsAside(true);
        QVERIFY(asideLabels.size() > 20);
        QCOMPARE(asideLabels, inOrderLabels);
        // The lines kept whole are laid over the dense ones as a picture of their own: their soft
        // edges may round apart by a unit.
        for (int y = 0; y < aside.height(); ++y) {
            for (int x = 0; x < aside.width(); ++x) {
                const QColor a = aside.pixelColor(x, y);
                const QColor b = inOrder.pixelColor(x, y);
                QVERIFY2(std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 && std::abs(a.blue() - b.blue()) <= 2,
                         qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
        }
    }

    // Parts handed to pool threads are each done once, and all of them by the time the run ends,
    // however many threads take part.
    void partsAreDoneOnceBeforeTheRunEnds()
    {
        for (const bool aside : {true, false}) {
            ChartLayer::setPartsAside(aside);
            std::vector<std::atomic<int>> done(64);
            ChartWork::Jobs jobs;
            for (size_t part = 0; part < done.size(); ++part) {
                jobs.add([&done, part] {
                    QThread::usleep(150 * (part % 3));
                    ++done[part];
                });
            }
            jobs.run();
            for (const std::atomic<int> &count : done)
                QCOMPARE(count.load(), 1);
        }
        ChartLayer::setPartsAside(true);
    }

    // Dense lines are drawn straight into pixels, the last line first: where they cross, the later
    // series shows, as drawing them in order would give.
    void denseLinesKeepTheLaterSeriesOnTop()
    {
        Chart::Data data;
        data.xKind = Chart::AxisKind::Date;
        data.yDomain = std::pair(0.0, 2.0);
        data.series = {{QStringLiteral("/a"), 0}, {QStringLiteral("/b"), 1}};
        data.lines.push_back({0, zigZag(5000, 600, 4), false});
        QList<QPointF> flat;
        for (int i = 0; i < 5000; ++i)
            flat.append({kT0 + 600.0 * i / 5000, 0.8});
        data.lines.push_back({1, flat, false});
        ChartView view;
        view.resize(600, 250);
        view.setData(data);
        const QImage image = view.grab().toImage();
        QCOMPARE(view.fullyDrawnPointCount(), qsizetype(0));
        const QRect plot = view.plotRect().toAlignedRect().adjusted(4, 4, -4, -4);
        const int y = int(std::floor(view.yPixel(0.8)));
        int below = 0;
        for (int x = plot.left(); x < plot.right(); ++x) {
            QCOMPARE(image.pixelColor(x, y), view.seriesColor(1));
            for (int row = y + 4; row < plot.bottom(); ++row)
                below += image.pixelColor(x, row) == view.seriesColor(0);
        }
        QVERIFY(below > plot.width());
    }

    // A raster line is as thick as its width across and along the columns, and a line added under
    // another fills only what that one leaves.
    void rasterLinesFillOnlyWhatLinesAboveLeave()
    {
        ChartRaster raster(QSize(40, 30), 1);
        const QRgb top = qRgb(200, 0, 0);
        const QRgb under = qRgb(0, 0, 200);
        raster.addLineUnder(QPolygonF({{5.5, 10.3}, {30.5, 10.3}}), top, 2);
        raster.addLineUnder(QPolygonF({{20.3, 2}, {20.3, 25}}), under, 2);
        const QImage &image = raster.image();
        const auto rowsOf = [&](int x, QRgb color) {
            QList<int> rows;
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixel(x, y) == color)
                    rows.append(y);
            }
            return rows;
        };
        QCOMPARE(rowsOf(8, top), QList<int>({9, 10}));
        QCOMPARE(rowsOf(20, top), QList<int>({9, 10}));
        // Rows 1 to 25 but the two the line above took.
        QCOMPARE(rowsOf(20, under).size(), 25 - 2);
        QCOMPARE(rowsOf(19, under).size(), 25 - 2);
        QVERIFY(rowsOf(21, under).isEmpty());
        QVERIFY(rowsOf(18, under).isEmpty());
        // Far-off points cost nothing outside the picture and draw across it.
        raster.addLineUnder(QPolygonF({{-1e300, 28.5}, {1e300, 28.5}}), under, 2);
        QCOMPARE(image.pixel(0, 28), under);
        QCOMPARE(image.pixel(39, 28), under);
    }

    void rasterLinesCoverExactlyTheirReach()
    {
        // A pixel is drawn when its centre lies within half the width of some point of a
        // segment, along both axes: long shallow, steep and short segments, ends off the picture.
        QRandomGenerator random(17);
        for (int round = 0; round < 200; ++round) {
            const QSize size(60, 40);
            ChartRaster raster(size, 1);
            const qreal width = 1 + random.generateDouble() * 3;
            QPolygonF line;
            for (int i = 0; i < 6; ++i)
                line.append({random.generateDouble() * 80 - 10, random.generateDouble() * 60 - 10});
            std::sort(line.begin(), line.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
            raster.addLineUnder(line, qRgb(0, 90, 200), width);
            const qreal half = width / 2;
            for (int y = 0; y < size.height(); ++y) {
                for (int x = 0; x < size.width(); ++x) {
                    const QPointF centre(x + 0.5, y + 0.5);
                    bool reached = false;
                    for (qsizetype i = 1; i < line.size() && !reached; ++i) {
                        // The segment's stretch within `half` of the centre along each axis.
                        qreal from = 0;
                        qreal to = 1;
                        for (const auto &[start, delta, at] : {std::tuple(line[i - 1].x(), line[i].x() - line[i - 1].x(), centre.x()),
                                                               std::tuple(line[i - 1].y(), line[i].y() - line[i - 1].y(), centre.y())}) {
                            if (delta == 0) {
                                if (std::abs(start - at) > half)
                                    to = -1;
                                continue;
                            }
                            const qreal t0 = (at - half - start) / delta;
                            const qreal t1 = (at + half - start) / delta;
                            from = std::max(from, std::min(t0, t1));
                            to = std::min(to, std::max(t0, t1));
                        }
                        reached = from <= to;
                    }
                    QVERIFY2(reached == (raster.image().pixel(x, y) != 0),
                             qPrintable(QStringLiteral("round %1, pixel %2,%3").arg(round).arg(x).arg(y)));
                }
            }
        }
    }

    void marksFarOutsideAFixedDomainAreCutToThePlot()
    {
        // A bar spanning far past both ends of a fixed domain, and labels at values no pixel
        // index holds: the bar fills the plot's width on its row, nothing is left undefined.
        Chart::Data data;
        data.xDomain = std::pair(0.0, 10.0);
        data.yDomain = std::pair(0.0, 10.0);
        data.series = {{QStringLiteral("/a"), 0}};
        data.bars.push_back({-1e300, 1e300, 4, 6, 0});
        data.labels.push_back({-1e300, 1e300, 5, 5, QStringLiteral("wide"), Chart::LabelPosition::Trailing});
        data.labels.push_back({5, 5, 1e300, 1e300, QStringLiteral("high")});
        ChartView view;
        view.resize(400, 200);
        view.setData(data);
        const QImage image = view.grab().toImage();
        for (const double x : {0.2, 5.0, 9.8})
            QCOMPARE(image.pixelColor(QPointF(view.xPixel(x), view.yPixel(5)).toPoint()), view.seriesColor(0));
    }

    void denseLineKeepsEachColumnsExtremesInOrder()
    {
        // Ten points in one pixel column between two columns of one point each.
        QPolygonF points{{10.2, 50}};
        const QList<qreal> heights = {40, 90, 20, 70, 60, 10, 80, 30, 55, 45};
        for (int i = 0; i < heights.size(); ++i)
            points.append({20.1 + i * 0.05, heights[i]});
        points.append({30.5, 50});
        const QPolygonF kept = ChartThinning::columnExtremes(points);
        // First, highest on screen (10), lowest (90) in their order, last; the lone ones whole.
        QCOMPARE(kept, QPolygonF({{10.2, 50}, {20.1, 40}, {20.15, 90}, {20.35, 10}, {20.55, 45}, {30.5, 50}}));

        // Runs of up to four points in a column, and lines with a column each, stay whole.
        const QPolygonF four{{5.1, 1}, {5.2, 9}, {5.3, 2}, {5.4, 8}, {6.1, 3}};
        QCOMPARE(ChartThinning::columnExtremes(four), four);
        QCOMPARE(ChartThinning::columnExtremes({}), QPolygonF());
    }

    void denseLineStillReachesEverySpike()
    {
        // 20,000 zig-zag points and one spike: the thinned drawing reaches the spike's height,
        // and keeps at most four points a column.
        Chart::Data data;
        data.xKind = Chart::AxisKind::Date;
        data.series = {{QStringLiteral("/a"), 0}};
        QList<QPointF> points = zigZag(20000, 600, 3);
        points[12345].setY(4);
        data.lines.push_back({0, points, true});
        ChartView view;
        view.resize(600, 250);
        view.setData(data);
        const QImage image = view.grab().toImage();
        const QPoint spike = QPointF(view.xPixel(points[12345].x()), view.yPixel(4)).toPoint();
        bool reached = false;
        for (int dx = -2; dx <= 2; ++dx)
            reached = reached || image.pixelColor(spike + QPoint(dx, 1)) == view.seriesColor(0);
        QVERIFY(reached);

        QPolygonF pixels;
        for (const QPointF &point : points)
            pixels.append({view.xPixel(point.x()), view.yPixel(point.y())});
        QVERIFY(ChartThinning::columnExtremes(pixels).size() <= 4 * (qsizetype(view.plotRect().width()) + 2));
    }

    void symbolsAreKeptWhereTheyCanBeToldApart()
    {
        // Points a radius apart are all kept; one inside an earlier symbol is not.
        const QRectF bounds(-5, -5, 200, 200);
        const QPolygonF apart{{0, 0}, {3.5, 0}, {0, 3.5}, {10, 10}, {12.5, 12.5}};
        QCOMPARE(ChartThinning::distinctSymbols(apart, 3.5, bounds), apart);
        const QPolygonF crowded{{0, 0}, {1, 1}, {3.4, 0}, {7, 0}, {7.5, 2}, {4.6, -2.4}};
        QCOMPARE(ChartThinning::distinctSymbols(crowded, 3.5, bounds), QPolygonF({{0, 0}, {7, 0}}));
        // Symbols outside the drawn area are not drawn at all.
        QCOMPARE(ChartThinning::distinctSymbols(QPolygonF({{-10, 0}, {0, 300}}), 3.5, bounds), QPolygonF());
        // However many points, no more symbols than fit in the area.
        QPolygonF many;
        QRandomGenerator random(5);
        for (int i = 0; i < 100000; ++i)
            many.append({random.generateDouble() * 100, random.generateDouble() * 100});
        QVERIFY(ChartThinning::distinctSymbols(many, 3.5, QRectF(0, 0, 100, 100)).size() < 1200);
        // Crowded points keep exactly the ones no earlier kept symbol covers, as one look at every
        // kept symbol would find them.
        const QRectF small(0, 0, 60, 40);
        QPolygonF crowd;
        for (int i = 0; i < 3000; ++i)
            crowd.append({random.generateDouble() * 64 - 2, random.generateDouble() * 44 - 2});
        std::vector<qsizetype> expected;
        for (qsizetype i = 0; i < crowd.size(); ++i) {
            const auto covers = [&](qsizetype k) { return std::hypot(crowd[k].x() - crowd[i].x(), crowd[k].y() - crowd[i].y()) < 3.5; };
            if (small.contains(crowd[i]) && std::none_of(expected.begin(), expected.end(), covers))
                expected.push_back(i);
        }
        QCOMPARE(ChartThinning::distinctSymbolIndexes(crowd, 3.5, small), expected);
    }

    void mergedBarsCoverExactlyThePixelsOfTheBars()
    {
        // Thousands of one-pixel-high bars on a few hundred pixel rows, as a long duration chart
        // has them: far fewer rectangles, the same pixels.
        QRandomGenerator random(11);
        ChartThinning::RectMerger merger;
        QList<QRect> given;
        for (int i = 0; i < 5000; ++i) {
            const int left = int(i / 25) + random.bounded(3);
            const QRect rect(left, 2 + i / 20, 1 + random.bounded(6), 1);
            given.append(rect);
            merger.add(rect);
        }
        // A stacked column and a rectangle inside another.
        for (const QRect &rect : {QRect(300, 10, 1, 4), QRect(300, 14, 1, 6), QRect(300, 12, 1, 2)}) {
            given.append(rect);
            merger.add(rect);
        }
        const QList<QRect> merged = merger.take();
        QVERIFY2(merged.size() < given.size() / 5, qPrintable(QString::number(merged.size())));
        QVERIFY(merger.take().isEmpty());
        const auto paint = [](const QList<QRect> &rects) {
            QImage image(320, 300, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawRects(rects.constData(), int(rects.size()));
            return image;
        };
        QVERIFY(paint(merged) == paint(given));
    }

    void labelsWhoseAnchorsShareACellAreLeftOutUnmeasured()
    {
        ChartThinning::LabelCells cells(12, QRectF(0, 0, 100, 100));
        QVERIFY(cells.claim({5, 5}));
        QVERIFY(!cells.claim({11.9, 0}));
        QVERIFY(cells.claim({12, 0}));
        // Outside the area as inside it.
        QVERIFY(cells.claim({-1, 5}));
        QVERIFY(!cells.claim({-11, 11}));
        QVERIFY(cells.claim({105, 5}));
        QVERIFY(!cells.claim({107, 1}));
        // Points no cell index holds share the far edge's cells.
        QVERIFY(cells.claim({1e300, 5}));
        QVERIFY(!cells.claim({INFINITY, 5}));
        QVERIFY(cells.claim({NAN, NAN}));
        QVERIFY(!cells.claim({-INFINITY, -1e300}));
        // A label may carry a value whose text is made only when it is drawn.
        Chart::Data one = barData(1, false);
        const QImage bare = render(one, true);
        Chart::Label valued{kT0, kT0 + 1, 1, 1, QString(), Chart::LabelPosition::Trailing};
        valued.value = 0.25;
        one.labels.push_back(valued);
        QVERIFY(render(one, true) == bare);
        QStringList made;
        one.labelText = [&](double value) { made.append(QString::number(value)); return made.back(); };
        QVERIFY(render(one, true) != bare);
        QCOMPARE(made, QStringList({QStringLiteral("0.25")}));
        // Labels of a dense line: one measured and drawn per cell at most.
        ChartView view;
        view.resize(600, 250);
        view.setData(lineData(25000, 1));
        view.grab();
        QVERIFY(view.thinnedLabelCount() > 24000);
    }
};

QTEST_MAIN(TestChartThinning)
#include "tst_chartthinning.moc"
