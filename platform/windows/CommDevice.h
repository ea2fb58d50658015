// The state of an open serial device on Windows and the transfers and waits
// on it: the comm API on an overlapped handle. A receiver
// thread of the device's own keeps a one-byte read pending and, whenever it
// completes, takes what else the driver holds; the bytes wait in a staged
// input queue that waits, counts and reads work on. Every read of the device
// happens on that thread, which keeps the bytes in order, and the handle's
// read timeouts stay "wait for the bytes asked for", so the read timeouts the
// caller sets are kept by this file.
//
// Line errors. Under abort-on-error the driver fails every read and write
// after a framing error, an overrun or a break until ClearCommError has
// taken the error. After a transfer that failed or was aborted, the receiver
// and writes take the errors and go on; the flags wait for ClearError and
// raise ev_err (framing, overrun, parity) and ev_break for a wait that
// watches them. Only a failure that no line error explains ends reception.
//
// A driver cannot hold a close up: a cancelled transfer that the driver does
// not end within cancel_grace_ms is given up on, and the flush runs on a
// thread of its own that the caller waits for within flush_limit_ms. No wait
// for a transfer or a flush is without a bound.
//
// The comm API is called through a table (CommApi.h), the real one unless a
// test put in a fake driver; the transfers' pieces are in CommTransfer.h.
// Only platform/windows/Comm.cpp includes this.
#pragma once

#include "platform/Comm.h"
#include "platform/shared/CommTimeouts.h"
#include "platform/windows/CommApi.h"
#include "platform/windows/CommTransfer.h"

#include <process.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

struct TComm::Impl {
    explicit Impl(const TCommApi& comm) : api(comm) {}

    const TCommApi& api;
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE stopEvent = NewEvent();    // ends the receiver
    HANDLE txAbortEvent = NewEvent(); // wakes a write for an abort
    HANDLE receiverOut = NewEvent();  // the receiver is done with this record
    std::atomic<bool> receiverAbandoned{false};
    std::atomic<uint32_t> rxAbortGen{0};
    std::atomic<uint32_t> mask{0};
    std::atomic<bool> closed{false};

    // An abort of writes (Purge with purge_txabort) bumps txAbortGen and
    // sets txAbortEvent, which the write in progress wakes for and cancels
    // itself on; the lock orders the two against a write's own check before
    // it waits, so that no abort is lost.
    std::mutex abortLock;
    std::atomic<uint32_t> txAbortGen{0};
    bool txAbortSet = false; // txAbortEvent is set; guarded by abortLock

    std::mutex settingsLock;
    TCommTimeouts timeouts;
    uint32_t inQueueSize = default_in_queue;

    // The staged input queue, filled by the receiver.
    std::mutex rxLock;
    std::condition_variable rxChanged;
    std::string rxStage;
    uint64_t staged = 0;       // bytes ever staged
    bool rxFailed = false;     // the device failed or hung up: nothing more comes
    uint32_t wakeCount = 0;    // bumped by SetMask and Close
    uint32_t lineErrors = 0;   // error flags taken from the driver, for ClearError
    uint32_t errorEvents = 0;  // ev_err and ev_break not yet reported
    HANDLE receiver = nullptr; // the receiver's thread

    // The record of writes, one write at a time; made again after a write
    // that the driver kept.
    std::mutex writeLock;
    std::unique_ptr<TWriteSlot> writeSlot;
    std::once_flag receiverStarted;

    // Used only by the waiting thread.
    uint64_t reportedRx = 0;
    bool rx80Reported = false;

    ~Impl() {
        Shut();
        for (HANDLE e : {stopEvent, txAbortEvent, receiverOut})
            if (e) CloseHandle(e);
    }

    static HANDLE NewEvent() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

    void Shut() {
        if (closed.exchange(true)) return;
        {
            std::lock_guard lock(rxLock);
            ++wakeCount;
        }
        rxChanged.notify_all();
        SetEvent(stopEvent);
        if (receiver) {
            // Every wait of the receiver ends on the stop, a stopped read
            // within the cancel grace. A receiver that left its read with
            // the driver is not waited for to its end: a Windows thread ends
            // only once its transfers have, which that driver may never allow.
            WaitForSingleObject(receiverOut, INFINITE);
            if (!receiverAbandoned) WaitForSingleObject(receiver, INFINITE);
            CloseHandle(receiver);
            receiver = nullptr;
        }
        if (handle != INVALID_HANDLE_VALUE) api.CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        timeEndPeriod(1);
    }

    // The receiver starts with the first wait or read, so that opening a port
    // only to see that it can be opened changes nothing on it. Its reads wait
    // for the bytes they ask for: the handle has no read timeouts. It is a
    // system thread, so that one that must be let go can be (FlushWithin).
    void StartReceiver() {
        std::call_once(receiverStarted, [this] {
            COMMTIMEOUTS none{};
            if (closed || !api.SetCommTimeouts(handle, &none)) return Fail();
            receiver = HANDLE(_beginthreadex(nullptr, 0, ReceiverThread, this, 0, nullptr));
            if (!receiver) Fail();
        });
    }

    static unsigned __stdcall ReceiverThread(void* arg) {
        Impl* self = static_cast<Impl*>(arg);
        const HANDLE out = self->receiverOut;
        self->Receive();
        SetEvent(out); // the last touch of this record
        return 0;
    }

    uint32_t QueueSize() {
        std::lock_guard lock(settingsLock);
        return inQueueSize ? inQueueSize : default_in_queue;
    }

    // Takes the driver's error flags (which ends its error state) and the
    // line status; the flags are kept for ClearError and raise their events.
    bool TakeErrors(COMSTAT* status = nullptr, DWORD* taken = nullptr) {
        DWORD flags = 0;
        COMSTAT stat{};
        if (!api.ClearCommError(handle, &flags, &stat)) return false;
        if (status) *status = stat;
        if (taken) *taken = flags;
        if (flags) {
            {
                std::lock_guard lock(rxLock);
                lineErrors |= flags;
                errorEvents |= EventsOf(flags);
            }
            rxChanged.notify_all();
        }
        return true;
    }

    // After a transfer that failed with `error`: takes the line errors. True
    // when the port goes on: a line error explains the failure, or an abort
    // whose errors another thread took (a few times in a row at most).
    bool Recover(DWORD error, int& unexplained) {
        DWORD flags = 0;
        if (closed || !TakeErrors(nullptr, &flags) || (flags & ce_mode)) return false;
        if (flags) {
            unexplained = 0;
            return true;
        }
        return error == ERROR_OPERATION_ABORTED && ++unexplained <= max_unexplained_aborts;
    }

    // Waits for an overlapped transfer; on a stop it is cancelled first,
    // and given up on if the driver keeps it.
    TTransfer Finish(TOverlapped& t, HANDLE stop) {
        HANDLE events[2] = {t.ov.hEvent, stop};
        DWORD r = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        TTransfer end;
        if (r == WAIT_OBJECT_0 + 1) {
            end.stopped = true;
            api.CancelIoEx(handle, &t.ov);
            EndCancelled(api, handle, t.ov, end);
            return end;
        }
        end.ok = api.GetOverlappedResult(handle, &t.ov, &end.count, FALSE);
        if (!end.ok) end.error = GetLastError();
        return end;
    }

    // One read of `size` bytes, waited for.
    TTransfer ReadNow(TOverlapped& t, char* buffer, DWORD size) {
        t.Reset();
        DWORD got = 0;
        if (!api.ReadFile(handle, buffer, size, &got, &t.ov)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) return {false, 0, error, false};
        }
        return Finish(t, stopEvent);
    }

    // The receiver: one byte at a time while the line is idle, then
    // everything the driver holds, into the staged queue.
    void Receive() {
        auto slot = std::make_unique<TReadSlot>();
        TOverlapped& t = slot->t;
        char* const buffer = slot->buffer;
        int unexplained = 0;
        for (;;) {
            {
                // Wait for room; a full queue leaves the bytes in the driver.
                std::unique_lock lock(rxLock);
                rxChanged.wait(lock, [&] { return closed || rxStage.size() < QueueSize(); });
                if (closed) return;
            }
            const TTransfer first = ReadNow(t, buffer, 1);
            std::size_t have = first.count;
            if (first.abandoned) return Abandon(std::move(slot));
            if (first.stopped) return Stage(buffer, have);
            if (!first.ok) {
                if (!Recover(first.error, unexplained)) {
                    Stage(buffer, have);
                    return Fail();
                }
                if (have == 0) continue;
            } else if (have == 0) {
                // With no read timeouts a read ends early only when the device is gone.
                return Fail();
            }
            unexplained = 0;
            COMSTAT stat{};
            if (TakeErrors(&stat) && stat.cbInQue > 0) {
                std::size_t room = QueueSize();
                {
                    std::lock_guard lock(rxLock);
                    room = room > rxStage.size() + have ? room - rxStage.size() - have : 0;
                }
                const DWORD want =
                    DWORD(std::min<std::size_t>({stat.cbInQue, room, sizeof slot->buffer - have}));
                if (want > 0) {
                    const TTransfer more = ReadNow(t, buffer + have, want);
                    if (more.abandoned) {
                        Stage(buffer, have);
                        return Abandon(std::move(slot));
                    }
                    have += more.count;
                    if (!more.ok && !more.stopped && !Recover(more.error, unexplained)) {
                        Stage(buffer, have);
                        return Fail();
                    }
                }
            }
            Stage(buffer, have);
        }
    }

    // A read that the driver kept after its cancel may still be completed
    // into its record and buffer, and its event set, at any time: they are
    // left allocated for the rest of the process.
    void Abandon(std::unique_ptr<TReadSlot> slot) {
        slot.release();
        receiverAbandoned = true;
    }

    void Stage(const char* bytes, std::size_t count) {
        if (count == 0) return;
        {
            std::lock_guard lock(rxLock);
            rxStage.append(bytes, count);
            staged += count;
        }
        rxChanged.notify_all();
    }

    void Fail() {
        {
            std::lock_guard lock(rxLock);
            rxFailed = true;
        }
        rxChanged.notify_all();
    }

    bool WaitEvent(uint32_t& events) {
        events = 0;
        std::unique_lock lock(rxLock);
        for (;;) {
            const uint32_t watch = mask.load();
            if (watch == 0 || closed) return false;
            const uint32_t size = QueueSize();
            bool full = uint64_t(rxStage.size()) * 5 >= uint64_t(size) * 4;
            // Bytes that a read took with an earlier report are not news.
            if ((watch & ev_rxchar) && staged > reportedRx && !rxStage.empty()) events |= ev_rxchar;
            if ((watch & ev_rx80full) && full && !rx80Reported) events |= ev_rx80full;
            events |= errorEvents & watch;
            reportedRx = staged;
            rx80Reported = full;
            errorEvents = 0;
            if (events) return true;
            if (rxFailed) return false;
            const uint32_t wake = wakeCount;
            const uint64_t seen = staged;
            rxChanged.wait(lock, [&] {
                return staged > seen || rxFailed || closed || wakeCount != wake ||
                       (errorEvents & mask.load());
            });
        }
    }

    bool WaitMoreInput(uint32_t quietUs) {
        const Clock::time_point deadline = Clock::now() + std::chrono::microseconds(quietUs);
        std::unique_lock lock(rxLock);
        const uint32_t wake = wakeCount;
        const uint64_t before = staged;
        auto news = [&] { return staged > before || rxFailed || closed || wakeCount != wake; };
        rxChanged.wait_until(lock, deadline, news);
        // Bytes that the driver already holds came within the quiet time,
        // however late the receiver is in taking them (under wine its read
        // completes through the server, which a loaded machine delays by
        // tens of milliseconds): wait for them as the Linux port's poll does.
        while (!news() && rxStage.size() < QueueSize()) {
            lock.unlock();
            COMSTAT stat{};
            const bool held = TakeErrors(&stat) && stat.cbInQue > 0;
            lock.lock();
            if (!held) break;
            rxChanged.wait_for(lock, std::chrono::microseconds(std::max<uint32_t>(quietUs, 1000)),
                               news);
        }
        if (staged == before || mask.load() == 0 || closed) return false;
        reportedRx = staged; // part of the report being made
        return rxStage.size() < QueueSize();
    }

    // Reads with the caller's timeouts, from the staged queue.
    bool Read(std::string& out, std::size_t count) {
        out.clear();
        if (closed) return false;
        StartReceiver();
        TCommTimeouts t;
        {
            std::lock_guard lock(settingsLock);
            t = timeouts;
        }
        const TReadPlan plan = TReadPlan::For(t, count);
        const uint32_t gen = rxAbortGen.load();
        std::unique_lock lock(rxLock);
        Clock::time_point lastByte{};
        for (;;) {
            std::size_t take = std::min(rxStage.size(), count - out.size());
            if (take > 0) {
                out.append(rxStage, 0, take);
                rxStage.erase(0, take);
                lastByte = Clock::now();
                rxChanged.notify_all(); // room for the receiver
            }
            if (plan.Done(out.size(), count)) break;
            if (rxFailed || closed) return !out.empty();
            const Clock::time_point deadline = plan.Deadline(out.size(), lastByte);
            const uint64_t before = staged;
            auto more = [&] {
                return staged > before || rxFailed || closed || rxAbortGen.load() != gen;
            };
            if (deadline == Clock::time_point::max())
                rxChanged.wait(lock, more);
            else if (!rxChanged.wait_until(lock, deadline, more))
                break;
            if (rxAbortGen.load() != gen) {
                take = std::min(rxStage.size(), count - out.size());
                out.append(rxStage, 0, take);
                rxStage.erase(0, take);
                break;
            }
        }
        return true;
    }

    // Writes within the write timeout. A write that the driver refuses or
    // aborts for a line error goes on with the bytes left once the errors
    // are taken. True once a WriteFile has started, whatever its outcome:
    // written is then what went out (0 when it completed with an error).
    bool Write(std::string_view bytes, std::size_t& written) {
        written = 0;
        if (closed) return false;
        TCommTimeouts t;
        {
            std::lock_guard lock(settingsLock);
            t = timeouts;
        }
        const Clock::time_point deadline = WriteDeadline(t, bytes.size());
        if (bytes.empty()) return true;
        const uint32_t gen = txAbortGen.load();
        std::lock_guard writing(writeLock);
        if (!writeSlot) writeSlot = std::make_unique<TWriteSlot>();
        TWriteSlot& slot = *writeSlot;
        TOverlapped& w = slot.t;
        slot.bytes.assign(bytes);
        bool started = false;
        int unexplained = 0;
        auto goOn = [&] {
            return txAbortGen.load() == gen && Clock::now() < deadline &&
                   Recover(ERROR_OPERATION_ABORTED, unexplained);
        };
        while (written < bytes.size()) {
            w.Reset();
            DWORD n = 0;
            if (!api.WriteFile(handle, slot.bytes.data() + written, DWORD(bytes.size() - written),
                               &n, &w.ov)) {
                const DWORD error = GetLastError();
                if (error != ERROR_IO_PENDING) {
                    if (error == ERROR_OPERATION_ABORTED && goOn()) continue;
                    break;
                }
            }
            started = true;
            TTransfer end;
            const bool byDriver = AwaitWrite(w, gen, deadline, end);
            if (end.abandoned) {
                // The driver kept the write after its cancel and may still
                // complete it: its record and bytes stay allocated for good.
                writeSlot.release();
                break;
            }
            written += end.count;
            if (end.ok || !byDriver || end.error != ERROR_OPERATION_ABORTED || !goOn()) break;
        }
        return started;
    }

    // Waits until a started write completes, its time is up or an abort ends
    // it; `end` says how it ended. True when it completed by itself (well or
    // not) with no abort; otherwise it has been cancelled, and given up on
    // if the driver kept it.
    bool AwaitWrite(TOverlapped& w, uint32_t gen, Clock::time_point deadline, TTransfer& end) {
        bool aborted;
        {
            std::lock_guard lock(abortLock);
            aborted = txAbortGen.load() != gen;
            if (!aborted && txAbortSet) {
                ResetEvent(txAbortEvent); // left from an earlier abort
                txAbortSet = false;
            }
        }
        if (!aborted) {
            HANDLE events[2] = {w.ov.hEvent, txAbortEvent};
            if (WaitForMultipleObjects(2, events, FALSE, MsUntil(deadline)) == WAIT_OBJECT_0) {
                end.ok = api.GetOverlappedResult(handle, &w.ov, &end.count, FALSE);
                if (!end.ok) end.error = GetLastError();
                return txAbortGen.load() == gen;
            }
        }
        api.CancelIoEx(handle, &w.ov);
        EndCancelled(api, handle, w.ov, end);
        return false;
    }
};
