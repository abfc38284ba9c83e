// Figures of the path column's rows, shortened so their ids show: what one repaint of the rows on
// screen costs at the column's narrowest with 1,000 REST paths listed, with the shortened texts
// remembered and right after a width change has forgotten them, what scrolling through the
// whole list costs, and what shortening one path costs beside Qt's own middle elision.
#include "BenchSupport.h"
#include "session_common.h"

#include "MorvendaApp/metrics/ui/PathElision.h"
#include "MorvendaApp/metrics/ui/RequestDurationChart.h"
#include "MorvendaApp/session/MessageRepository.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <QUuid>
#include <QWindow>

#include <cstdio>
#include <vector>

namespace {

constexpr int kPaths = 1000;

// Ids in the middle, ids behind another id, UUIDs: the kinds a shopping app sends.
QString restPath(int i)
{
    switch (i % 3) {
    case 0:
        return QStringLiteral("/api/v2/products/%1/reviews").arg(104729 + i);
    case 1:
        return QStringLiteral("/api/v2/stores/42/products/%1/reviews").arg(104729 + i);
    default:
        return QStringLiteral("/api/v2/carts/%1/items").arg(bench::uuid(quint32(i)).toString(QUuid::WithoutBraces));
    }
}

QString load()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readLine()).section(u' ', 0, 2) : QStringLiteral("?");
}

// Milliseconds of one synchronous repaint of the list's rows on screen.
double repaintMs(QListView &list)
{
    QElapsedTimer timer;
    timer.start();
    list.viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
}

void rowRepaints()
{
    MessageRepository repository;
    {
        const MessageRepository::BatchScope batch(repository);
        for (int i = 0; i < kPaths; ++i) {
            repository.addRequest(Request(bench::uuid(quint32(i), 5), Url::fromText(QStringLiteral("https://shop.example") + restPath(i)),
                                          Method::Get, 1.7e9 + i, std::nullopt, {}),
                                  QStringLiteral("App"));
        }
    }
    RequestDurationChart frame(repository);
    frame.resize(340, 900);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame))
        return;
    QListView &list = *frame.pathList();
    bench::waitFor([&] { return list.model()->rowCount() == kPaths; }, 5000);
    QCoreApplication::processEvents();
    const int column = list.parentWidget()->width();
    const int onScreen = list.viewport()->height() / std::max(1, list.sizeHintForRow(0));

    std::vector<double> warm;
    repaintMs(list);
    for (int i = 0; i < 50; ++i)
        warm.push_back(repaintMs(list));

    // Each width forgets what the last one shortened: every row on screen is shortened anew. The
    // frame's first widths at which the column grows past its narrowest, one pixel apart.
    int wider = 340;
    while (list.parentWidget()->width() <= 100 && wider < 600) {
        frame.resize(++wider, 900);
        QCoreApplication::processEvents();
    }
    const int widerColumn = list.parentWidget()->width();
    std::vector<double> cold;
    for (int i = 0; i < 20; ++i) {
        const int before = list.viewport()->width();
        frame.resize(wider + i % 2, 900);
        bench::waitFor([&] { return list.viewport()->width() != before; }, 2000);
        cold.push_back(repaintMs(list));
    }
    frame.resize(340, 900);
    bench::waitFor([&] { return list.parentWidget()->width() == column; }, 2000);

    // Page by page through all the rows, first seen and then again.
    double scroll[2] = {0, 0};
    QScrollBar *bar = list.verticalScrollBar();
    for (double &total : scroll) {
        for (int value = 0; value <= bar->maximum(); value += bar->pageStep()) {
            bar->setValue(value);
            total += repaintMs(list);
        }
        bar->setValue(0);
    }
    std::printf("path rows, %d paths, column %d px, %d rows on screen (load %s):\n", kPaths, column, onScreen, qPrintable(load()));
    std::printf("  repaint, texts remembered: median %.3f ms (%.3f-%.3f)\n", bench::median(warm),
                *std::min_element(warm.begin(), warm.end()), *std::max_element(warm.begin(), warm.end()));
    std::printf("  repaint after a width change (column %d/%d px): median %.3f ms (%.3f-%.3f)\n", widerColumn, widerColumn + 1, bench::median(cold),
                *std::min_element(cold.begin(), cold.end()), *std::max_element(cold.begin(), cold.end()));
    std::printf("  scroll through every row page by page: first %.1f ms, again %.1f ms\n", scroll[0], scroll[1]);
}

void shortening()
{
    QFont font = QApplication::font();
    font.setPixelSize(13);
    const QFontMetricsF metrics(font);
    PathElision::Measure measure(font);
    QStringList paths;
    for (int i = 0; i < kPaths; ++i)
        paths.append(restPath(i));
    double ours = 0;
    double qts = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (const QString &path : std::as_const(paths))
            PathElision::elide(path, measure, 100);
        ours += timer.nsecsElapsed();
        timer.restart();
        for (const QString &path : std::as_const(paths))
            metrics.elidedText(path, Qt::ElideMiddle, 100);
        qts += timer.nsecsElapsed();
    }
    std::printf("  one path at 100 px: shortened %.1f us, Qt's middle elision %.1f us (load %s)\n", ours / 5e3 / kPaths,
                qts / 5e3 / kPaths, qPrintable(load()));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    rowRepaints();
    shortening();
    return 0;
}
