#include "ChartWork.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace ChartWork {

namespace {

std::atomic<bool> allowed{true};

QThreadPool &pool()
{
    static QThreadPool threads;
    return threads;
}

} // namespace

void setAside(bool allow)
{
    allowed = allow;
}

bool aside()
{
    return allowed.load(std::memory_order_relaxed);
}

SideTask::SideTask(std::function<void()> work, bool wanted)
    : m_work(std::move(work))
{
    // The pool thread holds the semaphore as long as it runs, so the task may go as soon as the
    // work is done.
    if (wanted && aside())
        m_started = pool().tryStart([done = m_done, work = &m_work] {
            (*work)();
            done->release();
        });
}

void SideTask::join()
{
    if (m_joined)
        return;
    m_joined = true;
    if (m_started)
        m_done->acquire();
    else
        m_work();
}

Jobs::Jobs()
    : m_state(std::make_shared<State>())
{
}

void Jobs::add(std::function<void()> job)
{
    m_state->jobs.push_back(std::move(job));
}

void Jobs::State::work()
{
    for (;;) {
        const size_t index = next.fetch_add(1);
        if (index >= jobs.size())
            return;
        jobs[index]();
        if (left.fetch_sub(1) == 1)
            done.release();
    }
}

void Jobs::run()
{
    const size_t count = m_state->jobs.size();
    if (count == 0)
        return;
    m_state->left = count;
    // A helper that starts after every piece was taken finds none left and ends at once; it holds
    // the state, not the caller's pieces.
    if (aside()) {
        for (size_t helper = 1; helper < count; ++helper) {
            if (!pool().tryStart([state = m_state] { state->work(); }))
                break;
        }
    }
    m_state->work();
    m_state->done.acquire();
}

void later(std::function<void()> work)
{
    pool().start(std::move(work));
}

int parts(qint64 amount, qint64 perPart)
{
    // Past a handful, more parts cost more in their shared set-up than they save.
    constexpr qint64 kMost = 6;
    if (!aside() || perPart <= 0)
        return 1;
    return int(std::clamp<qint64>(amount / perPart, 1, std::min<qint64>(kMost, std::max(1, QThread::idealThreadCount()))));
}

std::vector<std::pair<int, int>> stripes(int width, int parts)
{
    std::vector<std::pair<int, int>> runs;
    parts = std::clamp(parts, 1, std::max(1, width));
    for (int part = 0; part < parts; ++part)
        runs.emplace_back(int(qint64(width) * part / parts), int(qint64(width) * (part + 1) / parts) - 1);
    return runs;
}

} // namespace ChartWork
