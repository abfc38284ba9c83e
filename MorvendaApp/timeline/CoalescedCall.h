// Runs a function once in the next event-loop turn however often it was asked for in this one:
// bursts of signals become one update. Owned by (a member of) its context object; main thread.
#pragma once

#include <QObject>

#include <functional>

class CoalescedCall
{
public:
    CoalescedCall(QObject *context, std::function<void()> call)
        : m_context(context)
        , m_call(std::move(call))
    {
    }
    CoalescedCall(const CoalescedCall &) = delete;
    CoalescedCall &operator=(const CoalescedCall &) = delete;

    void schedule()
    {
        if (m_scheduled)
            return;
        m_scheduled = true;
        // Bound to the context: a call still queued when it is destroyed never runs.
        QMetaObject::invokeMethod(m_context, [this] { run(); }, Qt::QueuedConnection);
    }

    // Drops a scheduled call (for example when its work was just done some other way).
    void cancel() { m_scheduled = false; }

    // Runs a scheduled call now; nothing when none is scheduled.
    void run()
    {
        if (!m_scheduled)
            return;
        m_scheduled = false;
        m_call();
    }

private:
    QObject *m_context;
    std::function<void()> m_call;
    bool m_scheduled = false;
};
