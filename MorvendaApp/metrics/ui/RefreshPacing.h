// Paces a chart's rebuilds under a flood of data: the next one waits ten times as long as the last
// one took, between 100 ms and 2 s, so drawing never keeps the main thread busy. Owned by a chart
// widget; main thread.
#pragma once

#include <QElapsedTimer>

#include <algorithm>

class RefreshPacing
{
public:
    // How long to wait before the next rebuild, counted from the last one.
    int nextDelayMs() const
    {
        const qint64 interval = std::clamp(qint64(10 * m_lastCostMs), kMinimumIntervalMs, kMaximumIntervalMs);
        const qint64 since = m_sinceLast.isValid() ? m_sinceLast.elapsed() : interval;
        return int(std::max<qint64>(0, interval - since));
    }

    // A rebuild that cost `costMs` just ran.
    void ran(double costMs)
    {
        m_lastCostMs = costMs;
        m_sinceLast.start();
    }

private:
    static constexpr qint64 kMinimumIntervalMs = 100;
    static constexpr qint64 kMaximumIntervalMs = 2000;

    QElapsedTimer m_sinceLast;
    double m_lastCostMs = 0;
};
