// Timers in the browser: the page's own timeouts, which call back on the one
// thread the page has, between other events. Each timer keeps absolute
// deadlines on the page's monotonic clock, so it does not drift; a deadline
// missed because a call ran long (or the tab was in the background) is
// skipped, never made up.
#include "platform/MMTimer.h"

#include "platform/shared/MMTimerRegistry.h"

#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>

#include <cstdint>
#include <memory>

namespace {

struct TWebTimer : TMMTimerEntry {
    uint32_t id = 0;
    double period = 0; // milliseconds
    double next = 0;   // the next deadline
    bool periodic = false;
    bool killed = false;
    long timeout = 0; // the pending page timeout, 0 when none
    TMMTimerProc proc = nullptr;
    void* user = nullptr;
};

void Tick(void* context) {
    const auto id = uint32_t(reinterpret_cast<uintptr_t>(context));
    auto t = std::static_pointer_cast<TWebTimer>(MMTimerFind(id));
    if (!t) return;
    t->timeout = 0;
    t->proc(t->user); // may kill the timer; `t` keeps the record alive meanwhile
    if (t->killed || !t->periodic) return;
    const double now = emscripten_get_now();
    t->next += t->period;
    if (t->next <= now) t->next += (int64_t((now - t->next) / t->period) + 1) * t->period;
    t->timeout = emscripten_set_timeout(&Tick, t->next - now, context);
}

} // namespace

uint32_t MMTimerSetEvent(uint32_t delayMs, uint32_t, TMMTimerProc proc, void* user, uint8_t flags) {
    if (delayMs == 0 || !proc) return 0;
    auto t = std::make_shared<TWebTimer>();
    t->period = delayMs;
    t->periodic = (flags & mmtimer_periodic) != 0;
    t->proc = proc;
    t->user = user;
    t->next = emscripten_get_now() + t->period;
    t->id = MMTimerRegister(t);
    if (t->id == 0) return 0;
    t->timeout =
        emscripten_set_timeout(&Tick, t->period, reinterpret_cast<void*>(uintptr_t(t->id)));
    return t->id;
}

// The page has one thread: no call can be in progress elsewhere, so a kill
// takes effect at once, from inside the timer's own call too.
void MMTimerKillEvent(uint32_t id) {
    auto t = std::static_pointer_cast<TWebTimer>(MMTimerUnregister(id));
    if (!t) return;
    t->killed = true;
    if (t->timeout) emscripten_clear_timeout(t->timeout);
    t->timeout = 0;
}
