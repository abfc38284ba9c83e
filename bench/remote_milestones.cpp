// The milestone panel, shown, when an app reports 100,000 milestones: each report (decoded and
// stored) timed to the repainted list: new dates, changed counts, one milestone more or less, and
// a list whose every key is new; the same reports with the panel closed for scale.
// Prints medians, best and worst runs.
#include "remote_common.h"

#include "MorvendaApp/remote/ui/MilestoneListView.h"
#include "MorvendaModel/Encoder.h"

#include <QApplication>
#include <QListView>

#include <cstdio>
#include <memory>

namespace {

constexpr int kMilestones = 100000;
constexpr int kRuns = 7;

// Realistic keys of varied length, some of them not plain ASCII (accents, another script), which
// rows measure by shaping; most milestones carry both dates, some one, some none.
QList<Milestone> milestoneList(int generation, int count = kMilestones, const QString &keyTag = {})
{
    static const QStringList areas = {QStringLiteral("checkout"), QStringLiteral("wishlist_items"),
        QStringLiteral("brand_page_visits"), QStringLiteral("search"), QStringLiteral("first_order_placed_with_referral_code"),
        QStringLiteral("größenfilter_café_geöffnet"), QStringLiteral("ブランドページ_閲覧")};
    QList<Milestone> out;
    out.reserve(count);
    const double start = 1.7e9;
    for (int i = 0; i < count; ++i) {
        const QString key = areas.at(i % areas.size()) + keyTag + QStringLiteral("_milestone_") + QString::number(i);
        const std::optional<double> created = i % 7 == 3 ? std::nullopt : std::optional(start + i * 61.5);
        const std::optional<double> updated = i % 5 == 2 ? std::nullopt : std::optional(start + i * 97.25 + generation);
        out.append(Milestone(key, qint64(i) * 3 + generation, created, updated));
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    bench::RemoteSession session;
    MorvendaListener &listener = session.listener;
    MilestoneManager &milestones = session.milestones;

    const auto timeReports = [&](QWidget *panel, const std::function<QList<Milestone>(int)> &make) {
        std::vector<double> ms;
        for (int run = 0; run < kRuns; ++run) {
            const QByteArray json = Encoder::encode(Payload::milestone(make(run)));
            QElapsedTimer timer;
            timer.start();
            session.receive(json);
            bench::settle(panel);
            ms.push_back(timer.nsecsElapsed() / 1e6);
        }
        return ms;
    };
    std::printf("%d milestones, %.1f MB a report\n", kMilestones,
        Encoder::encode(Payload::milestone(milestoneList(0))).size() / 1e6);

    const auto fresh = [](int run) { return milestoneList(1000 * (run + 1)); };
    const auto counts = [](int run) { return milestoneList(run % 2); };
    const auto grown = [](int run) { return milestoneList(0, kMilestones - (run % 2)); };
    bench::report("panel closed: a report", timeReports(nullptr, counts));

    MilestoneListView panel(listener, milestones);
    panel.resize(400, 900);
    panel.show();
    QCoreApplication::processEvents();
    bench::report("panel open: a new list (every date changed)", timeReports(&panel, fresh));
    bench::report("panel open: the same list, counts changed", timeReports(&panel, counts));
    bench::report("panel open: one milestone more or less", timeReports(&panel, grown));
    bench::report("panel open: every key new", timeReports(&panel, [](int run) {
        return milestoneList(0, kMilestones, QStringLiteral("_v") + QString::number(run));
    }));
    if (panel.list()->model()->rowCount() < kMilestones - 1)
        std::printf("unexpected: %d rows listed\n", panel.list()->model()->rowCount());
    return 0;
}
