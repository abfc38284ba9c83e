// Relayout of a flow stack of 1,000 chips when its width changes: the new height for the width
// plus placing every chip, as a window resize does. Prints the median and the 95th percentile in
// milliseconds; the target is one frame (16 ms). Runs headless unless a platform is chosen.
#include "MorvendaApp/components/FlowStack.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kChips = 1000;
constexpr int kRuns = 200;

struct Figures
{
    double median;
    double p95;
};

Figures figures(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 95 / 100]};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QWidget host;
    auto *flow = new FlowStack(&host);
    for (int i = 0; i < kChips; ++i)
        flow->addWidget(new QLabel(QStringLiteral("chip %1 %2").arg(i).arg(QString(i % 13, QLatin1Char('x')))));
    host.resize(800, host.heightForWidth(800));
    host.show();

    std::vector<double> widthChange;
    std::vector<double> afterInvalidate;
    QElapsedTimer timer;
    // Every run moves the chips: the width alternates between a narrow and a wide value.
    const auto relayout = [&](int run, bool remeasure) {
        const int width = run % 2 ? 800 : 560 + run;
        if (remeasure)
            flow->invalidate();
        timer.start();
        host.resize(width, host.heightForWidth(width));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        return double(timer.nsecsElapsed()) / 1e6;
    };
    for (int run = 0; run < kRuns; ++run)
        widthChange.push_back(relayout(run, false));
    // As after a chip's text changed: every width is measured again before the relayout.
    for (int run = 0; run < kRuns; ++run)
        afterInvalidate.push_back(relayout(run, true));

    const Figures change = figures(widthChange);
    const Figures remeasure = figures(afterInvalidate);
    const QRect last = flow->itemAt(kChips - 1)->geometry();
    if (last.right() > host.width() || last.bottom() > host.height())
        std::printf("warning: the last chip lies outside the host\n");
    std::printf("flow stack, %d chips, %d runs\n", kChips, kRuns);
    std::printf("  width change:                median %.3f ms, p95 %.3f ms\n", change.median, change.p95);
    std::printf("  width change after remeasure: median %.3f ms, p95 %.3f ms\n", remeasure.median, remeasure.p95);
    return 0;
}
