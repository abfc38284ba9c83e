// Memory for partly received frames, shared by every connection of one server. A frame is charged
// as its bytes arrive (never by the length its header announces, which costs a peer nothing to
// send) and gives its charge back when it completes, is skipped or its connection closes.
#pragma once

#include <atomic>
#include <cstdint>

class FrameBudget
{
public:
    // Two frames at the size cap (MorvendaFramer::maxFrameLength) may be on their way at once;
    // without an overall limit 256 connections could each hold one, 64 GiB in all.
    static constexpr std::uint64_t defaultLimit = 512ull * 1024 * 1024;
    // The first bytes of every frame are not charged, so the small messages of every app keep
    // flowing while a few large frames hold the whole budget. Bounded by the connection limit
    // (256 × 64 KiB = 16 MiB beyond the budget).
    static constexpr std::uint64_t unchargedBytesPerFrame = 64 * 1024;

    explicit FrameBudget(std::uint64_t limit = defaultLimit)
        : m_limit(limit)
    {
    }
    FrameBudget(const FrameBudget &) = delete;
    FrameBudget &operator=(const FrameBudget &) = delete;

    std::uint64_t limit() const { return m_limit; }
    std::uint64_t used() const { return m_used.load(std::memory_order_relaxed); }
    std::uint64_t available() const
    {
        const std::uint64_t inUse = used();
        return inUse < m_limit ? m_limit - inUse : 0;
    }

    // Takes `bytes` from the budget; false (and nothing taken) when they do not fit.
    bool tryReserve(std::uint64_t bytes)
    {
        std::uint64_t inUse = m_used.load(std::memory_order_relaxed);
        do {
            if (bytes > m_limit || inUse > m_limit - bytes) {
                return false;
            }
        } while (!m_used.compare_exchange_weak(inUse, inUse + bytes, std::memory_order_relaxed));
        return true;
    }

    void release(std::uint64_t bytes) { m_used.fetch_sub(bytes, std::memory_order_relaxed); }

private:
    const std::uint64_t m_limit;
    std::atomic<std::uint64_t> m_used{0};
};
