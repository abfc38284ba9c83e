// Figures of the message repository at scale.
#include "MorvendaApp/session/MessageRepository.h"
#include "session_common.h"

#include <QCoreApplication>

#include <algorithm>
#include <vector>

using namespace bench;

namespace {

void registerQuickFilters(MessageRepository &repository)
{
    repository.registerPredicate(std::make_shared<AnalyticsFilterPredicate>());
    repository.registerPredicate(std::make_shared<SettingFilterPredicate>());
    repository.registerPredicate(std::make_shared<MilestoneFilterPredicate>());
    repository.registerPredicate(std::make_shared<OtherFilterPredicate>());
}

// 200,000 requests and their 200,000 responses with 2 KB bodies, the four quick filters
// registered: operations per second, and the last tenth's time over the first tenth's.
void ingest()
{
    const int pairs = 200000;
    std::vector<Request> requests;
    std::vector<Response> responses;
    requests.reserve(pairs);
    responses.reserve(pairs);
    const QString requestBody = body(2048, 1);
    const QString responseBody = body(2048, 2);
    for (int i = 0; i < pairs; ++i) {
        requests.push_back(request(i, requestBody));
        responses.push_back(response(i, responseBody, quint32(i)));
    }
    MessageRepository repository;
    registerQuickFilters(repository);
    qint64 rows = 0;
    QObject::connect(&repository, &MessageRepository::timelineRowInserted, &repository, [&](qsizetype) { ++rows; });

    const int tenth = pairs / 10;
    std::vector<double> tenths;
    QElapsedTimer total;
    total.start();
    QElapsedTimer slice;
    slice.start();
    for (int i = 0; i < pairs; ++i) {
        repository.addRequest(requests[size_t(i)], QStringLiteral("Shop"));
        repository.addResponse(responses[size_t(i)], QStringLiteral("Shop"));
        if ((i + 1) % tenth == 0) {
            tenths.push_back(ms(slice));
            slice.restart();
        }
    }
    const double totalMs = ms(total);
    std::printf("ingest: %d requests + %d responses (2 KB bodies, 4 quick filters): %.0f ms, %.0f operations/s\n",
                pairs, pairs, totalMs, 2.0 * pairs / (totalMs / 1000.0));
    std::printf("ingest: per tenth (ms):");
    for (double t : tenths)
        std::printf(" %.0f", t);
    std::printf("\ningest: last tenth / first tenth = %.2f (rows inserted %lld)\n", tenths.back() / tenths.front(),
                static_cast<long long>(rows));
}

// One batch ID shared by n responses with distinct message IDs.
void oneBatch(int n)
{
    MessageRepository repository;
    const QString responseBody = body(256, 3);
    for (int i = 0; i < n; ++i)
        repository.addRequest(request(i, QString()), QStringLiteral("Shop"));
    std::vector<Response> responses;
    for (int i = 0; i < n; ++i)
        responses.push_back(response(i, responseBody, 42));
    QElapsedTimer timer;
    timer.start();
    for (const Response &r : responses)
        repository.addResponse(r, QStringLiteral("Shop"));
    const double total = ms(timer);
    std::printf("batch: %d responses under one batch ID: %.1f ms (%.2f us per response), last count %lld\n", n, total,
                total * 1000.0 / n, static_cast<long long>(*repository.timelineAt(n - 1).batchCount()));
}

// applyFilter, the peer filter registered again and a text predicate's recomputation with a
// million exchanges.
void million()
{
    const int n = 1000000;
    MessageRepository repository;
    for (int i = 0; i < n; ++i)
        repository.addRequest(request(i, QString()), (i % 3) ? QStringLiteral("Shop") : QStringLiteral("Brand"));
    repository.registerPredicate(std::make_shared<OtherFilterPredicate>());
    repository.registerPredicate(std::make_shared<KeypathFilterPredicate<QString>>(KeyPaths::peer, QStringLiteral("Shop"),
        [](const QString &a, const QString &b) { return a == b; }));

    std::vector<double> apply, text, typed, peer;
    int resets = 0;
    int peerResets = 0;
    QObject::connect(&repository, &MessageRepository::timelineReset, [&resets] { ++resets; });
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        repository.applyFilter();
        apply.push_back(ms(timer));
        // An app connecting again under its name: the same peer filter is registered again.
        const int resetsBefore = resets;
        timer.restart();
        repository.registerPredicate(std::make_shared<KeypathFilterPredicate<QString>>(
            KeyPaths::peer, QStringLiteral("Shop"), [](const QString &a, const QString &b) { return a == b; }));
        peer.push_back(ms(timer));
        peerResets += resets - resetsBefore;
        timer.restart();
        repository.registerPredicate(std::make_shared<KeypathFilterPredicate<std::optional<QString>>>(
            KeyPaths::requestPath, QStringLiteral("sear"),
            [](const std::optional<QString> &path, const std::optional<QString> &needle) {
                return path && path->contains(*needle, Qt::CaseInsensitive);
            }));
        text.push_back(ms(timer));
    }
    repository.removePredicate(PredicateRegister::keypath(ExchangeKeyPath::RequestPath));
    // The filter bar's own text filter, typed on and deleted back: each keystroke is one
    // registration, answered from the path texts.
    for (const QString &typedText : {QStringLiteral("s"), QStringLiteral("se"), QStringLiteral("sea"), QStringLiteral("sear"),
                                     QStringLiteral("sea"), QStringLiteral("se"), QStringLiteral("s")}) {
        QElapsedTimer timer;
        timer.start();
        repository.registerPredicate(
            std::make_shared<PathTextFilterPredicate>(PathTextFilterPredicate::Mode::Containing, typedText));
        typed.push_back(ms(timer));
    }
    std::sort(apply.begin(), apply.end());
    std::sort(peer.begin(), peer.end());
    std::sort(text.begin(), text.end());
    std::sort(typed.begin(), typed.end());
    std::printf("million: applyFilter over %d exchanges, 3 filters: median %.1f ms\n", n, apply[2]);
    std::printf("million: the same peer filter registered again: median %.1f ms, worst %.1f ms, %d resets\n",
                peer[2], peer.back(), peerResets);
    std::printf("million: text predicate recomputation (results + applyFilter): median %.1f ms, %lld rows shown\n",
                text[2], static_cast<long long>(repository.timelineCount()));
    std::printf("million: text filter keystrokes (path texts, results + applyFilter): median %.1f ms, worst %.1f ms\n",
                typed[typed.size() / 2], typed.back());
}

// Apps connected at the same time take turns, and one has a megabyte-long name: what the store
// keeps per peer must not read the name's text per message.
void longPeerName()
{
    constexpr int n = 20000;
    const QString longName(1 << 20, u'n');
    const QStringList peers{longName, QStringLiteral("Shop"), QStringLiteral("Brand")};
    std::vector<double> requests, responses;
    for (int round = 0; round < 5; ++round) {
        MessageRepository repository;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < n; ++i)
            repository.addRequest(request(i, QString()), peers[i % 3]);
        requests.push_back(ms(timer));
        timer.restart();
        for (int i = 0; i < n; ++i)
            repository.addResponse(response(i, QString(), i), peers[i % 3]);
        responses.push_back(ms(timer));
    }
    std::sort(requests.begin(), requests.end());
    std::sort(responses.begin(), responses.end());
    std::printf("peers: three apps by turns, one named by 1 MB: %d requests median %.1f ms, %d responses median %.1f ms\n",
                n, requests[2], n, responses[2]);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ingest();
    oneBatch(1000);
    oneBatch(10000);
    million();
    longPeerName();
    return 0;
}
