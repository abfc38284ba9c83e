// The stored-user store at 5,000 users, on a real file: what the developer waits for when toggling
// a favourite (write, reload, sort, split), when typing a note (one write per keystroke), and what
// each user report costs the main loop (handing it over) and how long until it is stored (read,
// merge and write in one transaction on the store's thread).
// Usage: users_store [users=5000] [folder]   (the folder defaults to a temporary one)
#include "BenchSupport.h"

#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/session/MilestoneManager.h"
#include "MorvendaApp/session/MorvendaListener.h"
#include "MorvendaApp/session/SettingsManager.h"
#include "MorvendaApp/session/UserManager.h"
#include "MorvendaApp/users/ImpersonateListViewModel.h"
#include "MorvendaApp/users/ImpersonateUpdater.h"
#include "MorvendaApp/users/StoredUserWriter.h"
#include "MorvendaApp/users/ImpersonateUserStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {
double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, size_t(double(values.size()) * p))];
}

void report(const char *what, const std::vector<double> &ms)
{
    std::printf("%-44s n=%4zu  median %7.3f ms  p95 %7.3f ms  max %7.3f ms\n", what, ms.size(), bench::median(ms),
        percentile(ms, 0.95), *std::max_element(ms.begin(), ms.end()));
}

User reportedUser(int i, int revision)
{
    const QString n = QString::number(i);
    Retailer retailer(QStringLiteral("Shop ") + n, QStringLiteral("r-") + n, true, QStringLiteral("USA"),
        std::nullopt, std::nullopt);
    return User::withTags(QStringLiteral("User %1").arg(i), QStringLiteral("token-%1").arg(i),
        QStringLiteral("user%1.%2@example.com").arg(i).arg(revision), {},
        Url::fromText(QStringLiteral("https://img.example.com/%1.png").arg(i)), false, false, false,
        {UserTag::Active, UserTag::PlaceOrder, UserTag::Ostrane}, retailer, std::nullopt);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    QTemporaryDir temporary;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    const QString path = folder + QStringLiteral("/") + ImpersonateUserStore::fileName();
    QFile::remove(path);
    auto opened = ImpersonateUserStore::open(path);
    if (!opened) {
        std::fprintf(stderr, "cannot open %s: %s\n", qUtf8Printable(path), qUtf8Printable(opened.error().message));
        return 1;
    }
    ImpersonateUserStore &store = **opened;

    UserManager users;
    SettingsManager settings{SettingsManager::defaultMobileProtobufKey()};
    MilestoneManager milestones;
    MessageRepository repository;
    Logger logger;
    MorvendaListener listener{{users, settings, milestones, repository, logger}, {QHostAddress::LocalHost, false}};
    ImpersonateUpdater updater(store);
    updater.start(users);

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        users.storeUser(QStringLiteral("app"), reportedUser(i, 0));
    }
    const double handed = double(timer.nsecsElapsed()) / 1e6;
    bench::waitFor([&] { return updater.waiting().isEmpty(); }, 600000, 1);
    std::printf("%d reported users: handed over in %.1f ms (%.3f ms each), all stored after %.1f ms\n", count,
        handed, handed / count, double(timer.nsecsElapsed()) / 1e6);

    ImpersonateListViewModel model(listener, users, store);
    timer.restart();
    model.fetchUsers();
    const double asked = double(timer.nsecsElapsed()) / 1e6;
    // The users are read and sorted on the store's writer thread; the lists follow once they land.
    bench::waitFor([&model] { return !model.isLoading(); }, 600000, 1);
    std::printf("first load of %lld users (fetch, sort, split): main thread %.1f ms, lists after %.1f ms\n",
        static_cast<long long>(model.users().size()), asked, double(timer.nsecsElapsed()) / 1e6);

    std::vector<double> clicks;
    std::vector<double> toggles;
    for (int i = 0; i < 60; ++i) {
        const ImpersonateUserData user = model.users().at((i * 37) % model.users().size());
        // The star lands on the store's writer thread; the lists follow once it has.
        bool listed = false;
        const QMetaObject::Connection connection = QObject::connect(&model, &ImpersonateListViewModel::listsChanged,
            &model, [&listed] { listed = true; });
        timer.restart();
        model.toggleFavorite(user);
        clicks.push_back(double(timer.nsecsElapsed()) / 1e6);
        bench::waitFor([&listed] { return listed; }, 60000, 1);
        toggles.push_back(double(timer.nsecsElapsed()) / 1e6);
        QObject::disconnect(connection);
    }
    report("favourite toggle: main thread", clicks);
    report("favourite toggle to re-sorted lists", toggles);

    std::vector<double> keystrokes;
    std::vector<double> stored;
    const ImpersonateUserData noted = model.displayUsers().at(model.displayUsers().size() / 2);
    QString notes;
    for (int i = 0; i < 600; ++i) {
        notes.append(QChar(u'a' + i % 26));
        timer.restart();
        model.setNotes(notes, noted);
        keystrokes.push_back(double(timer.nsecsElapsed()) / 1e6);
        store.writer().runAndWait([](ImpersonateUserStore &) {});
        stored.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    report("one notes keystroke: main thread", keystrokes);
    report("one notes keystroke stored", stored);

    std::vector<double> handovers;
    std::vector<double> merges;
    for (int i = 0; i < 600; ++i) {
        const User user = reportedUser((i * 7919) % count, i + 1);
        timer.restart();
        users.storeUser(QStringLiteral("app"), user);
        handovers.push_back(double(timer.nsecsElapsed()) / 1e6);
        bench::waitFor([&] { return updater.waiting().isEmpty(); }, 60000, 1);
        merges.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    report("one reported user: main thread", handovers);
    report("one reported user: until merged and stored", merges);
    return 0;
}
