// Small helpers the benchmark programs share: memory readings, waiting on the event loop, medians.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <functional>
#include <unistd.h>
#include <vector>

namespace bench {

// Resident memory of a process (this one when pid is 0), in bytes; 0 when it cannot be read.
inline qint64 residentBytes(qint64 pid = 0)
{
    QFile statm(pid ? QStringLiteral("/proc/%1/statm").arg(pid) : QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

// Runs the event loop in short slices until the condition holds; false after the timeout.
inline bool waitFor(const std::function<bool()> &condition, int timeoutMs = 120000, int sliceMs = 5)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, sliceMs);
    }
    return true;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace bench
