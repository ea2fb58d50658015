// Periodic timers that call back on a thread of their own, in the manner of
// the multimedia timer service: set an event, get an id, kill it by id.
#pragma once

#include <cstddef>
#include <cstdint>

using TMMTimerProc = void (*)(void* user);

// Flags of MMTimerSetEvent.
enum : uint8_t {
    mmtimer_oneshot = 0,  // one call, then the timer idles until killed
    mmtimer_periodic = 1, // a call every delay milliseconds
};

// Starts a timer that calls proc(user) on a thread of the timer service (never
// the caller's), first `delayMs` after now and then every `delayMs` without
// drift. Returns the timer's id, or 0 when delayMs is 0, proc is null or the
// service has no room for another timer.
// On Linux each timer has a thread of its own that sleeps to absolute
// deadlines on the steady clock (a grid point missed because a call ran long
// is skipped, never made up); the resolution is accepted for compatibility.
// On Windows winmm's timeSetEvent runs the timers, all on its one callback
// thread, at the given resolution.
uint32_t MMTimerSetEvent(uint32_t delayMs, uint32_t resolutionMs, TMMTimerProc proc, void* user,
                         uint8_t flags);

// Stops timer `id`; unknown ids (0, already killed) are ignored. From any
// other thread it returns once a call in progress has returned, and no call
// starts afterwards. From inside the timer's own call it returns at once; the
// thread ends when that call returns.
void MMTimerKillEvent(uint32_t id);

// The number of timers set and not yet killed.
std::size_t MMTimerActiveCount();

// How a thread waits for a call in progress when it kills a timer. The window
// toolkit installs one that keeps serving calls carried over to the window
// thread while it waits, so a timer call waiting for the window thread and the
// window thread waiting for that call cannot block each other. `wait` must
// return once done(context) is true; `wake` (may be null) is called whenever
// done may have become true. Unset: a plain blocking wait.
struct TMMTimerWaitHook {
    void (*wait)(bool (*done)(void* context), void* context) = nullptr;
    void (*wake)() = nullptr;
};
void SetMMTimerWaitHook(const TMMTimerWaitHook& hook);
