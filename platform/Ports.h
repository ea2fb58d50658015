// The serial ports installed on the machine, named "COM<n>" (n 1..255), and
// the device behind each name. Where the names come from is the system's
// business: on Windows the registry's SERIALCOMM key and the DOS device
// names; on Linux the system's serial devices and the port directory
// (platform/linux/PortsLinux.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TPortEntry {
    int number = 0;     // n of "COM<n>"
    std::string name;   // "COM<n>"
    std::string device; // what opens it: "/dev/ttyUSB0" on Linux, "\\.\COM3" on Windows
};

// The folder of COM<n> links that adds ports on Linux: $VARNOMIKSAL_PORT_DIR
// when set, else ${XDG_STATE_HOME:-$HOME/.local/state}/varnomiksal/ports.
// Empty on Windows, which has no such folder: the DOS device names play its part.
std::string PortDirectory();

// Every port, ordered by number, each number once.
std::vector<TPortEntry> ListPorts();

// n of "COM<n>" with any letter case, no leading zero and n 1..255; 0 when
// the name is no port name.
inline int PortNumber(std::string_view name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (int i = 0; i < 3; ++i)
        if ((name[i] & ~0x20) != "COM"[i]) return 0;
    if (name[3] == '0') return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n <= 255 ? n : 0;
}

// The device behind "COM<n>" (any letter case, no leading zeros); false when
// the name is no port name or names no installed port.
inline bool ResolvePort(std::string_view name, std::string& device) {
    device.clear();
    const int n = PortNumber(name);
    if (n == 0) return false;
    for (const TPortEntry& port : ListPorts()) {
        if (port.number == n) {
            device = port.device;
            return true;
        }
    }
    return false;
}
