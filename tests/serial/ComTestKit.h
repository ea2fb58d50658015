// Shared pieces of the serial element tests: the main program's settings and a
// recorder of every event the element fires.
#pragma once

#include "device/DeviceSession.h"
#include "runtime/Share.h"
#include "serial/qeComAsync.h"
#include "tests/platform/PtyPort.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The property values the program gives its serial port.
inline void UseProgramSettings(TQeComAsync& com) {
    ApplyProgramLineSettings(com);
}

struct TFired {
    std::string name;
    TData value;
};

// Records every output of a serial element, in order, from any thread.
class TRecorder : public TQeElement {
public:
    static constexpr const char* Names[] = {
        "onWrite", "onRead",       "onPort",   "onRxChar",      "onRing",     "onCts",
        "onDsr",   "onRlsd",       "onRxFlag", "onBreak",       "onRx80Full", "onTxEmpty",
        "onError", "onBeforeOpen", "onOpen",   "onBeforeClose", "onClose"};

    void Attach(TQeComAsync& com) {
        TEventLink* outs[] = {&com.onWrite,  &com.onRead,       &com.onPort,     &com.onRxChar,
                              &com.onRing,   &com.onCts,        &com.onDsr,      &com.onRlsd,
                              &com.onRxFlag, &com.onBreak,      &com.onRx80Full, &com.onTxEmpty,
                              &com.onError,  &com.onBeforeOpen, &com.onOpen,     &com.onBeforeClose,
                              &com.onClose};
        for (uint16_t i = 0; i < sizeof outs / sizeof outs[0]; ++i)
            *outs[i] = MakeLink<&TRecorder::inEvent>(i, this);
    }

    // Called after recording, on the firing thread, with the event's name.
    std::function<void(const std::string&, TData&)> then;

    void inEvent(TData& d, uint16_t index) {
        {
            std::lock_guard lock(m_);
            fired_.push_back({Names[index], d});
        }
        cv_.notify_all();
        if (then) then(Names[index], d);
    }

    // "onBeforeOpen onOpen(5) onRead'ab'" - the events so far.
    std::string Trace() {
        std::lock_guard lock(m_);
        std::string s;
        for (const auto& f : fired_) {
            if (!s.empty()) s += ' ';
            s += f.name;
            if (f.value.type == data_int) s += "(" + std::to_string(f.value.idata) + ")";
            if (f.value.type == data_str) s += "'" + f.value.sdata.str() + "'";
        }
        return s;
    }

    std::vector<TFired> Fired() {
        std::lock_guard lock(m_);
        return fired_;
    }

    void Clear() {
        std::lock_guard lock(m_);
        fired_.clear();
    }

    // Waits until `done` holds for the events so far.
    bool WaitFor(const std::function<bool(const std::vector<TFired>&)>& done, int ms = 3000) {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done(fired_); });
    }

    // All bytes that onRead delivered so far.
    std::string BytesRead() {
        std::lock_guard lock(m_);
        std::string s;
        for (const auto& f : fired_)
            if (f.name == "onRead") s += f.value.sdata.str();
        return s;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<TFired> fired_;
};

inline void Send(TQeComAsync& com, void (TQeComAsync::*input)(TData&, uint16_t), TData d = {}) {
    (com.*input)(d, 0);
}

inline void OpenPort(TQeComAsync& com, const std::string& name) {
    com.Port = name;
    Send(com, &TQeComAsync::inOpen);
}
