// Runs a function once in the next event-loop turn however often it was asked for in this one:
// bursts of signals become one update. With a minimum interval, runs are also spaced at least
// that far apart (what was asked for in between runs once, when the interval is over), so a
// flood of changes costs a bounded number of runs per second. Owned by (a member of) its context
// object; main thread.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class CoalescedCall
{
public:
    CoalescedCall(QObject *context, std::function<void()> call, int minimumIntervalMs = 0)
        : m_context(context)
        , m_call(std::move(call))
        , m_minimumIntervalMs(minimumIntervalMs)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, context, [this] { run(); });
    }
    CoalescedCall(const CoalescedCall &) = delete;
    CoalescedCall &operator=(const CoalescedCall &) = delete;

    void schedule()
    {
        if (m_scheduled)
            return;
        m_scheduled = true;
        const qint64 wait = m_sinceRun.isValid() ? m_minimumIntervalMs - m_sinceRun.elapsed() : 0;
        if (wait > 0)
            m_timer.start(int(wait));
        else
            // Bound to the context: a call still queued when it is destroyed never runs.
            QMetaObject::invokeMethod(m_context, [this] { run(); }, Qt::QueuedConnection);
    }

    // Drops a scheduled call (for example when its work was just done some other way).
    void cancel()
    {
        m_scheduled = false;
        m_timer.stop();
    }

    // Runs a scheduled call now; nothing when none is scheduled.
    void run()
    {
        if (!m_scheduled)
            return;
        m_scheduled = false;
        m_timer.stop();
        if (m_minimumIntervalMs > 0)
            m_sinceRun.start();
        m_call();
    }

private:
    QObject *m_context;
    std::function<void()> m_call;
    int m_minimumIntervalMs;
    bool m_scheduled = false;
    QTimer m_timer;
    QElapsedTimer m_sinceRun;
};
