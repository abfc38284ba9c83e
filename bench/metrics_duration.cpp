// Figures of the request-duration chart: what a live delivery costs with the bar or the line chart
// showing over a long timeline, what a hover repaint costs over many bars, and what each chart
// adds to opening a large session file, its drawing included. Durations vary as real ones do (a
// seeded zig-zag with spikes): a constant duration draws a straight line and hides the cost.
#include "BenchSupport.h"
#include "session_common.h"
#include "session_open.h"

#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/ui/RequestDurationBarChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationMeasuredChart.h"
#include "MorvendaApp/session/MessageRepository.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <cmath>
#include <cstdio>
#include <memory>


namespace {

constexpr int kTimeline = 50000;
const QStringList kSelected = {QStringLiteral("/api/items"), QStringLiteral("/api/cart"), QStringLiteral("/api/search"), QStringLiteral("/api/home"), QStringLiteral("/api/event")};

// The duration of exchange i, in seconds: a slow wave, every other one far below it, a seeded
// scatter and a rare spike.
double variedDuration(int i)
{
    const double wave = 0.1 + 0.4 * (0.5 + 0.5 * std::sin(i / 500.0));
    const double scatter = double((quint32(i) * 2654435761u) % 1000u) / 1000.0;
    return (i % 2 ? wave * 0.3 : wave) + scatter * 0.5 + (i % 997 == 0 ? 3.0 : 0.0);
}

// bench::response with the varied duration after its request's time.
Response variedResponse(int i)
{
    return Response(bench::uuid(quint32(i) + 1), bench::uuid(quint32(i), 77), 200,
                    Url::fromText(QStringLiteral("https://shop.example") + bench::pathFor(i)), Response::Source::Network,
                    1.7e9 + i * 0.001 + variedDuration(i), {{QStringLiteral("Content-Type"), QStringLiteral("application/json")}},
                    QStringLiteral("{}"));
}

void add(MessageRepository &repository, int i)
{
    repository.addRequest(bench::request(i, QStringLiteral("{}")), QStringLiteral("App"));
    repository.addResponse(variedResponse(i), QStringLiteral("App"));
}

void fill(MessageRepository &repository, int count)
{
    const MessageRepository::BatchScope batch(repository);
    for (int i = 0; i < count; ++i)
        add(repository, i);
}

enum class Showing { None, Bar, Line };

const char *nameOf(Showing showing)
{
    return showing == Showing::None ? "absent" : showing == Showing::Bar ? "bar" : "line";
}

// The frame with the five paths selected and the chart of the kind, shown and exposed.
std::unique_ptr<RequestDurationChart> showFrame(MessageRepository &repository, Showing showing)
{
    if (showing == Showing::None)
        return nullptr;
    auto frame = std::make_unique<RequestDurationChart>(repository);
    frame->resize(1200, 320);
    frame->viewModel().setType(showing == Showing::Line ? RequestDurationChartType::Line : RequestDurationChartType::Bar);
    frame->show();
    for (const QString &path : kSelected)
        frame->viewModel().togglePath(path);
    bench::waitFor([&] { return frame->windowHandle() && frame->windowHandle()->isExposed(); });
    QCoreApplication::processEvents();
    return frame;
}

// 50 exchanges a second for four seconds over a timeline of 50,000: the time spent in each
// delivery (request and response) and in the event loop between them (the chart's paced redraws
// with their paint), with no chart, the bar chart and the line chart showing.
void perDelivery()
{
    for (const Showing showing : {Showing::None, Showing::Bar, Showing::Line}) {
        MessageRepository repository;
        fill(repository, kTimeline);
        const std::unique_ptr<RequestDurationChart> frame = showFrame(repository, showing);
        std::vector<double> deliveries;
        std::vector<double> turns;
        for (int i = kTimeline; i < kTimeline + 200; ++i) {
            QElapsedTimer timer;
            timer.start();
            add(repository, i);
            deliveries.push_back(bench::ms(timer) / 2);
            // The rest of the 20 ms until the next exchange: the event loop redraws what is due.
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents();
            turns.push_back(bench::ms(turn));
            QThread::msleep(std::max<qint64>(0, 20 - qint64(bench::ms(timer))));
        }
        double busy = 0;
        std::vector<double> redraws;
        for (const double t : turns) {
            busy += t;
            if (t > 1)
                redraws.push_back(t);
        }
        std::printf("50 exchanges/s over %d, chart %s: delivery median %.3f ms (%.3f-%.3f; target < 1 ms), "
                    "event-loop work %.1f ms over 4 s (%.1f %%), %zu turns over 1 ms, median %.1f ms, longest %.1f ms%s\n",
            kTimeline, nameOf(showing), bench::median(deliveries),
            *std::min_element(deliveries.begin(), deliveries.end()), *std::max_element(deliveries.begin(), deliveries.end()),
            busy, busy / 40.0, redraws.size(), bench::median(redraws), *std::max_element(turns.begin(), turns.end()),
            frame ? qPrintable(QStringLiteral(", 5 paths selected, %1 items charted").arg(frame->viewModel().graphData().size())) : "");
        std::fflush(stdout);
    }
}

// Hovering over 10,000 bars repaints the overlay alone.
void hoverRepaint()
{
    QList<RequestDurationChartItem> items;
    for (int i = 0; i < 10000; ++i) {
        items.append(RequestDurationChartItem{bench::uuid(quint32(i) + 1), 0.05 + (i % 13) * 0.01, 1.7e9 + i * 0.1,
                                              1.7e9 + i * 0.1 + 0.05 + (i % 13) * 0.01, bench::pathFor(i)});
    }
    RequestDurationBarChart chart;
    chart.resize(1200, 320);
    chart.setGraphData(items);
    chart.show();
    // Offscreen, a window that is not exposed yet paints nothing and the figure would read zero.
    bench::waitFor([&] { return chart.windowHandle() && chart.windowHandle()->isExposed(); });
    chart.refreshNow();
    chart.chartView()->repaint();
    bench::waitFor([&] { return !chart.chartView()->layerPending(); });
    const int layers = chart.chartView()->layerRenderCount();
    std::vector<double> paints;
    for (int i = 0; i < 30; ++i) {
        const QPointF at(100 + i * 30, 150);
        QMouseEvent move(QEvent::MouseMove, at, chart.chartView()->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::sendEvent(chart.chartView(), &move);
        chart.chartView()->repaint();
        paints.push_back(bench::ms(timer));
    }
    std::printf("hover repaint over 10,000 bars, 1200x320: median %.2f ms (%.2f-%.2f; target < 8 ms), data layer "
                "redrawn %d times (data layer itself %.1f ms)\n",
        bench::median(paints), *std::min_element(paints.begin(), paints.end()), *std::max_element(paints.begin(), paints.end()),
        chart.chartView()->layerRenderCount() - layers, chart.chartView()->lastLayerRenderMs());
}

void openFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("session.json"));
    {
        MessageRepository source;
        fill(source, kTimeline);
        if (!bench::writeSession(source, path))
            return;
    }
    // From the open command to the chart drawn on screen: the paint is part of what the user waits for.
    const auto openOnce = [&](Showing showing) {
        MessageRepository repository;
        const std::unique_ptr<RequestDurationChart> frame = showFrame(repository, showing);
        QElapsedTimer timer;
        timer.start();
        bench::openSession(path, repository);
        if (frame) {
            frame->chart()->refreshNow();
            ChartView *view = frame->chart()->chartView();
            view->repaint();
            // A large layer is drawn aside: the figure ends when it is on screen.
            if (view->layerPending()) {
                bench::waitFor([&] { return !view->layerPending(); }, 120000, 1);
                view->repaint();
            }
        }
        return bench::ms(timer);
    };
    std::vector<double> closed, bar, line;
    for (int round = 0; round < 5; ++round) {
        closed.push_back(openOnce(Showing::None));
        bar.push_back(openOnce(Showing::Bar));
        line.push_back(openOnce(Showing::Line));
    }
    std::printf("open a session file of %d exchanges, paint included: chart absent median %.0f ms (%.0f-%.0f)\n",
        kTimeline, bench::median(closed), *std::min_element(closed.begin(), closed.end()),
        *std::max_element(closed.begin(), closed.end()));
    for (const auto &[name, times] : {std::pair("bar", &bar), std::pair("line", &line)}) {
        std::printf("  %s chart showing: median %.0f ms (%.0f-%.0f), ratio %.2f (target < 1.5)\n", name,
            bench::median(*times), *std::min_element(times->begin(), times->end()),
            *std::max_element(times->begin(), times->end()), bench::median(*times) / bench::median(closed));
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    hoverRepaint();
    perDelivery();
    openFile();
    return 0;
}
