// How the five transfer timeouts bound a read or a write, in their usual
// meaning; shared by the backends that keep the timeouts themselves.
#pragma once

#include "platform/Comm.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

struct TReadPlan {
    using Clock = std::chrono::steady_clock;

    bool immediate = false;     // return at once with the bytes already received
    bool firstByteWait = false; // wait up to the total for a first byte, then return
    Clock::time_point total = Clock::time_point::max(); // the whole read's deadline
    uint32_t intervalMs = 0;    // the most time between two bytes; 0 for no limit

    // Whether a read that has `got` of its `count` bytes is done.
    bool Done(std::size_t got, std::size_t count) const {
        return got >= count || immediate || (firstByteWait && got > 0);
    }
    // Until when it waits for more, given its last byte's time.
    Clock::time_point Deadline(std::size_t got, Clock::time_point lastByte) const {
        if (intervalMs == 0 || got == 0) return total;
        return std::min(total, lastByte + std::chrono::milliseconds(intervalMs));
    }

    // The plan for a read of `count` bytes that starts now.
    static TReadPlan For(const TCommTimeouts& t, std::size_t count) {
        TReadPlan p;
        p.immediate = t.ReadIntervalTimeout == comm_maxdword && t.ReadTotalMultiplier == 0 &&
                      t.ReadTotalConstant == 0;
        p.firstByteWait = t.ReadIntervalTimeout == comm_maxdword &&
                          t.ReadTotalMultiplier == comm_maxdword && t.ReadTotalConstant != 0 &&
                          t.ReadTotalConstant != comm_maxdword;
        if (p.firstByteWait)
            p.total = Clock::now() + std::chrono::milliseconds(t.ReadTotalConstant);
        else if (!p.immediate && (t.ReadTotalMultiplier || t.ReadTotalConstant))
            p.total = Until(uint64_t(t.ReadTotalMultiplier) * count + t.ReadTotalConstant);
        if (!p.immediate && !p.firstByteWait && t.ReadIntervalTimeout != comm_maxdword)
            p.intervalMs = t.ReadIntervalTimeout;
        return p;
    }

    // Now plus ms, kept within the clock's range.
    static Clock::time_point Until(uint64_t ms) {
        return Clock::now() + std::chrono::milliseconds(std::min<uint64_t>(ms, 1ull << 40));
    }
};

// The deadline of a write of `size` bytes; max() when it has none.
inline std::chrono::steady_clock::time_point WriteDeadline(const TCommTimeouts& t,
                                                           std::size_t size) {
    if (!t.WriteTotalMultiplier && !t.WriteTotalConstant)
        return std::chrono::steady_clock::time_point::max();
    return TReadPlan::Until(uint64_t(t.WriteTotalMultiplier) * size + t.WriteTotalConstant);
}
