// Prints the milliseconds from building the impersonation window over 5,000 stored users (the
// store's load, sorting and filtering included) until its list has painted for the first time:
// median, fastest and slowest of the runs. Target: under 500 ms.
// Usage: users_window_open [runs] [users]   (headless: QT_QPA_PLATFORM=offscreen)
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaApp/users/ui/ImpersonationListView.h"

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Notes the first paint of the watched widget.
class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }
};

ImpersonateUserData user(int i)
{
    const QString n = QString::number(i);
    const bool retailer = i % 3 != 0;
    return ImpersonateUserData(QStringLiteral("token-") + n,
        retailer ? std::optional<QString>(QStringLiteral("r-") + n) : std::nullopt,
        retailer ? std::nullopt : std::optional<QString>(QStringLiteral("b-") + n), std::nullopt,
        QStringLiteral("User %1 of the shop").arg(i), QStringLiteral("user%1@shop.example").arg(i),
        retailer ? std::optional<QString>(QStringLiteral("USA")) : std::nullopt, i % 50 == 0,
        i % 7 == 0 ? std::optional<QString>(QStringLiteral("notes for ") + n) : std::nullopt,
        i % 2 ? std::optional<QList<UserTag>>(QList<UserTag>{UserTag::PlaceOrder, UserTag::Ostrane}) : std::nullopt);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    const int users = argc > 2 ? std::max(1, atoi(argv[2])) : 5000;

    QTemporaryDir dir;
    auto opened = ImpersonateUserStore::open(dir.filePath(QStringLiteral("stored-users.sqlite3")));
    if (!opened) {
        std::fprintf(stderr, "cannot open the store: %s\n", qPrintable(opened.error().message));
        return 1;
    }
    ImpersonateUserStore &store = **opened;
    const auto filled = store.transaction([&]() -> tl::expected<void, QString> {
        for (int i = 0; i < users; ++i) {
            if (auto stored = store.upsert(user(i)); !stored) {
                return tl::unexpected(stored.error());
            }
        }
        return {};
    });
    if (!filled) {
        std::fprintf(stderr, "cannot fill the store: %s\n", qPrintable(filled.error()));
        return 1;
    }

    UserManager userManager;
    SettingsManager settings(SettingsManager::defaultMobileProtobufKey());
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener({userManager, settings, milestones, repository, logger}, {QHostAddress::LocalHost, false});
    AvatarLoader avatars;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        PaintWatch watch;
        QElapsedTimer timer;
        timer.start();
        ImpersonationListView view(ImpersonationListView::Services{listener, userManager, store, avatars, {}, {}});
        view.list()->viewport()->installEventFilter(&watch);
        view.resize(420, 800);
        view.show();
        if (!bench::waitFor([&] { return watch.painted; }, 60000, 1)) {
            std::fprintf(stderr, "the list never painted\n");
            return 1;
        }
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%d stored users: window built to first paint of the list, %d runs: median %.1f ms (%.1f–%.1f)\n",
        users, runs, bench::median(times), *std::min_element(times.begin(), times.end()),
        *std::max_element(times.begin(), times.end()));
    return 0;
}
