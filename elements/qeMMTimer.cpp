#include "elements/qeMMTimer.h"

#include <chrono>

void TMultimediaTimer::SetEnabled(bool e) {
    uint32_t id = id_.load();
    if (e == (id != 0)) {
        enabled_.store(e);
        return;
    }
    if (id != 0) {
        // Whoever takes the id out kills it; a second caller finds 0.
        if (id_.compare_exchange_strong(id, 0)) MMTimerKillEvent(id);
    } else {
        uint32_t started = MMTimerSetEvent(Interval, Resolution, &TickProc, this, periodic);
        uint32_t none = 0;
        if (started != 0 && !id_.compare_exchange_strong(none, started))
            MMTimerKillEvent(started); // another thread started one meanwhile
    }
    enabled_.store(e);
}

void TMultimediaTimer::SetInterval(uint32_t ms) {
    if (ms == Interval) return;
    Interval = ms;
}

void TMultimediaTimer::TickProc(void* user) {
    auto* t = static_cast<TMultimediaTimer*>(user);
    if (t->tickHandler) t->tickHandler(t->tickObject);
}

TQeMMTimer::TQeMMTimer() {
    timer.tickHandler = &TickHandler;
    timer.tickObject = this;
    timer.SetEnabled(false);
}

TQeMMTimer::~TQeMMTimer() {
    Halt();
}

// A tick that stopped the timer itself is not waited for by the platform, so
// wait here until it has left the element (unless this is that tick's own
// thread). The tick may be waiting for the window thread, so the wait goes
// through the service that keeps that thread serving.
void TQeMMTimer::Halt() {
    timer.SetEnabled(false);
    const std::thread::id self = std::this_thread::get_id();
    auto tickRuns = [this, self] { return busy.load() && tickThread_.load() != self; };
    if (!tickRuns()) return;
    WaitForOtherThread([&] {
        while (tickRuns())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
}

void TQeMMTimer::SetCount(int32_t count) {
    Count = count;
    remaining.store(count);
}

void TQeMMTimer::inStart(TData&, uint16_t) {
    remaining.store(Count);
    timer.SetEnabled(true);
}

void TQeMMTimer::inStop(TData&, uint16_t) {
    timer.SetEnabled(false);
    FireNull(onStop);
}

void TQeMMTimer::TickHandler(void* object) {
    static_cast<TQeMMTimer*>(object)->Tick();
}

// Runs on the platform's timer thread. A tick that arrives while the previous
// one is still being handled is dropped.
void TQeMMTimer::Tick() {
    if (busy.exchange(true)) return;
    tickThread_.store(std::this_thread::get_id());
    int32_t left = remaining.load();
    if (left >= 0) remaining.store(left - 1);
    FireNull(onTimer);
    if (remaining.load() == 0) {
        timer.SetEnabled(false);
        FireNull(onStop);
    }
    busy.store(false);
}
