#include "platform/MMTimer.h"

#include "platform/shared/MMTimerRegistry.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct TTimer : TMMTimerEntry {
    std::mutex m;
    std::condition_variable cv;
    bool killed = false;     // no call starts once set
    bool finished = false;   // the thread has left its loop
    bool selfKilled = false; // killed from its own call: nobody waits for the end
    std::thread thread;
};

void Run(std::shared_ptr<TTimer> t, Clock::duration period, bool periodic, TMMTimerProc proc,
         void* user) {
    std::unique_lock lock(t->m); // waits until MMTimerSetEvent has finished
    Clock::time_point next = Clock::now() + period;
    bool fired = false;
    while (!t->killed) {
        if (fired && !periodic) {
            t->cv.wait(lock, [&] { return t->killed; });
            break;
        }
        if (t->cv.wait_until(lock, next, [&] { return t->killed; })) break;
        lock.unlock();
        proc(user);
        lock.lock();
        fired = true;
        next += period;
        Clock::time_point now = Clock::now();
        if (next <= now) next += ((now - next) / period + 1) * period;
    }
    t->finished = true;
    t->cv.notify_all();
    const bool waitedFor = !t->selfKilled;
    lock.unlock();
    // A thread killed from its own call is detached and may still be here
    // while the process exits: it touches nothing but its own timer.
    if (waitedFor) MMTimerHookWake();
}

bool Finished(void* context) {
    auto* t = static_cast<TTimer*>(context);
    std::lock_guard lock(t->m);
    return t->finished;
}

} // namespace

uint32_t MMTimerSetEvent(uint32_t delayMs, uint32_t, TMMTimerProc proc, void* user, uint8_t flags) {
    if (delayMs == 0 || !proc) return 0;
    auto t = std::make_shared<TTimer>();
    std::lock_guard timerLock(t->m); // the thread starts its loop after registration
    try {
        t->thread = std::thread(Run, t, std::chrono::milliseconds(delayMs),
                                (flags & mmtimer_periodic) != 0, proc, user);
    } catch (...) {
        return 0;
    }
    return MMTimerRegister(t);
}

void MMTimerKillEvent(uint32_t id) {
    auto t = std::static_pointer_cast<TTimer>(MMTimerUnregister(id));
    if (!t) return;
    const bool own = std::this_thread::get_id() == t->thread.get_id();
    {
        std::lock_guard lock(t->m);
        t->killed = true;
        t->selfKilled = own;
    }
    t->cv.notify_all();
    if (own) {
        t->thread.detach(); // killed from its own call: the loop ends after it
        return;
    }
    if (!MMTimerHookWait(&Finished, t.get())) {
        std::unique_lock lock(t->m);
        t->cv.wait(lock, [&] { return t->finished; });
    }
    t->thread.join();
}
