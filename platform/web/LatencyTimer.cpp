#include "platform/LatencyTimer.h"

// A page reaches a port only through Web Serial, which shows nothing of the
// adapter's latency timer and cannot set it.
TLatencyReading ReadLatencyTimer(const std::string&) {
    TLatencyReading r;
    r.problem = "the browser does not show an adapter's latency timer";
    return r;
}

std::string LatencyTimerAdvice(const std::string& portName) {
    return portName + ": the adapter holds every reply for its latency timer, up to 16 ms a "
                      "block, a write up to 8 s longer; set it to 1 ms in the system's settings "
                      "for the adapter";
}
