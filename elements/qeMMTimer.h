// MMTimer: fires an event at a fixed period from the platform's timer thread,
// optionally stopping by itself after Count ticks.
#pragma once

#include "platform/MMTimer.h"
#include "runtime/Share.h"

#include <atomic>
#include <thread>

// The platform timer as the element drives it: its settings, and whether it
// runs (id not 0). Enabled may be set from any thread.
class TMultimediaTimer {
public:
    using TTickHandler = void (*)(void* object);

    TMultimediaTimer() = default;
    TMultimediaTimer(const TMultimediaTimer&) = delete;
    TMultimediaTimer& operator=(const TMultimediaTimer&) = delete;
    ~TMultimediaTimer() { SetEnabled(false); }

    uint32_t Interval = 1000; // milliseconds, used at the next start
    TTickHandler tickHandler = nullptr;
    void* tickObject = nullptr;
    uint32_t Resolution = 0; // milliseconds, used at the next start
    uint8_t periodic = mmtimer_periodic;

    // Starts or stops the platform timer. Stopping from another thread waits
    // for a tick in progress; a failed start leaves it stopped (and a later
    // SetEnabled(true) tries again).
    void SetEnabled(bool e);
    void SetInterval(uint32_t ms);
    bool Enabled() const { return enabled_.load(); }
    uint32_t Id() const { return id_.load(); } // the platform timer's id, 0 when stopped

private:
    static void TickProc(void* user);

    std::atomic<uint32_t> id_{0};
    std::atomic<bool> enabled_{false};
};

class TQeMMTimer : public TQeElement {
public:
    TQeMMTimer();
    ~TQeMMTimer() override;

    std::atomic<bool> busy{false}; // a tick is being handled
    TMultimediaTimer timer;
    std::atomic<int32_t> remaining{0}; // ticks left; negative: no limit
    int32_t Count = 0;                 // ticks per run; 0 or negative: no limit
    TEventLink onTimer;
    TEventLink onStop;

    void SetResolution(uint32_t ms) { timer.Resolution = ms; }
    void SetInterval(uint32_t ms) { timer.SetInterval(ms); }
    void SetEnabled(bool e) { timer.SetEnabled(e); }
    void SetCount(int32_t count);
    // Stops the timer and waits until a tick in progress has left the element
    // and everything its events reached (not when called from that tick).
    void Halt();

    void inStart(TData& d, uint16_t index);
    void inStop(TData& d, uint16_t index);

private:
    static void TickHandler(void* object);
    void Tick();

    std::atomic<std::thread::id> tickThread_{}; // the thread of the tick in progress
};
