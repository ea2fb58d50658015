// The state of an open serial device on Linux and the transfers and waits on
// it: received bytes are staged as they come so that poll() tells new bytes
// from bytes already reported; an eventfd wakes a wait, another aborts
// transfers. Only platform/linux/Comm.cpp includes this.
#pragma once

#include "platform/Comm.h"
#include "platform/linux/CommTermios2.h"
#include "platform/shared/CommTimeouts.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

// Line-event sources that the kernel only counts (TIOCGICOUNT) and does not
// signal through poll(): they are sampled at this period while watched.
inline constexpr int count_sample_ms = 10;
// While sent bytes wait to go out, or the input queue is full, the queues are
// rechecked at this period.
inline constexpr int queue_sample_ms = 10;
// The input queue's size when none was set.
inline constexpr uint32_t default_in_queue = 4096;

// How long Flush waits for the output queue when no write timeout is set.
inline constexpr uint64_t flush_default_ms = 5000;

inline constexpr uint32_t counted_events = ev_cts | ev_dsr | ev_rlsd | ev_ring | ev_break | ev_err;

inline void Signal(int efd) {
    uint64_t one = 1;
    ssize_t r = ::write(efd, &one, sizeof one);
    (void)r;
}

inline void Drain(int efd) {
    uint64_t value;
    ssize_t r = ::read(efd, &value, sizeof value);
    (void)r;
}

// Milliseconds left until deadline (never negative), or -1 for none (max).
inline int MsLeft(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::clamp<int64_t>(left.count(), 0, 1 << 30));
}

struct TComm::Impl {
    std::atomic<int> fd{-1};
    int wakeFd = -1;  // written by SetMask: wakes WaitEvent
    int abortFd = -1; // written by Purge with abort flags: ends transfers
    std::atomic<uint32_t> mask{0};
    std::atomic<uint32_t> abortGen{0};
    std::atomic<bool> txPending{false};

    // The input queue. The waiting thread moves received bytes out of the
    // device into rxStage as they come, so that poll() tells new bytes from
    // bytes already seen; reads take the staged bytes first. Every read of
    // the device happens under rxLock, which keeps the bytes in order.
    std::mutex rxLock;
    std::string rxStage;

    std::mutex settingsLock; // state, timeouts, queue size, error baseline
    TCommState state;
    TCommTimeouts timeouts;
    uint32_t inQueueSize = 0;
    serial_icounter_struct errorBase{};
    bool lowLatencySet = false; // Setup asked for low latency: Close takes it back

    // Used only by the waiting thread.
    uint64_t staged = 0;     // bytes ever moved into rxStage
    uint64_t reportedRx = 0; // the value of staged at the last report
    bool rx80Reported = false;
    serial_icounter_struct eventBase{};
    int countsSupported = -1; // -1 not yet known

    ~Impl() {
        Release();
        if (wakeFd >= 0) ::close(wakeFd);
        if (abortFd >= 0) ::close(abortFd);
    }

    // Gives the port back as it was found and closes it.
    void Release() {
        int f = fd.exchange(-1);
        if (f < 0) return;
        serial_struct serial{};
        if (lowLatencySet && ioctl(f, TIOCGSERIAL, &serial) == 0) {
            serial.flags &= ~ASYNC_LOW_LATENCY;
            ioctl(f, TIOCSSERIAL, &serial);
        }
        ioctl(f, TIOCNXCL);
        ::close(f);
    }

    bool Counts(serial_icounter_struct& c) {
        int f = fd.load();
        return f >= 0 && ioctl(f, TIOCGICOUNT, &c) == 0;
    }

    bool CountsSupported() {
        if (countsSupported < 0) {
            serial_icounter_struct c{};
            countsSupported = Counts(c) ? 1 : 0;
            if (countsSupported) eventBase = c;
        }
        return countsSupported == 1;
    }

    uint32_t InQueueSize() {
        std::lock_guard lock(settingsLock);
        return inQueueSize ? inQueueSize : default_in_queue;
    }

    // Bytes waiting: staged, and still in the device.
    bool InQueue(uint32_t& n) {
        int count = 0;
        std::lock_guard lock(rxLock);
        int f = fd.load();
        if (f < 0 || ioctl(f, FIONREAD, &count) != 0) return false;
        n = uint32_t(rxStage.size()) + uint32_t(std::max(count, 0));
        return true;
    }

    bool StageFull() {
        const std::size_t size = InQueueSize();
        std::lock_guard lock(rxLock);
        return rxStage.size() >= size;
    }

    // Moves what the device holds into the stage, up to the queue's size.
    // Returns the count moved; the stage is full when `full` is set.
    std::size_t Stage(bool& full) {
        const std::size_t size = InQueueSize();
        std::lock_guard lock(rxLock);
        std::size_t moved = 0;
        while (rxStage.size() < size) {
            char buffer[4096];
            std::size_t want = std::min(sizeof buffer, size - rxStage.size());
            ssize_t n = ::read(fd.load(), buffer, want);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            rxStage.append(buffer, std::size_t(n));
            moved += std::size_t(n);
        }
        staged += moved;
        full = rxStage.size() >= size;
        return moved;
    }

    // Waits for `events` on the device or an abort. 1 ready, 0 timed out,
    // -1 hung up or failed, -2 aborted.
    int WaitTransfer(short events, int timeoutMs, uint32_t gen) {
        for (;;) {
            if (abortGen.load() != gen) return -2;
            pollfd p[2] = {{fd.load(), events, 0}, {abortFd, POLLIN, 0}};
            if (p[0].fd < 0) return -1;
            int r = ::poll(p, 2, timeoutMs);
            if (r < 0) {
                if (errno == EINTR) continue;
                return -1;
            }
            if (r == 0) return 0;
            if (p[1].revents & POLLIN) {
                if (abortGen.load() != gen) return -2;
                Drain(abortFd); // an earlier abort, meant for an earlier transfer
            }
            if (p[0].revents & (POLLERR | POLLNVAL)) return -1;
            if (p[0].revents & events) return 1;
            if (p[0].revents & POLLHUP) return -1;
        }
    }

    // Read timeouts in the usual meaning of the five values.
    bool Read(std::string& out, std::size_t count) {
        out.clear();
        const uint32_t gen = abortGen.load();
        if (fd.load() < 0) return false;
        TCommTimeouts t;
        {
            std::lock_guard lock(settingsLock);
            t = timeouts;
        }
        const TReadPlan plan = TReadPlan::For(t, count);
        char buffer[4096];
        Clock::time_point lastByte;
        while (out.size() < count) {
            ssize_t n;
            {
                std::lock_guard lock(rxLock);
                if (!rxStage.empty()) {
                    std::size_t take = std::min(rxStage.size(), count - out.size());
                    out.append(rxStage, 0, take);
                    rxStage.erase(0, take);
                    lastByte = Clock::now();
                    continue;
                }
                std::size_t want = std::min(sizeof buffer, count - out.size());
                n = ::read(fd.load(), buffer, want);
            }
            if (n > 0) {
                out.append(buffer, std::size_t(n));
                lastByte = Clock::now();
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // Hung up (end of file) or failed.
                return !out.empty();
            }
            if (errno == EINTR) continue;
            if (plan.Done(out.size(), count)) break;
            // Wait for more within the timeouts.
            int r = WaitTransfer(POLLIN, MsLeft(plan.Deadline(out.size(), lastByte)), gen);
            if (r == 0 || r == -2) break;
            if (r == -1) return !out.empty();
        }
        return true;
    }

    bool Write(std::string_view bytes, std::size_t& written) {
        written = 0;
        const uint32_t gen = abortGen.load();
        if (fd.load() < 0) return false;
        TCommTimeouts t;
        {
            std::lock_guard lock(settingsLock);
            t = timeouts;
        }
        const Clock::time_point deadline = WriteDeadline(t, bytes.size());
        while (written < bytes.size()) {
            ssize_t n = ::write(fd.load(), bytes.data() + written, bytes.size() - written);
            if (n > 0) {
                written += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) {
                if (written == 0) return false; // hung up or failed before anything went out
                break;
            }
            int r = WaitTransfer(POLLOUT, MsLeft(deadline), gen);
            if (r != 1) break;
        }
        if (written > 0) txPending = true;
        return true;
    }

    // One look at the sources of line events; the events found, if any.
    // stageFull tells that received bytes wait in the device for room.
    uint32_t Sample(uint32_t watch, bool& failed, bool& stageFull) {
        uint32_t events = 0;
        failed = false;
        Stage(stageFull);
        uint32_t inQueue = 0;
        if (!InQueue(inQueue)) {
            failed = true;
            return 0;
        }
        if ((watch & ev_rxchar) && staged > reportedRx) events |= ev_rxchar;
        reportedRx = staged;

        const uint32_t size = InQueueSize();
        bool full = uint64_t(inQueue) * 5 >= uint64_t(size) * 4;
        if ((watch & ev_rx80full) && full && !rx80Reported) events |= ev_rx80full;
        rx80Reported = full;

        if ((watch & ev_txempty) && txPending.load()) {
            int out = 0;
            if (ioctl(fd.load(), TIOCOUTQ, &out) == 0 && out == 0) {
                txPending = false;
                events |= ev_txempty;
            }
        }

        if ((watch & counted_events) && CountsSupported()) {
            serial_icounter_struct c{};
            if (Counts(c)) {
                if (c.cts != eventBase.cts) events |= ev_cts;
                if (c.dsr != eventBase.dsr) events |= ev_dsr;
                if (c.dcd != eventBase.dcd) events |= ev_rlsd;
                if (c.rng != eventBase.rng) events |= ev_ring;
                if (c.brk != eventBase.brk) events |= ev_break;
                if (c.frame != eventBase.frame || c.overrun != eventBase.overrun ||
                    c.parity != eventBase.parity || c.buf_overrun != eventBase.buf_overrun)
                    events |= ev_err;
                eventBase = c;
            }
        }
        return events & watch;
    }

    bool WaitEvent(uint32_t& events) {
        events = 0;
        bool hungUp = false;
        for (;;) {
            const uint32_t watch = mask.load();
            if (watch == 0 || fd.load() < 0) return false;
            bool failed, stageFull;
            events = Sample(watch, failed, stageFull);
            if (failed) return false;
            if (events) return true;
            if (hungUp) return false;

            // Sleep until input arrives, the line hangs up or the mask
            // changes; sample only what poll() cannot report.
            short wanted = 0;
            int timeout = -1;
            if (watch & (ev_rxchar | ev_rx80full)) {
                if (!stageFull)
                    wanted |= POLLIN;
                else
                    timeout = queue_sample_ms;
            }
            if ((watch & ev_txempty) && txPending.load()) timeout = queue_sample_ms;
            if ((watch & counted_events) && CountsSupported()) timeout = count_sample_ms;

            pollfd p[2] = {{fd.load(), wanted, 0}, {wakeFd, POLLIN, 0}};
            int r = ::poll(p, 2, timeout);
            if (r < 0 && errno != EINTR) return false;
            if (r <= 0) continue;
            if (p[1].revents & POLLIN) Drain(wakeFd);
            // After a hang-up, deliver what is still readable, then fail.
            if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) hungUp = true;
        }
    }

    bool WaitMoreInput(uint32_t quietUs) {
        const Clock::time_point deadline = Clock::now() + std::chrono::microseconds(quietUs);
        for (;;) {
            if (mask.load() == 0 || fd.load() < 0 || StageFull()) return false;
            auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
            pollfd p[2] = {{fd.load(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
            int r = ::ppoll(p, 2, &timeout, nullptr);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false; // quiet for the whole time
            if (p[1].revents & POLLIN) Drain(wakeFd);
            if (p[0].revents & POLLIN) {
                bool full = false;
                std::size_t moved = Stage(full);
                reportedRx = staged; // part of the report being made
                if (moved > 0) return !full;
            }
            if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
        }
    }
};
