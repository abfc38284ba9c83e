// Figures of the request-duration chart: what a live delivery costs with the chart showing over a
// long timeline, what a hover repaint costs over many bars, and what the chart adds to opening a
// large session file.
#include "BenchSupport.h"
#include "session_common.h"
#include "session_open.h"

#include "MorvendaApp/metrics/RequestDurationChartViewModel.h"
#include "MorvendaApp/metrics/ui/RequestDurationBarChart.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/session/MessageRepository.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <cstdio>


namespace {

constexpr int kTimeline = 50000;
const QStringList kSelected = {QStringLiteral("/api/items"), QStringLiteral("/api/cart"), QStringLiteral("/api/search"), QStringLiteral("/api/home"), QStringLiteral("/api/event")};

void fill(MessageRepository &repository, int count)
{
    const MessageRepository::BatchScope batch(repository);
    for (int i = 0; i < count; ++i) {
        repository.addRequest(bench::request(i, QStringLiteral("{}")), QStringLiteral("App"));
        repository.addResponse(bench::response(i, QStringLiteral("{}"), quint32(i)), QStringLiteral("App"));
    }
}

// 50 exchanges a second for four seconds over a timeline of 50,000: the time spent in each
// delivery (request and response), with the chart showing and without any chart.
void perDelivery()
{
    for (const bool showing : {false, true}) {
        MessageRepository repository;
        fill(repository, kTimeline);
        std::unique_ptr<RequestDurationChart> frame;
        if (showing) {
            frame = std::make_unique<RequestDurationChart>(repository);
            frame->resize(1200, 320);
            frame->show();
            for (const QString &path : kSelected)
                frame->viewModel().togglePath(path);
            QCoreApplication::processEvents();
        }
        std::vector<double> deliveries;
        std::vector<double> turns;
        for (int i = kTimeline; i < kTimeline + 200; ++i) {
            QElapsedTimer timer;
            timer.start();
            repository.addRequest(bench::request(i, QStringLiteral("{}")), QStringLiteral("App"));
            repository.addResponse(bench::response(i, QStringLiteral("{}"), quint32(i)), QStringLiteral("App"));
            deliveries.push_back(bench::ms(timer) / 2);
            // The rest of the 20 ms until the next exchange: the event loop redraws what is due.
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents();
            turns.push_back(bench::ms(turn));
            QThread::msleep(std::max<qint64>(0, 20 - qint64(bench::ms(timer))));
        }
        double busy = 0;
        for (const double t : turns)
            busy += t;
        std::printf("50 exchanges/s over %d, chart %s: delivery median %.3f ms (%.3f-%.3f; target < 1 ms), "
                    "event-loop work %.1f ms over 4 s (%.1f %%)%s\n",
            kTimeline, showing ? "showing, 5 paths selected" : "absent", bench::median(deliveries),
            *std::min_element(deliveries.begin(), deliveries.end()), *std::max_element(deliveries.begin(), deliveries.end()),
            busy, busy / 40.0,
            showing ? qPrintable(QStringLiteral(", %1 items charted").arg(frame->viewModel().graphData().size())) : "");
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
    const auto openOnce = [&](bool showing) {
        MessageRepository repository;
        std::unique_ptr<RequestDurationChart> frame;
        if (showing) {
            frame = std::make_unique<RequestDurationChart>(repository);
            frame->resize(1200, 320);
            frame->show();
            for (const QString &selected : kSelected)
                frame->viewModel().togglePath(selected);
        }
        QElapsedTimer timer;
        timer.start();
        bench::openSession(path, repository);
        if (frame)
            frame->chart()->refreshNow();
        return bench::ms(timer);
    };
    std::vector<double> closed, open;
    for (int round = 0; round < 5; ++round) {
        closed.push_back(openOnce(false));
        open.push_back(openOnce(true));
    }
    std::printf("open a session file of %d exchanges: chart absent median %.0f ms (%.0f-%.0f), chart showing "
                "median %.0f ms (%.0f-%.0f), ratio %.2f (target < 1.5)\n",
        kTimeline, bench::median(closed), *std::min_element(closed.begin(), closed.end()),
        *std::max_element(closed.begin(), closed.end()), bench::median(open), *std::min_element(open.begin(), open.end()),
        *std::max_element(open.begin(), open.end()), bench::median(open) / bench::median(closed));
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
