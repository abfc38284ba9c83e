// A text-filter keystroke at 1,000,000 exchanges, as a user types it: the text goes into the real
// filter field of a shown window with a row selected, and each keystroke is timed until the list
// has been repainted; then the same for a click on each quick filter chip (on, then off again).
// Shared by the timeline column's benchmark and the whole window's.
#pragma once

#include "MorvendaApp/session/MessageRepository.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/timeline/QuickFilterChip.h"
#include "bench/BenchSupport.h"

#include <QElapsedTimer>
#include <QLineEdit>

#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

inline QUuid keystrokeMessageId(quint32 n)
{
    return QUuid(n, 0x7a11, 0x4e55, 0x80, 0, 0, 0, 0, 0, 0, 1);
}

struct KeystrokeTarget
{
    MessageRepository &repository;
    MessageSelection &selection;
    QLineEdit *field;
    std::function<void()> settle;    // runs the event loop and paints the list once
    std::function<int()> rowsShown;  // rows of the list's model
};

inline void filterKeystrokes(const char *where, const KeystrokeTarget &target)
{
    constexpr int count = 1'000'000;
    static const QStringList paths = {QStringLiteral("/api/cart/items"), QStringLiteral("/api/search"),
                                      QStringLiteral("/api/event"), QStringLiteral("/api/profile/settings")};
    const qint64 residentBefore = residentBytes();
    {
        MessageRepository::BatchScope batch(target.repository);
        for (quint32 n = 0; n < count; ++n) {
            const Request request(keystrokeMessageId(n),
                                  Url::fromText(QStringLiteral("https://shop.example") + paths[n % 4] + QLatin1Char('/')
                                                + QString::number(n)),
                                  n % 3 ? Method::Get : Method::Post, 1.7e9 + n, QString(), {});
            target.repository.addRequest(request, QStringLiteral("Shop"));
        }
    }
    const double perExchange = double(residentBytes() - residentBefore) / count;
    // A selected row, as while reading one: every rebuilt list looks for it again.
    target.selection.setMessageID(keystrokeMessageId(count - 3));
    target.settle();
    std::vector<double> millis;
    QElapsedTimer timer;
    // Typing on, deleting back and clearing the field, three times over.
    for (int round = 0; round < 3; ++round) {
        for (const QString &text : {QStringLiteral("c"), QStringLiteral("ca"), QStringLiteral("car"), QStringLiteral("cart"),
                                    QStringLiteral("car"), QStringLiteral("ca"), QStringLiteral("c"), QString()}) {
            timer.start();
            target.field->setText(text);
            target.settle();
            millis.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (round == 0)
                std::printf("  \"%s\": %d rows, %.1f ms\n", qPrintable(text), target.rowsShown(), millis.back());
        }
    }
    std::vector<double> clicks;
    for (QuickFilterChip *chip : target.field->parentWidget()->findChildren<QuickFilterChip *>()) {
        for (int twice = 0; twice < 2; ++twice) {
            timer.start();
            chip->click();
            target.settle();
            clicks.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    std::sort(millis.begin(), millis.end());
    std::sort(clicks.begin(), clicks.end());
    std::printf("%s: resident memory per stored exchange (no bodies) %.0f bytes\n", where, perExchange);
    if (!clicks.empty())
        std::printf("%s: quick filter chip clicked on and off over 1000000 exchanges, %zu clicks: median %.1f ms, "
                    "worst %.1f ms\n",
                    where, clicks.size(), median(clicks), clicks.back());
    std::printf("%s: text keystroke over 1000000 exchanges (a row selected) to the repainted list, %zu keystrokes: "
                "median %.1f ms, worst %.1f ms\n",
                where, millis.size(), median(millis), millis.back());
    std::fflush(stdout);
}

} // namespace bench
