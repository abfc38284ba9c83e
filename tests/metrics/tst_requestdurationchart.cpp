// The request-duration frame and its two charts driven as a user would: path rows, filter, select
// all, trash, type switch, and scripted pointer input at positions taken from the chart's own
// value-to-pixel mapping. One screenshot of each chart.
#include "DurationFixtures.h"
#include "tests/support/Artifacts.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SelectionChipButton.h"
#include "MorvendaApp/components/SymbolLabel.h"
#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/ui/RequestDurationBarChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationLineChart.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/shell/ShellPalette.h"

#include <QAbstractItemModelTester>
#include <QCursor>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace durationfixtures;

namespace {

// A date inside the calendar and small enough that a round trip through pixels keeps the seconds
// exact to well below the labels' six decimals.
constexpr double kBase = 1'000'000.0;

RequestDurationChartItem item(uint n, const QString &path, double start, double end)
{
    return RequestDurationChartItem{id(n), end - start, kBase + start, kBase + end, path};
}

// Pointer input at exact (sub-pixel) positions, as the chart's own mapping gives them.
void send(QWidget *target, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

struct Pointer
{
    ChartView *view;
    // The point of a time (seconds after kBase) and a row or duration.
    QPointF at(double seconds, double y) const { return QPointF(view->xPixel(kBase + seconds), view->yPixel(y)); }
    void hover(QPointF at) { send(view, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void press(QPointF at) { send(view, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void drag(QPointF at) { send(view, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    void release(QPointF at) { send(view, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
    void click(QPointF at)
    {
        press(at);
        release(at);
    }
    void leave()
    {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(view, &event);
    }
};

// Shows the chart at `size` with `items`, laid out for pointer input.
// Every layer is drawn at the paint: on a busy machine a slow render would send the next one
// aside, and what these tests read right after a refresh would still be the layer before.
bool showChart(RequestDurationMeasuredChart &chart, QSize size, const QList<RequestDurationChartItem> &items)
{
    chart.chartView()->setRenderAside(false);
    chart.resize(size);
    chart.setGraphData(items);
    chart.show();
    if (!QTest::qWaitForWindowExposed(&chart))
        return false;
    chart.refreshNow();
    return true;
}

std::unique_ptr<RequestDurationMeasuredChart> makeChart(bool line)
{
    if (line)
        return std::make_unique<RequestDurationLineChart>();
    return std::make_unique<RequestDurationBarChart>();
}

QString hoverLabel(const RequestDurationMeasuredChart &chart)
{
    const auto &tools = chart.tools();
    if (!tools.hoverTime())
        return {};
    return RequestDurationMeasure::secondsText(*tools.hoverTime() - RequestDurationMeasure::extentOf(chart.graphData())->firstStart);
}

// The colour of the most opaque pixel of an image, without its alpha.
QColor strongestInk(const QImage &image)
{
    QColor strongest(Qt::transparent);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.alpha() > strongest.alpha())
                strongest = colour;
        }
    }
    strongest.setAlpha(255);
    return strongest;
}

// How many pixels of the widget's picture inside `area` differ from its top-left corner's colour.
int inkIn(QWidget &widget, const QRectF &area)
{
    const QImage image = widget.grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels = QRectF(area.topLeft() * ratio, area.size() * ratio).toAlignedRect().intersected(image.rect());
    const QRgb background = image.pixel(0, 0);
    int ink = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            ink += image.pixel(x, y) != background;
    }
    return ink;
}

void clickRow(QListView *list, const QString &path)
{
    const QModelIndexList found = list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, path, 1, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(found.first()).center());
}

} // namespace

class TestRequestDurationChart : public QObject
{
    Q_OBJECT

private slots:
    void frameSelectsFiltersSwitchesAndClears()
    {
        MessageRepository repository;
        request(repository, 1, QStringLiteral("/users"), 10.0);
        response(repository, 1, 10.5);
        request(repository, 2, QStringLiteral("/Users"), 10.2);
        response(repository, 2, 11.0);
        request(repository, 3, QStringLiteral("/orders"), 10.4);
        RequestDurationChart frame(repository);
        frame.resize(800, 320);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));

        QCOMPARE(pathsOf(*frame.pathList()->model()), QStringList({QStringLiteral("/Users"), QStringLiteral("/orders"), QStringLiteral("/users")}));
        QVERIFY(frame.emptyState()->isVisible());
        QVERIFY(!frame.chart());

        // The filter's icon follows a switch of the colour scheme, both ways.
        for (const QPalette &palette : {ShellPalette::dark(), ShellPalette::light()}) {
            frame.setPalette(palette);
            const QColor expected = namedColor(NamedColor::Secondary, palette);
            const QColor drawn = strongestInk(frame.filterIcon()->pixmap().toImage());
            QCOMPARE_LT(std::abs(drawn.red() - expected.red()) + std::abs(drawn.green() - expected.green())
                            + std::abs(drawn.blue() - expected.blue()), 12);
        }

        // A row toggles its path: the bar chart appears, and leaves again with the last path.
        clickRow(frame.pathList(), QStringLiteral("/users"));
        QVERIFY(qobject_cast<RequestDurationBarChart *>(frame.chart()));
        QVERIFY(!frame.emptyState()->isVisible());
        clickRow(frame.pathList(), QStringLiteral("/users"));
        QVERIFY(!frame.chart());
        QVERIFY(frame.emptyState()->isVisible());

        // A path without any measured exchange still shows the chart, without marks.
        clickRow(frame.pathList(), QStringLiteral("/orders"));
        QVERIFY(frame.chart());
        QVERIFY(frame.chart()->graphData().isEmpty());

        // Select all with a filter typed charts the hidden paths too.
        QTest::keyClicks(frame.filterField(), QStringLiteral("user"));
        QCOMPARE(pathsOf(*frame.pathList()->model()), QStringList({QStringLiteral("/users")}));
        frame.selectAllButton()->click();
        QCOMPARE(frame.chart()->graphData().size(), 2);

        // The line button swaps the chart over the same data, and the tints.
        frame.typeButton(RequestDurationChartType::Line)->click();
        QVERIFY(qobject_cast<RequestDurationLineChart *>(frame.chart()));
        QCOMPARE(frame.chart()->graphData().size(), 2);
        QVERIFY(frame.typeButton(RequestDurationChartType::Line)->isCurrent());
        QVERIFY(!frame.typeButton(RequestDurationChartType::Bar)->isCurrent());

        // Trash: chart, paths and the main timeline empty; the filter and the type stay.
        frame.trashButton()->click();
        QVERIFY(!frame.chart());
        QVERIFY(frame.emptyState()->isVisible());
        QCOMPARE(frame.pathList()->model()->rowCount(), 0);
        QCOMPARE(frame.viewModel().pathModel()->rowCount(), 0);
        QCOMPARE(repository.timelineCount(), 0);
        QCOMPARE(frame.filterField()->text(), QStringLiteral("user"));
        QCOMPARE(frame.viewModel().type(), RequestDurationChartType::Line);
        // The next exchange is listed again.
        request(repository, 4, QStringLiteral("/users"), 12.0);
        QTRY_COMPARE(pathsOf(*frame.pathList()->model()), QStringList({QStringLiteral("/users")}));
    }

    // A URL with only scheme and host lists under a name of its own, the legend names its series
    // the same way, and the filter still matches the paths, not the name.
    void theEmptyPathIsNamedInTheListAndTheLegend()
    {
        MessageRepository repository;
        request(repository, 1, QStringLiteral(""), 10.0);
        response(repository, 1, 10.5);
        RequestDurationChart frame(repository);
        frame.resize(800, 300);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const QString name = QStringLiteral("(empty path)");
        QCOMPARE(frame.pathList()->model()->index(0, 0).data().toString(), name);
        clickRow(frame.pathList(), name);
        QVERIFY(frame.chart());
        frame.chart()->refreshNow();
        QCOMPARE(frame.chart()->chartView()->data().series.value(0).name, name);
        QTest::keyClicks(frame.filterField(), QStringLiteral("empty"));
        QCOMPARE(frame.pathList()->model()->rowCount(), 0);
    }

    // Paths arriving above, below and between the rows in view of a scrolled list leave those rows
    // where they are: the same row at the top, the same row under the pointer, no reset.
    void pathListKeepsItsPlaceWhilePathsArrive()
    {
        MessageRepository repository;
        for (uint n = 0; n < 200; n += 2)
            request(repository, n + 1, QStringLiteral("/p%1").arg(n, 3, 10, QLatin1Char('0')), 10.0);
        RequestDurationChart frame(repository);
        frame.resize(800, 300);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QListView *list = frame.pathList();
        QAbstractItemModel *model = list->model();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        list->scrollTo(model->match(model->index(0, 0), Qt::DisplayRole, QStringLiteral("/p100")).value(0),
                       QAbstractItemView::PositionAtTop);
        const QPoint pointer = list->visualRect(model->index(52, 0)).center();
        const QString top = list->indexAt(QPoint(1, 1)).data().toString();
        const QString underPointer = list->indexAt(pointer).data().toString();
        QCOMPARE(top, QStringLiteral("/p100"));
        const QPersistentModelIndex hovered(list->indexAt(pointer));
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);

        request(repository, 1001, QStringLiteral("/a"), 11.0);
        request(repository, 1002, QStringLiteral("/p001"), 11.0);
        request(repository, 1003, QStringLiteral("/p051"), 11.0);
        request(repository, 1004, QStringLiteral("/z"), 11.0);
        QTRY_COMPARE(model->rowCount(), 104);
        list->doItemsLayout();
        QCOMPARE(list->indexAt(QPoint(1, 1)).data().toString(), top);
        QCOMPARE(list->indexAt(pointer).data().toString(), underPointer);
        QCOMPARE(QModelIndex(hovered), list->indexAt(pointer));
        QCOMPARE(resets.count(), 0);
    }

    // A narrowing frame takes width from the path column first: the chart keeps a usable width
    // until the column is at its narrowest, and never collapses.
    void narrowFramesGiveThePathColumnUpFirst_data()
    {
        QTest::addColumn<int>("width");
        QTest::addRow("wide: the column keeps its width") << 900;
        QTest::addRow("a narrow window's details column") << 480;
        QTest::addRow("narrower still") << 330;
        QTest::addRow("the column at its narrowest") << 260;
    }

    void narrowFramesGiveThePathColumnUpFirst()
    {
        QFETCH(int, width);
        MessageRepository repository;
        request(repository, 1, QStringLiteral("/a"), 10.0);
        response(repository, 1, 10.5);
        RequestDurationChart frame(repository);
        frame.viewModel().togglePath(QStringLiteral("/a"));
        frame.resize(width, 260);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        const int chart = frame.chartArea()->width();
        const int paths = frame.pathList()->parentWidget()->width();
        QCOMPARE_LE(paths, 200);
        QCOMPARE_GE(paths, 100);
        QCOMPARE_GE(chart, std::min(240, chart + paths - 100));
        QVERIFY(!frame.chart()->chartView()->plotRect().isEmpty());
        // Growing again gives the column its width back.
        frame.resize(900, 260);
        QTRY_COMPARE(frame.pathList()->parentWidget()->width(), 200);
    }

    void pointerToolsReadTheDrawnItemsAndTheUsersSelectionShowsAtOnce()
    {
        // Three bars drawn; five newer items wait for the next paced refresh.
        RequestDurationBarChart chart;
        const QList<RequestDurationChartItem> drawn = {item(1, QStringLiteral("/a"), 10, 12), item(2, QStringLiteral("/b"), 10.5, 11),
                                                       item(3, QStringLiteral("/c"), 11, 11.5)};
        QVERIFY(showChart(chart, QSize(600, 300), drawn));
        QList<RequestDurationChartItem> newer;
        for (uint n = 4; n < 9; ++n)
            newer.append(item(n, QStringLiteral("/new"), n, 30));
        chart.setGraphData(newer);
        QCOMPARE(chart.graphData(), drawn);
        // The pointer on the top row, at the plot's right edge: the row names the drawn top bar,
        // and the time stops at the drawn last response.
        Pointer pointer{chart.chartView()};
        pointer.hover(QPointF(chart.chartView()->plotRect().right(), pointer.at(0, 3).y()));
        QCOMPARE(chart.tools().hoverValue(), 3.0);
        QCOMPARE(chart.graphData().at(0).path, QStringLiteral("/a"));
        QCOMPARE(hoverLabel(chart), RequestDurationMeasure::secondsText(2));
        chart.refreshNow();
        QCOMPARE(chart.graphData(), newer);

        // Many items are built aside: the tools keep reading the drawn ones until they are drawn.
        QList<RequestDurationChartItem> many;
        for (uint n = 0; n < 30000; ++n)
            many.append(item(n + 100, QStringLiteral("/many"), n * 0.01, n * 0.01 + 0.5));
        chart.setGraphData(many);
        QCOMPARE(chart.graphData(), newer);
        QTRY_COMPARE(chart.graphData().size(), many.size());
        QCOMPARE(chart.chartView()->data().bars.size(), size_t(many.size()));
        // The hover row still names what is drawn there now.
        QCOMPARE(chart.tools().hoverValue(), 3.0);
        QCOMPARE(chart.graphData().at(many.size() - 3).path, QStringLiteral("/many"));

        // A path the user picks in the frame is drawn at once.
        MessageRepository repository;
        for (uint n = 1; n <= 2; ++n) {
            request(repository, n, n == 1 ? QStringLiteral("/a") : QStringLiteral("/b"), 10.0 + n);
            response(repository, n, 10.5 + n);
        }
        RequestDurationChart frame(repository);
        frame.resize(800, 320);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        clickRow(frame.pathList(), QStringLiteral("/a"));
        QCOMPARE(frame.chart()->chartView()->data().bars.size(), 1u);
        clickRow(frame.pathList(), QStringLiteral("/b"));
        QCOMPARE(frame.chart()->chartView()->data().bars.size(), 2u);
    }

    // Dense charts with every tool in use: no two labels drawn (axis ticks, data labels, the
    // tools' labels) overprint; the tools' labels stand inside the plot, above the time axis's
    // row; a data label the tools could not avoid is hidden, not drawn over.
    void labelsNeverOverprint_data()
    {
        QTest::addColumn<bool>("line");
        QTest::addColumn<bool>("dark");
        QTest::addRow("bar chart") << false << false;
        QTest::addRow("bar chart, dark") << false << true;
        QTest::addRow("line chart") << true << false;
        QTest::addRow("line chart, dark") << true << true;
    }

    void labelsNeverOverprint()
    {
        QFETCH(bool, line);
        QFETCH(bool, dark);
        useScheme(dark);
        const std::unique_ptr<RequestDurationMeasuredChart> chart = makeChart(line);
        // Forty exchanges over six seconds on three paths, durations zig-zagging, the last one
        // ending at the latest time of all.
        QList<RequestDurationChartItem> items;
        for (uint n = 0; n < 40; ++n) {
            const double start = 10.0 + n * 0.15;
            const double length = (n % 3 == 0 ? 0.9 : 0.2) + (n % 7) * 0.05;
            items.append(item(n + 1, QStringLiteral("/p/%1").arg(n % 3), start, start + length));
        }
        items.append(item(99, QStringLiteral("/p/0"), 10.0, 17.0));
        QVERIFY(showChart(*chart, {560, 260}, items));
        ChartView *view = chart->chartView();
        Pointer pointer{view};
        // Two tap marks and a band whose edges lie a few pixels apart, near the left edge, and
        // the pointer over the right end where the latest labels are.
        const QPointF near = pointer.at(10.05, 0.5);
        pointer.hover(near);
        pointer.click(near);
        pointer.hover(near + QPointF(4, 0));
        pointer.click(near + QPointF(4, 0));
        pointer.press(near + QPointF(0, 5));
        pointer.drag(near + QPointF(14, 5));
        pointer.release(near + QPointF(14, 5));
        pointer.hover(pointer.at(16.9, line ? 0.9 : 1.0));
        chart->grab();
        saveArtifact(chart.get(), QStringLiteral("requestduration-labels-%1-%2.png").arg(line ? u"line" : u"bar", dark ? u"dark" : u"light"));

        const QRectF plot = view->plotRect();
        QCOMPARE(view->overlayLabelRects().size(), line ? 9 : 7);
        for (const QRectF &rect : view->overlayLabelRects())
            QVERIFY(plot.adjusted(-0.5, -0.5, 0.5, 0.5).contains(rect));
        QList<QRectF> drawn = view->axisLabelRects() + view->overlayLabelRects();
        for (const QRectF &rect : view->dataLabelRects()) {
            if (!view->hiddenLabelRects().contains(rect))
                drawn.append(rect);
        }
        QVERIFY(view->dataLabelRects().size() > 5);
        for (qsizetype i = 0; i < drawn.size(); ++i) {
            for (qsizetype j = i + 1; j < drawn.size(); ++j) {
                const QRectF both = drawn[i].intersected(drawn[j]);
                QVERIFY2(both.width() <= 0.01 || both.height() <= 0.01,
                         qPrintable(QStringLiteral("%1,%2 %3x%4 and %5,%6 %7x%8 overprint")
                                        .arg(drawn[i].x()).arg(drawn[i].y()).arg(drawn[i].width()).arg(drawn[i].height())
                                        .arg(drawn[j].x()).arg(drawn[j].y()).arg(drawn[j].width()).arg(drawn[j].height())));
            }
        }
        // A data label is hidden only where a tool's label needed its room.
        for (const QRectF &erased : view->hiddenLabelRects()) {
            QVERIFY(std::any_of(view->overlayLabelRects().cbegin(), view->overlayLabelRects().cend(),
                                [&](const QRectF &rect) { return rect.intersects(erased); }));
        }
    }

    // A bar ending at the plot's right edge has no room for its label there: the label stands
    // before the bar's start instead of being pushed back over the bar.
    void aBarAtTheRightEdgeKeepsItsLabelOffItself()
    {
        RequestDurationBarChart chart;
        QVERIFY(showChart(chart, {560, 200}, {item(1, QStringLiteral("/a"), 10.0, 11.0), item(2, QStringLiteral("/a"), 13.0, 16.0)}));
        ChartView *view = chart.chartView();
        const QRectF lastBar = QRectF(QPointF(view->xPixel(kBase + 13.0), view->yPixel(1.3)),
                                      QPointF(view->xPixel(kBase + 16.0), view->yPixel(0.7))).normalized();
        QCOMPARE(view->dataLabelRects().size(), 2);
        const QRectF label = view->dataLabelRects().at(1);
        QVERIFY(!label.intersects(lastBar));
        QCOMPARE_LE(label.right(), lastBar.left());
        QCOMPARE_LT(std::abs(label.center().y() - lastBar.center().y()), 1.0);
    }

    void barChartPointerToolsAndBadInput()
    {
        RequestDurationBarChart chart;
        QVERIFY(showChart(chart, {640, 300},
                          {item(1, QStringLiteral("/a"), 10.0, 12.0), item(2, QStringLiteral("/a"), 10.5, 12.0), item(3, QStringLiteral("/b"), 11.0, 12.0)}));
        ChartView *view = chart.chartView();
        Pointer pointer{view};

        pointer.hover(pointer.at(10.75, 1.6));
        QCOMPARE(hoverLabel(chart), QStringLiteral("0.750000 s"));
        QCOMPARE(chart.rowAt(view->yPixel(1.6)), qint64(2));
        QCOMPARE(chart.rowAt(view->yPixel(0.4)), qint64(0));
        // Right of the last response the read-out stops at it.
        pointer.hover(pointer.at(13.0, 1));
        QCOMPARE(hoverLabel(chart), QStringLiteral("2.000000 s"));
        pointer.leave();
        QVERIFY(!chart.tools().hoverTime());
        QVERIFY(!chart.tools().hoverValue());

        // Two clicks in one spot pin two marks; one undo removes one.
        pointer.hover(pointer.at(11.5, 2));
        pointer.click(pointer.at(11.5, 2));
        pointer.click(pointer.at(11.5, 2));
        QCOMPARE(chart.tools().marks().size(), size_t(2));
        QVERIFY(chart.undoTapButton()->isVisibleTo(&chart));
        saveArtifact(&chart, QStringLiteral("requestduration-bar.png"));
        chart.undoTapButton()->click();
        QCOMPARE(chart.tools().marks().size(), size_t(1));

        // A movement under 10 pixels with the button down is no drag.
        const QPointF start = pointer.at(11.5, 0);
        pointer.press(start);
        pointer.drag(start + QPointF(6, 0));
        pointer.release(start + QPointF(6, 0));
        QVERIFY(!chart.tools().dragMark());
        QVERIFY(!chart.undoDragButton()->isVisibleTo(&chart));

        // A right-to-left drag measures a negative length; the release pins nothing, and neither
        // does a click right after it.
        const size_t marks = chart.tools().marks().size();
        pointer.press(pointer.at(11.5, 0));
        pointer.drag(pointer.at(11.0, 0));
        pointer.drag(pointer.at(10.5, 0));
        pointer.release(pointer.at(10.5, 0));
        QVERIFY(chart.tools().dragMark());
        QCOMPARE(RequestDurationMeasure::secondsText(chart.tools().dragMark()->second - chart.tools().dragMark()->first),
                 QStringLiteral("-1.000000 s"));
        pointer.click(pointer.at(10.5, 0));
        QCOMPARE(chart.tools().marks().size(), marks);
        QVERIFY(chart.undoDragButton()->isVisibleTo(&chart));
        chart.undoDragButton()->click();
        QVERIFY(!chart.tools().dragMark());
        QVERIFY(!chart.undoDragButton()->isVisibleTo(&chart));

        // A resize in the middle of a drag re-reads both ends against the new layout.
        pointer.press(pointer.at(10.0, 0));
        pointer.drag(pointer.at(11.0, 0));
        chart.resize(400, 200);
        chart.refreshNow();
        pointer.drag(pointer.at(11.5, 0));
        pointer.release(pointer.at(11.5, 0));
        QVERIFY(chart.tools().dragMark());
        QVERIFY(qIsFinite(chart.tools().dragMark()->first) && qIsFinite(chart.tools().dragMark()->second));

        // Negative and zero durations, equal starts and times outside the calendar never break it.
        chart.setGraphData({item(1, QStringLiteral("/a"), 10.0, 9.0), item(2, QStringLiteral("/a"), 10.0, 10.0),
                            RequestDurationChartItem{id(3), qQNaN(), 1e300, qQNaN(), QStringLiteral("/b")}});
        chart.refreshNow();
        QCOMPARE(view->data().bars.size(), size_t(2));
        pointer.hover(view->plotRect().center());
        QVERIFY(chart.tools().hoverTime());

        // A chart one pixel wide has no plot: nothing is read, nothing breaks.
        chart.resize(1, 1);
        QCoreApplication::processEvents();
        chart.refreshNow();
        QVERIFY(view->plotRect().isEmpty());
        pointer.hover(QPointF(0, 0));
        QVERIFY(!chart.tools().hoverTime());
        QVERIFY(!chart.tools().hoverValue());
        const size_t pinned = chart.tools().marks().size();
        pointer.click(QPointF(0, 0));
        QCOMPARE(chart.tools().marks().size(), pinned);
        QVERIFY(!chart.grab().isNull());
    }

    // A second click on the last undo button, as a user repeats it: the button is gone, but the
    // click still lands where it stood, never on the chart (which would pin a mark there).
    void aRepeatedClickOnTheLastUndoPinsNothing_data()
    {
        QTest::addColumn<bool>("line");
        QTest::addRow("bar chart") << false;
        QTest::addRow("line chart") << true;
    }
    void aRepeatedClickOnTheLastUndoPinsNothing()
    {
        QFETCH(bool, line);
        const std::unique_ptr<RequestDurationMeasuredChart> chart = makeChart(line);
        QVERIFY(showChart(*chart, {600, 300}, {item(1, QStringLiteral("/a"), 10.0, 11.0), item(2, QStringLiteral("/a"), 11.0, 13.0)}));
        Pointer pointer{chart->chartView()};
        pointer.hover(pointer.at(10.5, 1));
        pointer.click(pointer.at(10.5, 1));
        QCOMPARE(chart->tools().marks().size(), size_t(1));
        QCoreApplication::processEvents();
        // Through the window, so each press goes to whatever lies under the pointer then.
        QWindow *window = chart->windowHandle();
        const QPoint onButton = chart->undoTapButton()->mapTo(chart.get(), chart->undoTapButton()->rect().center());
        QCursor::setPos(chart->mapToGlobal(onButton));
        QTest::mouseMove(window, onButton);
        QTest::mouseClick(window, Qt::LeftButton, {}, onButton);
        QVERIFY(chart->tools().marks().empty());
        QCoreApplication::processEvents();
        // The hand moves a pixel between the two clicks.
        const QPoint again = onButton + QPoint(1, 0);
        QTest::mouseMove(window, again);
        QTest::mouseClick(window, Qt::LeftButton, {}, again);
        QVERIFY(chart->tools().marks().empty());
    }

    void lineChartReadsDurations()
    {
        RequestDurationLineChart chart;
        QVERIFY(showChart(chart, {640, 300},
                          {item(1, QStringLiteral("/a"), 10.0, 10.5), item(2, QStringLiteral("/a"), 10.5, 11.0), item(3, QStringLiteral("/a"), 11.0, 14.0)}));
        ChartView *view = chart.chartView();
        Pointer pointer{view};

        // The time stops at the last request's start, not at the last response.
        pointer.hover(pointer.at(13.0, 1.0));
        QCOMPARE(hoverLabel(chart), QStringLiteral("1.000000 s"));
        // Below the zero line the duration reads 0.
        pointer.hover(pointer.at(10.5, -0.5));
        QCOMPARE(*chart.tools().hoverValue(), 0.0);

        pointer.hover(pointer.at(10.5, 0.8));
        pointer.click(pointer.at(10.5, 0.8));
        QCOMPARE(chart.tools().marks().size(), size_t(1));
        QCOMPARE(RequestDurationMeasure::secondsText(chart.tools().marks().front().time - (kBase + 10.0)), QStringLiteral("0.500000 s"));
        QCOMPARE(RequestDurationMeasure::secondsText(*chart.tools().marks().front().value), QStringLiteral("0.800000 s"));
        saveArtifact(&chart, QStringLiteral("requestduration-line.png"));
        chart.undoTapButton()->click();
        QVERIFY(chart.tools().marks().empty());

        // Without data there is no time under the pointer, so a click pins nothing; the duration
        // at the pointer's height is still read, on an axis that starts at zero at the bottom and
        // names no times it does not have (no row of tick labels below the plot).
        chart.setGraphData({});
        chart.refreshNow();
        QCOMPARE(view->yPixel(0), view->plotRect().bottom());
        QCOMPARE(inkIn(*view, QRectF(view->plotRect().left(), view->plotRect().bottom() + 2, view->plotRect().width(), 12)), 0);
        pointer.hover(QPointF(view->plotRect().center()));
        QVERIFY(!chart.tools().hoverTime());
        QVERIFY(chart.tools().hoverValue());
        pointer.click(QPointF(view->plotRect().center()));
        QVERIFY(chart.tools().marks().empty());
    }
};

QTEST_MAIN(TestRequestDurationChart)
#include "tst_requestdurationchart.moc"
