// The multimedia timer on winmm's timeSetEvent and timeKillEvent. winmm makes
// every timer's calls on a callback thread of its own; this layer adds what
// the interface promises beyond that: a kill from another thread waits
// (through the wait hook) for a call in progress, a kill from inside the call
// returns at once, and no call starts after a kill.
// winmm gives a process few timers (wine 16). Past that, a timer runs on the
// system's timer queue, which serves all its timers from one thread: a
// station of many slots then needs no timer of winmm's per slot.
#include "platform/MMTimer.h"

#include "platform/shared/MMTimerRegistry.h"

#include <windows.h>

#include <mmsystem.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

struct TTimer : TMMTimerEntry {
    TMMTimerProc proc = nullptr;
    void* user = nullptr;
    bool periodic = false;

    std::mutex m;
    std::condition_variable cv;
    UINT systemId = 0;       // winmm's id; 0 until timeSetEvent has returned
    HANDLE queued = nullptr; // the timer-queue timer, when winmm had none to give
    bool retired = false;    // winmm's timer is killed, or is to be killed once its id is known
    bool killed = false;     // no call starts once set
    bool fired = false;      // a one-shot timer has made its call
    bool inCall = false;     // proc is running
    DWORD callThread = 0;    // the thread of the call in progress
};

// Marks winmm's timer as retired (call with t.m held); returns the id to pass
// to timeKillEvent once the lock is released, or 0 when that is done
// elsewhere. Every winmm timer is killed exactly once, so an id that winmm
// may hand out again is never killed twice. winmm is never called with the
// lock held: its callback thread takes the lock too.
UINT Retire(TTimer& t) {
    if (t.retired) return 0;
    t.retired = true;
    if (t.queued) {
        // Does not wait for a call in progress; the kill waits for that itself.
        DeleteTimerQueueTimer(nullptr, t.queued, nullptr);
        return 0;
    }
    return t.systemId;
}

void CALLBACK Tick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    // winmm is handed our id, not a pointer, so a late call after a kill
    // finds nothing.
    auto t = std::static_pointer_cast<TTimer>(MMTimerFind(uint32_t(user)));
    if (!t) return;
    UINT retire = 0;
    {
        std::lock_guard lock(t->m);
        if (t->killed || t->fired) return;
        t->inCall = true;
        t->callThread = GetCurrentThreadId();
        if (!t->periodic) {
            // A one-shot timer runs as a periodic winmm timer, retired after its call.
            t->fired = true;
            retire = Retire(*t);
        }
    }
    if (retire) timeKillEvent(retire);
    t->proc(t->user);
    {
        std::lock_guard lock(t->m);
        t->inCall = false;
        t->callThread = 0;
    }
    t->cv.notify_all();
    MMTimerHookWake();
}

void CALLBACK QueueTick(void* user, BOOLEAN) {
    Tick(0, 0, DWORD_PTR(user), 0, 0);
}

bool CallDone(void* context) {
    auto* t = static_cast<TTimer*>(context);
    std::lock_guard lock(t->m);
    return !t->inCall;
}

} // namespace

uint32_t MMTimerSetEvent(uint32_t delayMs, uint32_t resolutionMs, TMMTimerProc proc, void* user,
                         uint8_t flags) {
    if (delayMs == 0 || !proc) return 0;
    auto t = std::make_shared<TTimer>();
    t->proc = proc;
    t->user = user;
    t->periodic = (flags & mmtimer_periodic) != 0;

    // Registered before winmm can call: the first call may come before
    // timeSetEvent returns. winmm gets our id, not a pointer, so a call that
    // comes after a kill finds nothing.
    const uint32_t id = MMTimerRegister(t);
    const UINT systemId = timeSetEvent(delayMs, resolutionMs, &Tick, DWORD_PTR(id),
                                       TIME_CALLBACK_FUNCTION | TIME_PERIODIC);
    if (systemId == 0) {
        // The lock keeps a first call, which may retire the timer, from
        // finding the handle not yet stored.
        std::lock_guard lock(t->m);
        if (!CreateTimerQueueTimer(&t->queued, nullptr, &QueueTick,
                                   reinterpret_cast<void*>(uintptr_t(id)), delayMs, delayMs,
                                   WT_EXECUTEINTIMERTHREAD)) {
            MMTimerUnregister(id);
            return 0;
        }
        return id;
    }
    bool retiredMeanwhile;
    {
        std::lock_guard lock(t->m);
        t->systemId = systemId;
        retiredMeanwhile = t->retired;
    }
    if (retiredMeanwhile) timeKillEvent(systemId);
    return id;
}

void MMTimerKillEvent(uint32_t id) {
    auto t = std::static_pointer_cast<TTimer>(MMTimerUnregister(id));
    if (!t) return;
    UINT retire;
    bool wait;
    {
        std::lock_guard lock(t->m);
        t->killed = true;
        retire = Retire(*t);
        // Killed from inside its own call: return at once.
        wait = t->inCall && t->callThread != GetCurrentThreadId();
    }
    if (retire) timeKillEvent(retire);
    if (!wait) return;
    if (!MMTimerHookWait(&CallDone, t.get())) {
        std::unique_lock lock(t->m);
        t->cv.wait(lock, [&] { return !t->inCall; });
    }
}
