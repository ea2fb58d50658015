// The hold where the program has nothing to hold: on Linux the serial driver
// lowers the timer itself when the session asks for low latency
// (platform/linux/Comm.cpp) and gives it back at the close; a page cannot
// reach the timer at all. Windows holds it through the adapter's library.
#include "platform/LatencyTimer.h"

TLatencyHold::TLatencyHold(const std::string& portName) : port_(portName) {}

TLatencyHold::~TLatencyHold() {
    Release();
}

std::string TLatencyHold::Release() {
    released_ = true;
    return {};
}
