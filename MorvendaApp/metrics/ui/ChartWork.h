// Parts of a chart layer's drawing handed to pool threads beside the thread that draws it. Only
// threads free at once take a part; the drawing thread does whatever none took, so a busy machine
// costs no more than drawing the parts in order, and no part waits in a queue (only values let go
// of aside wait there for a free thread). The threads are a pool of their own: the paint engine
// hands parts of large fills to the global pool and waits for them on the painting thread. Any
// thread.
#pragma once

#include <QSemaphore>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

namespace ChartWork {

// Whether parts may go to pool threads at all (the default); without, every part is done in
// order by the caller, as tests compare.
void setAside(bool allowed);
bool aside();

// One piece of work beside the caller's own, done by the time the task is joined (or destroyed).
class SideTask
{
public:
    // With `aside` false the work is done at the join.
    explicit SideTask(std::function<void()> work, bool aside = true);
    ~SideTask() { join(); }
    SideTask(const SideTask &) = delete;
    SideTask &operator=(const SideTask &) = delete;

    void join();

private:
    std::function<void()> m_work;
    std::shared_ptr<QSemaphore> m_done = std::make_shared<QSemaphore>();
    bool m_started = false;
    bool m_joined = false;
};

// Pieces of work that need not wait for each other, done by run(): each by the caller or by a
// pool thread free at the time, whichever comes first, so the pieces spread over the threads there
// are and a slow one does not hold up the others. The longest pieces best come first.
class Jobs
{
public:
    Jobs();
    void add(std::function<void()> job);
    // Returns when every piece is done. Once only.
    void run();

private:
    struct State
    {
        std::vector<std::function<void()>> jobs;
        std::atomic<size_t> next{0};
        std::atomic<size_t> left{0};
        QSemaphore done;
        void work();
    };
    std::shared_ptr<State> m_state;
};

// Runs `work` on a pool thread when one is free, without waiting for it.
void later(std::function<void()> work);

// Lets go of `value` on a pool thread: freeing the hundreds of thousands of points, labels and
// items of a big chart costs the thread that does it some milliseconds.
template<typename T>
void releaseAside(T &&value)
{
    later([held = std::make_shared<std::decay_t<T>>(std::forward<T>(value))]() mutable { held.reset(); });
}

// How many parts `amount` of work is best shared out in, at about `perPart` each: no more than
// the machine runs at once, and one when parts may not go aside.
int parts(qint64 amount, qint64 perPart);

// The columns from 0 to `width` - 1 in `parts` runs of about equal width: [from, to] of each.
std::vector<std::pair<int, int>> stripes(int width, int parts);

} // namespace ChartWork
