// Waiting on a web page: polls in short steps, because QTest::qWaitFor keeps processing the web
// engine's steady stream of events for up to its whole timeout before it looks at its condition
// again, which turns every wait for a page into seconds.
#pragma once

#include <QDeadlineTimer>
#include <QTest>

#include <functional>

inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}
