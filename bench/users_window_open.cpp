// The impersonation window over thousands of stored users, as the developer sees it: from building
// the window (the store's load, sorting and filtering included) to the first paint that shows
// rows; from a click on a row's star to the paint that shows the re-sorted rows; from one keystroke
// in the search field to the paint that shows its rows; from the keystroke that clears a narrow
// search (the users whose notes hold "notes for 7", a few in every hundred rows, or the one user
// "u_4242") to the paint that shows every row again. Prints median, fastest and slowest per figure
// and list size. Target: under 150 ms each.
// Usage: users_window_open [runs] [users…]   (default 7 runs, 5000 and 20000 users;
// headless: QT_QPA_PLATFORM=offscreen)
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/users/ImpersonateListViewModel.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"
#include "MorvendaApp/users/StoredUserWriter.h"
#include "MorvendaApp/users/ui/AvatarLoader.h"
#include "MorvendaApp/users/ui/ImpersonateUserDelegate.h"
#include "MorvendaApp/users/ui/ImpersonationListModel.h"
#include "MorvendaApp/users/ui/ImpersonationListView.h"

#include "bench/BenchSupport.h"
#include "bench/PaintWatch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

const char *const kFirst[] = {"Fiona", "Marek", "Aiko", "Jonas", "Léa", "Priya", "Tomás", "Ingrid", "Omar", "Yuki",
    "Elena", "Kwame", "Sofia", "Lars", "Amara"};
const char *const kLast[] = {"Marsh", "Novak", "Tanaka", "Berg", "Dubois", "Shah", "García", "Holm", "Haddad",
    "Sato", "Rossi", "Mensah", "Costa", "Nilsen", "Okafor"};

ImpersonateUserData user(int i)
{
    const QString n = QString::number(i);
    const bool retailer = i % 3 != 0;
    QList<UserTag> tags;
    for (int t = 0; t < i % 5; ++t) {
        tags.append(UserTag((i + t * 3) % 13));
    }
    const QString name = QStringLiteral("%1 %2 %3").arg(QString::fromUtf8(kFirst[i % 15]), QString::fromUtf8(kLast[(i / 15) % 15]), n);
    return ImpersonateUserData(QStringLiteral("u_") + n,
        retailer ? std::optional<QString>(QStringLiteral("r_") + n) : std::nullopt,
        retailer ? std::nullopt : std::optional<QString>(QStringLiteral("b_") + n), std::nullopt, name,
        i % 4 ? std::optional<QString>(QStringLiteral("user%1@shop.example").arg(i)) : std::nullopt,
        retailer ? std::optional<QString>(i % 2 ? QStringLiteral("USA") : QStringLiteral("GER")) : std::nullopt, i % 50 == 0,
        i % 7 == 0 ? std::optional<QString>(QStringLiteral("notes for ") + n) : std::nullopt,
        i % 6 ? std::optional<QList<UserTag>>(tags) : std::nullopt);
}

struct Figures
{
    std::vector<double> open;
    std::vector<double> star;
    std::vector<double> keystroke;
    std::vector<double> clearScattered;
    std::vector<double> clearOne;
};

void print(int users, const char *what, const std::vector<double> &times)
{
    std::printf("%6d stored users: %-44s median %6.1f ms (%.1f–%.1f, %zu runs)\n", users, what, bench::median(times),
        *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()), times.size());
}

// Waits for a paint with rows after `since` such paints; returns the milliseconds from `timer`'s start.
double paintedAfter(bench::PaintWatch &watch, int since, const QElapsedTimer &timer)
{
    if (!bench::waitFor([&] { return watch.paints > since; }, 60000, 1)) {
        std::fprintf(stderr, "the list never painted its rows\n");
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e6;
}

bool measure(int users, int runs, Figures &figures)
{
    QTemporaryDir dir;
    auto opened = ImpersonateUserStore::open(dir.filePath(QStringLiteral("stored-users.sqlite3")));
    if (!opened) {
        std::fprintf(stderr, "cannot open the store: %s\n", qPrintable(opened.error().message));
        return false;
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
        return false;
    }

    UserManager userManager;
    SettingsManager settings(SettingsManager::defaultMobileProtobufKey());
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener({userManager, settings, milestones, repository, logger}, {QHostAddress::LocalHost, false});
    AvatarLoader avatars;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        ImpersonationListView view(ImpersonationListView::Services{listener, userManager, store, avatars, {}, {}});
        QListView *list = view.list();
        bench::PaintWatch watch(*list->viewport(), [list] {
            return list->indexAt(QPoint(list->viewport()->width() / 2, list->viewport()->height() / 2)).isValid();
        });
        view.resize(420, 800);
        view.show();
        figures.open.push_back(paintedAfter(watch, 0, timer));

        // The developer has scrolled into the middle and stars a row they see.
        QScrollBar *bar = view.list()->verticalScrollBar();
        bar->setValue(bar->maximum() / 2 + run * 997 % (bar->maximum() / 4 + 1));
        int painted = watch.paints;
        paintedAfter(watch, painted, timer);
        const QModelIndex row = view.list()->indexAt(QPoint(200, 300));
        const auto *delegate = static_cast<ImpersonateUserDelegate *>(view.list()->itemDelegate());
        QStyleOptionViewItem option;
        option.initFrom(view.list()->viewport());
        option.rect = view.list()->visualRect(row);
        option.font = view.list()->font();
        const std::optional<ImpersonateUserData> record = view.model().record(row);
        if (!record) {
            std::fprintf(stderr, "no user row in the middle of the list\n");
            return false;
        }
        const QPoint star = delegate->geometry(option, *record).star.center();
        // The star lands on the store's writer thread; the rows follow once it has.
        std::optional<int> paintedBeforeLists;
        const QMetaObject::Connection listed = QObject::connect(&view.viewModel(),
            &ImpersonateListViewModel::listsChanged, &view, [&] { paintedBeforeLists = watch.paints; });
        timer.restart();
        QTest::mouseClick(view.list()->viewport(), Qt::LeftButton, {}, star);
        if (!bench::waitFor([&] { return paintedBeforeLists.has_value(); }, 60000, 1)) {
            std::fprintf(stderr, "the star never landed\n");
            return false;
        }
        QObject::disconnect(listed);
        figures.star.push_back(paintedAfter(watch, *paintedBeforeLists, timer));

        // One keystroke narrows the list, the next one widens it again.
        for (const bool narrow : {true, false}) {
            painted = watch.paints;
            timer.restart();
            if (narrow) {
                QTest::keyClick(view.searchField(), '1');
            } else {
                QTest::keyClick(view.searchField(), Qt::Key_Backspace);
            }
            figures.keystroke.push_back(paintedAfter(watch, painted, timer));
        }
        // A narrow search, then every character of it deleted at once.
        for (const bool scattered : {true, false}) {
            view.searchField()->setText(scattered ? QStringLiteral("notes for 7") : QStringLiteral("u_4242"));
            // Settled and painted (the one user's row may not reach the middle the watch looks at).
            bench::waitFor([] { return false; }, 300);
            view.searchField()->selectAll();
            painted = watch.paints;
            timer.restart();
            QTest::keyClick(view.searchField(), Qt::Key_Backspace);
            (scattered ? figures.clearScattered : figures.clearOne).push_back(paintedAfter(watch, painted, timer));
        }
        // The next run stars another row: put this one back.
        store.writer().runAndWait(
            [&record](ImpersonateUserStore &connection) { (void)connection.setFavorite(record->id, record->favorite); });
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i) {
        sizes.push_back(std::max(1, atoi(argv[i])));
    }
    if (sizes.empty()) {
        sizes = {5000, 20000};
    }
    for (const int users : sizes) {
        Figures figures;
        if (!measure(users, runs, figures)) {
            return 1;
        }
        print(users, "window built to the first paint with rows:", figures.open);
        print(users, "star click to the re-sorted rows painted:", figures.star);
        print(users, "search keystroke to its rows painted:", figures.keystroke);
        print(users, "narrow search (scattered) cleared, rows painted:", figures.clearScattered);
        print(users, "narrow search (one user) cleared, rows painted:", figures.clearOne);
    }
    return 0;
}
