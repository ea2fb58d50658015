#include "app/cli/DoctorCheck.h"

#include "app/cli/PortJobs.h"
#include "device/Flasher.h"
#include "device/Protocol.h"
#include "platform/PortAccess.h"
#include "platform/Ports.h"
#include "serial/qeComAsync.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string MsText(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

// One "VERS" through a fresh device session: the session's own open sends
// it, and the taps tell when it went out and when the reply came. The
// reply is framed by the line's silence after it, so its times are those
// the port saw its bytes arrive, not those it handed them on.
struct TTry {
    std::mutex lock;
    std::condition_variable framed;
    bool replied = false;
    Clock::time_point asked{}, first{}, whole{};
    bool anyBurst = false;
};

void Attach(TFlasher& flasher, TTry& t) {
    TConsoleSchema& s = flasher.Schema();
    TQeComAsync* port = s.Session.SerialPort;
    auto opened = s.Opened->listener;
    s.Opened->listener = [&t, opened](int32_t result) {
        {
            std::lock_guard guard(t.lock);
            t.asked = Clock::now();
        }
        if (opened) opened(result);
    };
    auto bursts = s.Bursts->listener;
    s.Bursts->listener = [&t, port, bursts] {
        {
            std::lock_guard guard(t.lock);
            if (!t.anyBurst) t.first = port->BurstBegan();
            t.anyBurst = true;
        }
        if (bursts) bursts();
    };
    // The first judged reply ends the measurement; it is told inside the
    // chain of the burst that completed it.
    auto replies = s.Replies->listener;
    s.Replies->listener = [&t, port, replies] {
        {
            std::lock_guard guard(t.lock);
            if (!t.replied) {
                if (!t.anyBurst) t.first = port->BurstBegan();
                t.whole = port->BurstEnded();
                t.replied = true;
            }
        }
        t.framed.notify_all();
        if (replies) replies();
    };
}

std::string AccessWord(TPortProblem problem) {
    switch (problem) {
    case TPortProblem::missing:
        return "missing";
    case TPortProblem::busy:
        return "busy";
    case TPortProblem::denied:
        return "no permission";
    default:
        return "could not be opened";
    }
}

} // namespace

double WriteLineSeconds() {
    return double(kImageBytes) * kLineBitsPerCharacter / kProgramLine.BaudRate;
}

double PredictWriteSeconds(double roundTripMs) {
    return WriteLineSeconds() + kImageBlocks * roundTripMs / 1000.0;
}

void Diagnose(TDoctorPort& d) {
    std::vector<double> firsts;
    for (const TRoundTrip& t : d.tries)
        if (t.answered) firsts.push_back(t.firstMs);
    if (!firsts.empty()) {
        std::sort(firsts.begin(), firsts.end());
        d.roundTripMs = firsts[firsts.size() / 2];
        d.predictedSeconds = PredictWriteSeconds(d.roundTripMs);
    }
    if (d.interrupted) return;
    if (d.access != "ok") {
        std::string what = d.access == "no permission"         ? "no permission to open the port"
                           : d.access == "could not be opened" ? "the port could not be opened"
                                                               : "the port is " + d.access;
        d.problems.push_back({what, OpenProblem(d.port)});
        return;
    }
    if (!d.answered) {
        if (d.otherAnswer)
            d.problems.push_back({"something answered, but not as a Varnomiksal bootloader",
                                  "is the device in its bootloader? Reset or power-cycle it into "
                                  "its bootloader (a device left in the middle of a write answers "
                                  "so too)"});
        else
            d.problems.push_back({"no answer to \"VERS\"",
                                  "is the device in its bootloader? Check the cable, and reset "
                                  "or power-cycle the device into its bootloader"});
        return;
    }
    // The timer the session runs with: read during it where the system
    // allows, else the one found outside when the session could not set it.
    const TLatencyReading* timer = nullptr;
    if (d.duringRead && d.during.known)
        timer = &d.during;
    else if (d.outside.known && d.hold == TLatencyHoldState::failed)
        timer = &d.outside;
    if (timer && timer->ms > kSlowTimerMs) {
        d.problems.push_back(
            {"the adapter's latency timer is " + std::to_string(timer->ms) + " ms during a session",
             LatencyTimerAdvice(d.port)});
    } else if (d.hold == TLatencyHoldState::failed) {
        d.problems.push_back({"the adapter's " + d.holdNote, LatencyTimerAdvice(d.port)});
    }
    if (d.roundTripMs > kSlowRoundTripMs)
        d.problems.push_back(
            {"replies come " + MsText(d.roundTripMs) + " after the request",
             "an adapter or its driver holds short replies back: on an FTDI adapter set its "
             "latency timer to 1 ms; otherwise try another adapter or a built-in port"});
    d.slow = !d.problems.empty();
}

TDoctorPort CheckPort(const std::string& port, TInterruptWatch& watch, int timeoutMs, int rounds,
                      const std::function<void(std::vector<std::string>)>& log) {
    TDoctorPort d;
    d.port = port;
    ResolvePort(port, d.device);
    d.usb = UsbInfoFor(d.device);
    d.outside = ReadLatencyTimer(d.device);
    for (int i = 0; i < rounds; ++i) {
        TTry t;
        TFlasher flasher(watch);
        Attach(flasher, t);
        TIdentifyResult r = flasher.Identify(port, timeoutMs);
        TRoundTrip trip;
        if (r.outcome == TIdentify::found || r.outcome == TIdentify::not_bootloader) {
            std::unique_lock guard(t.lock);
            t.framed.wait_for(guard, std::chrono::seconds(1), [&] { return t.replied; });
            trip.answered = t.replied;
            trip.firstMs = Ms(t.first - t.asked);
            trip.wholeMs = Ms(t.whole - t.asked);
        }
        TQeComAsync& serial = *flasher.Schema().Session.SerialPort;
        if (r.outcome != TIdentify::open_failed && i == 0) {
            d.hold = serial.LatencyHold();
            d.holdNote = serial.LatencyNote();
            d.during = ReadLatencyTimer(d.device);
            d.duringRead = true;
        }
        flasher.Close();
        if (log) log(flasher.TakeLog());
        switch (r.outcome) {
        case TIdentify::found:
            d.answered = true;
            d.name = r.device;
            d.version = r.version;
            d.tries.push_back(trip);
            continue;
        case TIdentify::open_failed:
            d.access =
                AccessWord(d.device.empty() ? TPortProblem::missing : CheckPortAccess(d.device));
            break;
        case TIdentify::not_bootloader:
            d.otherAnswer = true;
            d.tries.push_back(trip);
            break;
        case TIdentify::no_answer:
            d.tries.push_back(trip);
            break;
        case TIdentify::interrupted:
            d.interrupted = true;
            break;
        }
        break; // a port that does not answer as a bootloader is not asked again
    }
    Diagnose(d);
    return d;
}
