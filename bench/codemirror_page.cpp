// Prints how long setContent of a 1, 10 and 50 MB JSON body takes until the page holds it (a
// getContent round trip of its length), the longest main-thread stall meanwhile, the time a
// viewer takes to get ready, and what one viewer showing 10 MB costs in memory (this process and
// the page's renderer process).
// Usage: codemirror_page [repetitions]   (headless: QT_QPA_PLATFORM=offscreen)
#include "CodeMirror/CodeMirrorCoordinator.h"
#include "CodeMirror/CodeMirrorView.h"
#include "CodeMirror/CodeMirrorViewModel.h"
#include "CodeMirror/ScriptSource.h"

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

using bench::median;
using bench::residentBytes;
using bench::waitFor;

// Pretty JSON with a line per item, or minified JSON on one line as many APIs send it.
QString bigJson(qsizetype bytes, bool oneLine = false)
{
    QString json = QStringLiteral("[");
    const QString item = oneLine ? QStringLiteral("{\"id\":%1,\"name\":\"item %1\",\"tags\":[\"a\",\"b\"],\"ok\":true},")
                                 : QStringLiteral("{\"id\": %1, \"name\": \"item %1\", \"tags\": [\"a\", \"b\"], \"ok\": true},\n");
    for (int i = 0; json.size() < bytes; ++i)
        json += item.arg(i);
    json += QStringLiteral("{}]");
    return json;
}

// Sets the text and waits until the page reports its length; returns the milliseconds taken, or
// -1 when the page did not answer with the right length. `stallMs` receives the longest time the
// main thread went without turning its event loop meanwhile (what a user would feel as a freeze).
double roundTrip(CodeMirrorViewModel &model, const QString &text, double *stallMs)
{
    QElapsedTimer timer;
    timer.start();
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    ticker.start();
    model.setContent(text);
    longest = std::max(longest, sinceTick.restart());
    QString answer;
    bool done = false;
    QObject context;
    model.executeJSAsync({QStringLiteral("String(CodeMirror.getContent().length)"), {}}, &context,
        [&](const CodeMirrorViewModel::TextResult &r) {
            answer = r && r->has_value() ? **r : QString();
            done = true;
        });
    const bool answered = waitFor([&] { return done; });
    *stallMs = double(longest);
    if (!answered || answer != QString::number(text.size()))
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

QString evaluate(CodeMirrorViewModel &model, const QString &expression)
{
    QString answer;
    bool done = false;
    QObject context;
    model.executeJSAsync({expression, {}}, &context, [&](const CodeMirrorViewModel::TextResult &r) {
        answer = r && r->has_value() ? **r : QString();
        done = true;
    });
    waitFor([&] { return done; });
    return answer;
}

} // namespace

int main(int argc, char *argv[])
{
    // The web view refuses to start as root with its sandbox; this program is a measurement
    // tool, never the application.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // gc() lets the memory figures be taken after the page's garbage is collected.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --js-flags=--expose-gc");
    QApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    CodeMirrorViewModel model;
    const qint64 before = residentBytes(0);
    QElapsedTimer start;
    start.start();
    bool loaded = false;
    model.setOnLoadSuccess([&] { loaded = true; });
    CodeMirrorView view(model);
    view.resize(1000, 700);
    view.show();
    waitFor([&] { return loaded; });
    const double loadMs = start.nsecsElapsed() / 1e6;
    if (!waitFor([&] { return view.coordinator().pageLoaded(); })) {
        std::fprintf(stderr, "the editor page never became ready\n");
        return 1;
    }
    std::printf("first viewer: page loaded after %.0f ms, ready after %.0f ms\n", loadMs, start.nsecsElapsed() / 1e6);
    {
        CodeMirrorViewModel second;
        QElapsedTimer again;
        again.start();
        CodeMirrorView secondView(second);
        secondView.show();
        waitFor([&] { return secondView.coordinator().pageLoaded(); });
        std::printf("second viewer: ready after %.0f ms\n", again.nsecsElapsed() / 1e6);
    }
    // Memory first, on the fresh viewer, so no earlier text is still waiting for collection.
    const qint64 rendererPid = view.webView()->page()->renderProcessPid();
    const auto settle = [&] {
        double ignored = 0;
        roundTrip(model, QStringLiteral("x"), &ignored);
        evaluate(model, QStringLiteral("(typeof gc === 'function' && gc(), 'collected')"));
        waitFor([] { return false; }, 500);
    };
    {
        settle();
        const qint64 selfEmpty = residentBytes(0);
        const qint64 rendererEmpty = residentBytes(rendererPid);
        QString ten = bigJson(10 * 1024 * 1024);
        const qint64 selfWithText = residentBytes(0);
        double ignored = 0;
        roundTrip(model, ten, &ignored);
        ten.clear();
        settle();
        std::printf("memory of one viewer (resident set)\n");
        std::printf("  empty viewer: this process +%.1f MB over no viewer, renderer process %.1f MB\n",
            (selfEmpty - before) / 1048576.0, rendererEmpty / 1048576.0);
        std::printf("  10 MB shown:  this process +%.1f MB, renderer process +%.1f MB\n",
            (residentBytes(0) - selfEmpty) / 1048576.0, (residentBytes(rendererPid) - rendererEmpty) / 1048576.0);
        std::printf("  (the 10 MB text itself took %.1f MB here while the caller held it)\n",
            (selfWithText - selfEmpty) / 1048576.0);
    }

    std::printf("setContent until the page holds the text (median of %d)\n", repetitions);
    for (auto [megabytes, oneLine] : {std::pair(1, false), std::pair(10, false), std::pair(50, false),
             std::pair(1, true), std::pair(10, true)}) {
        const QString text = bigJson(qsizetype(megabytes) * 1024 * 1024, oneLine);
        QElapsedTimer escape;
        escape.start();
        const QString literal = ScriptSource::stringLiteral(text);
        const double escapeMs = escape.nsecsElapsed() / 1e6;
        std::vector<double> total;
        std::vector<double> stalls;
        for (int i = 0; i < repetitions; ++i) {
            double stallMs = 0;
            // Alternate two texts so every round really replaces the page's text.
            const double ms = roundTrip(model, i % 2 ? text + QLatin1Char(' ') : text, &stallMs);
            if (ms < 0) {
                std::printf("  %3d MB%s: the page did not answer with the full text\n", megabytes,
                    oneLine ? " on one line" : "");
                break;
            }
            total.push_back(ms);
            stalls.push_back(stallMs);
        }
        if (!total.empty())
            std::printf("  %3d MB%s: %8.1f ms round trip, longest main-thread stall %5.1f ms "
                        "(escaping alone would take %.1f ms)\n",
                megabytes, oneLine ? " on one line" : "", median(total), median(stalls), escapeMs);
    }

    return 0;
}
