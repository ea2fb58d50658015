// The pieces of a serial device's transfers on Windows: an overlapped
// transfer's event and record, how it ended, the end of a cancelled one, a
// flush with a bound, and the limits that keep every wait bounded.
#pragma once

#include "platform/windows/CommApi.h"

#include <process.h>
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

using Clock = std::chrono::steady_clock;

// The input queue's size when none was set.
inline constexpr uint32_t default_in_queue = 4096;

// Aborted transfers in a row that no line error explains, before the port
// counts as failed. One such abort is normal: another thread may have taken
// the errors first, and the next transfer works.
inline constexpr int max_unexplained_aborts = 8;

// How long a cancelled transfer is given to end. A driver that ignores the
// cancel keeps the transfer, and may still complete it (writing into its
// record and buffer) at any later time: such a record is left allocated.
inline constexpr DWORD cancel_grace_ms = 250;

// The longest a flush is waited for, so that a close ends within 3 s: the
// flush, and a transfer's cancel grace for a write and for the receiver.
inline constexpr DWORD flush_limit_ms = 2000;
// The shortest, for an output queue that the driver reports empty.
inline constexpr DWORD flush_least_ms = 100;

// An event for one overlapped transfer.
struct TOverlapped {
    OVERLAPPED ov{};
    TOverlapped() { ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~TOverlapped() {
        if (ov.hEvent) CloseHandle(ov.hEvent);
    }
    TOverlapped(const TOverlapped&) = delete;
    TOverlapped& operator=(const TOverlapped&) = delete;
    void Reset() {
        HANDLE e = ov.hEvent;
        ov = OVERLAPPED{};
        ov.hEvent = e;
        ResetEvent(e);
    }
};

// How an overlapped transfer ended.
struct TTransfer {
    bool ok = false;        // completed without error
    DWORD count = 0;        // bytes moved, also when it failed or was stopped
    DWORD error = 0;        // the error when not ok
    bool stopped = false;   // cancelled because the device is closing
    bool abandoned = false; // the driver ignored the cancel: still pending
};

// The receiver's transfer: its record and the buffer the driver fills.
struct TReadSlot {
    TOverlapped t;
    char buffer[4096];
};

// A write's record and its own copy of the bytes, which the driver may read
// until the write completes.
struct TWriteSlot {
    TOverlapped t;
    std::string bytes;
};

// Ends a transfer that has been cancelled: waits within the grace for the
// driver to complete it. False when the driver kept it pending.
inline bool EndCancelled(const TCommApi& api, HANDLE handle, OVERLAPPED& ov, TTransfer& end) {
    if (WaitForSingleObject(ov.hEvent, cancel_grace_ms) != WAIT_OBJECT_0) {
        end.abandoned = true;
        end.error = ERROR_OPERATION_ABORTED;
        return false;
    }
    end.ok = api.GetOverlappedResult(handle, &ov, &end.count, FALSE);
    if (!end.ok) end.error = GetLastError();
    return true;
}

// One FlushFileBuffers call, shared by the caller and the thread that makes
// it. Once the call has returned the thread touches nothing but this record,
// so a flush given up on may end whenever the driver lets it, or never.
struct TFlushCall {
    decltype(&::FlushFileBuffers) flush = nullptr;
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BOOL result = FALSE;
    std::mutex lock;
    bool givenUp = false; // the caller left: a call not yet started is not made
    ~TFlushCall() {
        if (done) CloseHandle(done);
    }
};

inline unsigned __stdcall FlushThread(void* arg) {
    const std::unique_ptr<std::shared_ptr<TFlushCall>> held(
        static_cast<std::shared_ptr<TFlushCall>*>(arg));
    TFlushCall& call = **held;
    {
        std::lock_guard lock(call.lock);
        if (call.givenUp) return 0;
    }
    call.result = call.flush(call.handle);
    SetEvent(call.done);
    return 0;
}

// Flushes on a thread of its own, waiting at most `ms`. False when the flush
// failed or did not end in time; the handle must then stay open until the
// caller is done with it (a flush that has not started by then never starts).
// The thread is a system one whose handle is closed at once: a thread that
// is let go while it ends is not safe with the C++ library's threads here.
inline bool FlushWithin(const TCommApi& api, HANDLE handle, DWORD ms) {
    auto call = std::make_shared<TFlushCall>();
    if (!call->done) return false;
    call->flush = api.FlushFileBuffers;
    call->handle = handle;
    auto* held = new std::shared_ptr<TFlushCall>(call);
    const uintptr_t thread = _beginthreadex(nullptr, 0, FlushThread, held, 0, nullptr);
    if (!thread) {
        delete held;
        return false;
    }
    CloseHandle(HANDLE(thread));
    if (WaitForSingleObject(call->done, ms) == WAIT_OBJECT_0) return call->result != FALSE;
    std::lock_guard lock(call->lock);
    call->givenUp = true;
    return false;
}

// Milliseconds to wait until deadline, rounded up; INFINITE for none (max).
inline DWORD MsUntil(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return INFINITE;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return DWORD(std::clamp<int64_t>(left, 0, 0x7FFFFFFF));
}

// The line events that error flags raise, as the driver raises them.
inline uint32_t EventsOf(uint32_t errors) {
    uint32_t events = 0;
    if (errors & (ce_frame | ce_overrun | ce_rxparity)) events |= ev_err;
    if (errors & ce_break) events |= ev_break;
    return events;
}
