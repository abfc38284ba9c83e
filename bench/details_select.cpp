// Prints (1) the milliseconds from selecting an exchange with a 5 MB request body until the Body
// tab's editor holds it (median of the runs, and how much of it blocks the main thread), (2) the
// cost of a selection while the Info tab is shown, and (3) this process's resident memory over
// 100 switches between two such exchanges.
// Usage: details_select [runs]   (headless: QT_QPA_PLATFORM=offscreen, as root also
// QTWEBENGINE_DISABLE_SANDBOX=1)
#include "MorvendaApp/details/EntryDetailsView.h"
#include "MorvendaApp/details/DetailsToolbar.h"

#include "CodeMirror/CodeMirrorCoordinator.h"
#include "CodeMirror/CodeMirrorView.h"
#include "MorvendaApp/session/MessageRepository.h"

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

using bench::median;
using bench::residentBytes;
using bench::waitFor;

QString bigJson(qsizetype bytes, int seed)
{
    QString json = QStringLiteral("[");
    for (int i = 0; json.size() < bytes; ++i)
        json += QStringLiteral("{\"id\": %1, \"name\": \"item %2\", \"tags\": [\"a\", \"b\"], \"ok\": true},\n").arg(i).arg(seed);
    json += QStringLiteral("{}]");
    return json;
}

// The length of the text the editor page holds, or -1.
qsizetype pageLength(CodeMirrorViewModel &model)
{
    qsizetype length = -1;
    bool done = false;
    QObject context;
    model.executeJSAsync({QStringLiteral("String(CodeMirror.getContent().length)"), {}}, &context,
        [&](const CodeMirrorViewModel::TextResult &r) {
            if (r && r->has_value())
                length = (*r)->toLongLong();
            done = true;
        });
    waitFor([&] { return done; });
    return length;
}

// 5,000 responses joining the exchange the details show, `perTurn` of them per event-loop turn
// (one per turn as a slow app sends them, or many as one socket read delivers a burst): the time
// of each thousand, which must not grow with the responses already there.
void responsesJoiningTheShownExchange(int perTurn)
{
    MessageRepository repository;
    const QUuid id = QUuid::createUuid();
    const QUuid batch = QUuid::createUuid();
    const std::optional<Url> url = Url::fromText(QStringLiteral("https://shop.example/api/items"));
    repository.addRequest(Request(id, url, Method::Get, 1.0, QStringLiteral("{}"), {}), QStringLiteral("bench"));
    EntryDetailsView view(repository, id);
    view.resize(1200, 800);
    view.show();
    QCoreApplication::processEvents();
    std::vector<double> thousands;
    QElapsedTimer total;
    total.start();
    QElapsedTimer slice;
    slice.start();
    for (int i = 1; i <= 5000; ++i) {
        repository.addResponse(Response(id, batch, 200, url, Response::Source::Network, 1.0 + i * 0.001,
                                        {{QStringLiteral("Content-Type"), QStringLiteral("application/json")}},
                                        QStringLiteral("{\"n\":%1}").arg(i)),
                               QStringLiteral("bench"));
        if (i % perTurn == 0)
            QCoreApplication::processEvents();
        if (i % 1000 == 0) {
            thousands.push_back(slice.nsecsElapsed() / 1e6);
            slice.restart();
        }
    }
    std::printf("5,000 responses joining the shown exchange, %d per event-loop turn: %.0f ms in all; per thousand (ms):",
                perTurn, total.nsecsElapsed() / 1e6);
    for (const double ms : thousands)
        std::printf(" %.0f", ms);
    std::printf("; picker holds %d entries\n", view.toolbar()->responseMenu()->count());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 11;
    responsesJoiningTheShownExchange(1);
    responsesJoiningTheShownExchange(50);

    MessageRepository repository;
    const QUuid first = QUuid::createUuid();
    const QUuid second = QUuid::createUuid();
    // Different lengths, so the page's length tells which body it holds.
    const QString firstBody = bigJson(5 * 1024 * 1024, 1);
    const QString secondBody = bigJson(5 * 1024 * 1024 + 4096, 2);
    const auto add = [&](const QUuid &id, const QString &body) {
        repository.addRequest(Request(id, Url::fromText(QStringLiteral("https://shop.example/api/items")), Method::Post,
                                  1.0, body, {{QStringLiteral("Accept"), QStringLiteral("application/json")}}),
            QStringLiteral("bench"));
    };
    add(first, firstBody);
    add(second, secondBody);

    EntryDetailsView view(repository, first);
    view.resize(1200, 800);
    view.show();
    PayloadDetailsView *pane = view.requestPane();

    // The Info tab: the table is rebuilt, nothing reaches a web page.
    std::vector<double> infoMs;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer timer;
        timer.start();
        view.setSelectedMessageID(i % 2 ? first : second);
        infoMs.push_back(timer.nsecsElapsed() / 1e6);
    }

    pane->setSelectedDetailType(PayloadDetailsView::DetailType::Body);
    PayloadBodyView *body = pane->bodyPane();
    if (!waitFor([&] { return body->codeView()->coordinator().pageLoaded(); })) {
        std::fprintf(stderr, "the editor page did not load\n");
        return 1;
    }
    auto switchTo = [&](const QUuid &id, const QString &text, double *blockedMs) {
        QElapsedTimer timer;
        timer.start();
        view.setSelectedMessageID(id);
        *blockedMs = timer.nsecsElapsed() / 1e6;
        if (!waitFor([&] { return pageLength(body->viewModel()) == text.size(); }))
            return -1.0;
        return timer.nsecsElapsed() / 1e6;
    };

    std::vector<double> shownMs;
    std::vector<double> blockedMs;
    for (int i = 0; i < runs; ++i) {
        const bool even = i % 2 == 0;
        double blocked = 0;
        const double shown = switchTo(even ? second : first, even ? secondBody : firstBody, &blocked);
        if (shown < 0) {
            std::fprintf(stderr, "the body did not arrive\n");
            return 1;
        }
        shownMs.push_back(shown);
        blockedMs.push_back(blocked);
    }

    // Memory over 100 switches, after the runs above warmed everything up.
    const qint64 before = residentBytes();
    for (int i = 0; i < 100; ++i) {
        double blocked = 0;
        const bool even = i % 2 == 0;
        if (switchTo(even ? second : first, even ? secondBody : firstBody, &blocked) < 0)
            return 1;
    }
    const qint64 after = residentBytes();

    std::printf("select with Info tab shown: median %.3f ms (200 switches)\n", median(infoMs));
    std::printf("select 5 MB body until the Body tab holds it: median %.1f ms, main thread blocked %.1f ms (%d runs)\n",
        median(shownMs), median(blockedMs), runs);
    std::printf("resident memory over 100 body switches: %.1f MB -> %.1f MB (%+.1f MB)\n", before / 1048576.0,
        after / 1048576.0, (after - before) / 1048576.0);
    return 0;
}
