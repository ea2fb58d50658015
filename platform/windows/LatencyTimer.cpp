#include "platform/LatencyTimer.h"

#include "platform/Ports.h"
#include "platform/windows/Ftd2xx.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <setupapi.h>

namespace {

constexpr int session_ms = 1;

// The ports whose timer this process holds, with the value it set: the
// adapter cannot be asked while its port is open.
std::mutex held_lock;
std::map<std::string, int> held;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return s;
}

// The FTDI driver's "LatencyTimer" among the device's parameters, where its
// Advanced settings keep it; false when the port has none.
bool RegistryLatency(const std::string& port, int& ms) {
    HDEVINFO set =
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; !found && SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        char name[64] = {};
        DWORD size = sizeof name - 1, type = 0;
        if (RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ && _stricmp(name, port.c_str()) == 0) {
            DWORD value = 0;
            size = sizeof value;
            found = RegQueryValueExA(key, "LatencyTimer", nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                    type == REG_DWORD;
            ms = int(value);
        }
        RegCloseKey(key);
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::string Ms(int ms) {
    return std::to_string(ms) + " ms";
}

} // namespace

TLatencyReading ReadLatencyTimer(const std::string& device) {
    TLatencyReading r;
    // "\\.\COM3" names the port COM3.
    std::string port = Upper(device.substr(device.rfind('\\') + 1));
    {
        std::lock_guard lock(held_lock);
        if (auto it = held.find(port); it != held.end()) {
            r.known = true;
            r.ms = it->second;
            r.lowLatency = r.ms <= session_ms;
            r.source = "D2XX, set by this program for its session";
            return r;
        }
    }
    if (!IsFtdiPort(port)) {
        r.problem = "no latency timer (not an FTDI adapter)";
        return r;
    }
    TFtdiDevice ftdi(PortNumber(port));
    if (ftdi.Ok() && ftdi.GetLatency(r.ms)) {
        r.known = true;
        r.source = "D2XX";
    } else if (RegistryLatency(port, r.ms)) {
        r.known = true;
        r.source = "the driver's registry value";
    } else {
        r.problem = ftdi.Problem().empty() ? "the timer could not be read" : ftdi.Problem();
    }
    r.lowLatency = r.known && r.ms <= session_ms;
    return r;
}

TLatencyHold::TLatencyHold(const std::string& portName) : port_(Upper(portName)) {
    if (!IsFtdiPort(port_)) return;
    const std::string what = "latency timer of the FTDI adapter";
    TFtdiDevice ftdi(PortNumber(port_));
    if (!ftdi.Ok()) {
        state_ = TLatencyHoldState::failed;
        note_ = what + " left as it is: " + ftdi.Problem();
        return;
    }
    if (!ftdi.GetLatency(old_)) {
        state_ = TLatencyHoldState::failed;
        note_ = what + " left as it is: ftd2xx.dll could not read it";
        return;
    }
    if (old_ != session_ms && !ftdi.SetLatency(session_ms)) {
        state_ = TLatencyHoldState::failed;
        note_ = what + " left at " + Ms(old_) + ": ftd2xx.dll could not set it";
        return;
    }
    state_ = TLatencyHoldState::held;
    note_ = what + (old_ == session_ms ? " is " + Ms(session_ms) + " already"
                                       : " set to " + Ms(session_ms) + " (was " + Ms(old_) + ")");
    std::lock_guard lock(held_lock);
    held[port_] = session_ms;
}

TLatencyHold::~TLatencyHold() {
    Release();
}

std::string TLatencyHold::Release() {
    if (released_ || state_ != TLatencyHoldState::held) {
        released_ = true;
        return {};
    }
    released_ = true;
    {
        std::lock_guard lock(held_lock);
        held.erase(port_);
    }
    if (old_ == session_ms) return {};
    TFtdiDevice ftdi(PortNumber(port_));
    if (ftdi.Ok() && ftdi.SetLatency(old_))
        return "latency timer of the FTDI adapter given back: " + Ms(old_);
    return "latency timer of the FTDI adapter could not be given back (" + Ms(old_) +
           "): " + (ftdi.Problem().empty() ? "ftd2xx.dll could not set it" : ftdi.Problem());
}

std::string LatencyTimerAdvice(const std::string& portName) {
    return portName +
           " is on an FTDI adapter whose latency timer could not be set to 1 ms: "
           "every block may wait up to 16 ms for its acknowledgement, a write up "
           "to 8 s longer. Set it by hand: Device Manager, Ports (COM & LPT), " +
           portName + ", Properties, Port Settings, Advanced, Latency Timer (msec): 1";
}
