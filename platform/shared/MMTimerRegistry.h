// What the two timer backends share: the table of live timers by id, and the
// wait hook that a kill from another thread waits through. Internal to the
// platform layer.
#pragma once

#include <cstdint>
#include <memory>

// A backend's timer record; the table holds it by this base.
struct TMMTimerEntry {
    virtual ~TMMTimerEntry() = default;
};

// Enters a timer in the table and gives its id: never 0, never one in use.
uint32_t MMTimerRegister(std::shared_ptr<TMMTimerEntry> timer);
// The timer with that id; null when there is none.
std::shared_ptr<TMMTimerEntry> MMTimerFind(uint32_t id);
// Takes the timer out of the table; null when there was none.
std::shared_ptr<TMMTimerEntry> MMTimerUnregister(uint32_t id);

// Waits through the installed wait hook until done(context) is true; false
// when no hook is installed, so the caller waits plainly.
bool MMTimerHookWait(bool (*done)(void* context), void* context);
// Tells the installed wait hook that a wait may be over.
void MMTimerHookWake();
