// Time to describe large analytics bodies, the work done on the main thread for every request
// that arrives or is read from a session file.
#include "MorvendaApp/session/Exchange.h"
#include "session_common.h"

#include <algorithm>
#include <vector>

using namespace bench;

namespace {

// About `bytes` of events, one per line, as an app batches them.
QString eventLines(qsizetype bytes)
{
    QString text = QStringLiteral("[\n");
    for (int i = 0; text.size() < bytes; ++i)
        text += QStringLiteral("  { \"event_key\" : \"screen_view_%1\", \"ts\" : %2 },\n").arg(i).arg(1700000000 + i);
    return text + QStringLiteral("]\n");
}

void measure(const char *name, const QString &body)
{
    const Request request(uuid(1), Url::fromText(QStringLiteral("https://shop.example/api/event")), Method::Post,
                          1.7e9, body, {});
    std::vector<double> runs;
    qsizetype length = 0;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer timer;
        timer.start();
        const Exchange exchange = Exchange::fromRequest(request, QStringLiteral("Shop"));
        runs.push_back(ms(timer));
        length = exchange.description() ? exchange.description()->size() : -1;
    }
    std::sort(runs.begin(), runs.end());
    std::printf("describe %s (%.1f MB): median %.1f ms, range %.1f–%.1f ms, description of %lld characters\n", name,
                double(body.size()) / 1e6, runs[runs.size() / 2], runs.front(), runs.back(), qlonglong(length));
}

} // namespace

int main()
{
    for (const qsizetype megabytes : {1, 5}) {
        const QString lines = eventLines(megabytes * 1000 * 1000);
        measure(megabytes == 1 ? "1 MB of event lines" : "5 MB of event lines", lines);
    }
    QString oneLine = eventLines(5 * 1000 * 1000);
    oneLine.replace(u'\n', u' ');
    measure("5 MB of events on one line", oneLine);
    return 0;
}
