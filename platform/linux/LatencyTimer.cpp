#include "platform/LatencyTimer.h"

#include "platform/Ports.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr long async_low_latency = 0x2000; // in a tty's flags

bool ReadNumber(const fs::path& file, long& value, int base) {
    std::ifstream in(file);
    std::string text;
    if (!std::getline(in, text) || text.empty()) return false;
    try {
        value = std::stol(text, nullptr, base);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// The tty's name ("ttyUSB0") behind a device path or a link to one.
std::string TtyName(const std::string& device) {
    std::error_code ec;
    fs::path node = fs::canonical(device, ec);
    return ec ? std::string() : node.filename().string();
}

} // namespace

TLatencyReading ReadLatencyTimer(const std::string& device) {
    TLatencyReading r;
    std::string tty = TtyName(device);
    if (tty.empty()) {
        r.problem = "the device is gone";
        return r;
    }
    long flags = 0;
    if (ReadNumber(fs::path("/sys/class/tty") / tty / "flags", flags, 16))
        r.lowLatency = (flags & async_low_latency) != 0;
    // Only the ftdi_sio driver shows a latency timer.
    long ms = 0;
    if (!ReadNumber(fs::path("/sys/bus/usb-serial/devices") / tty / "latency_timer", ms, 10)) {
        r.problem = "no latency timer (not an FTDI adapter)";
        return r;
    }
    r.known = true;
    r.ms = int(ms);
    r.source = "sysfs";
    // A USB serial port shows no flags; its driver runs the timer at 1 ms
    // for low latency.
    r.lowLatency = r.lowLatency || r.ms <= 1;
    return r;
}

std::string LatencyTimerAdvice(const std::string& portName) {
    std::string device;
    ResolvePort(portName, device);
    std::string tty = TtyName(device);
    if (tty.empty()) tty = "ttyUSB0";
    return portName +
           ": the adapter holds every reply for its latency timer, up to 16 ms a "
           "block, a write up to 8 s longer; set it to 1 ms by hand: echo 1 | sudo tee "
           "/sys/bus/usb-serial/devices/" +
           tty + "/latency_timer";
}
