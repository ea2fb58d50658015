#include "platform/Ports.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int max_port = 255;
constexpr int first_free_port = 129;
// Each kind of system serial device with fixed numbers has a range of its own
// for its first 32 devices; later ones take free numbers like other kinds.
constexpr int fixed_range_size = 32;

// The first number of the fixed range of a kind (ttyS, ttyUSB, ttyACM); 0
// for kinds without one.
int FixedRangeStart(const std::string& kind) {
    if (kind == "ttyS") return 1;
    if (kind == "ttyUSB") return 33;
    if (kind == "ttyACM") return 65;
    return 0;
}

// Splits "ttyUSB12" into ("ttyUSB", 12); a name without trailing digits has -1.
std::pair<std::string, long> SplitTrailingNumber(const std::string& name) {
    std::size_t end = name.size();
    while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9')
        --end;
    if (end == name.size() || name.size() - end > 9) return {name, -1};
    return {name.substr(0, end), std::stol(name.substr(end))};
}

// A ttyS entry names a real UART only when its type is not 0 (PORT_UNKNOWN).
bool HasUart(const fs::path& entry) {
    std::ifstream in(entry / "type");
    int type = 0;
    return in >> type && type != 0;
}

void AddSystemPorts(const std::string& sysClassTty, std::map<int, std::string>& ports) {
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(sysClassTty, ec)) {
        std::error_code ec2;
        if (!fs::exists(e.path() / "device", ec2)) continue;
        names.push_back(e.path().filename().string());
    }
    // Name order with numbers compared as numbers (ttyXR2 before ttyXR10).
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return SplitTrailingNumber(a) < SplitTrailingNumber(b);
    });

    std::vector<std::string> others;
    for (const auto& name : names) {
        auto [kind, k] = SplitTrailingNumber(name);
        if (kind == "ttyS" && !HasUart(fs::path(sysClassTty) / name)) continue;
        int first = FixedRangeStart(kind);
        if (first != 0 && k >= 0 && k < fixed_range_size)
            ports[first + int(k)] = "/dev/" + name;
        else
            others.push_back(name);
    }
    int next = first_free_port;
    for (const auto& name : others) {
        while (next <= max_port && ports.count(next))
            ++next;
        if (next > max_port) break;
        ports[next++] = "/dev/" + name;
    }
}

void AddLinkedPorts(const std::string& portDir, std::map<int, std::string>& ports) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(portDir, ec)) {
        int n = PortNumber(e.path().filename().string());
        if (n == 0 || e.path().filename().string().compare(0, 3, "COM") != 0) continue;
        std::error_code ec2;
        if (!fs::exists(e.path(), ec2)) continue; // a dangling link names nothing
        ports[n] = e.path().string();
    }
}

} // namespace

std::string PortDirectory() {
    if (const char* dir = std::getenv("VARNOMIKSAL_PORT_DIR"); dir && *dir) return dir;
    std::string base;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        base = state;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/state";
    else
        return {};
    return base + "/varnomiksal/ports";
}

std::vector<TPortEntry> ListPortsFrom(const std::string& sysClassTty, const std::string& portDir) {
    std::map<int, std::string> ports;
    AddSystemPorts(sysClassTty, ports);
    if (!portDir.empty()) AddLinkedPorts(portDir, ports);
    std::vector<TPortEntry> list;
    for (const auto& [n, device] : ports)
        list.push_back(TPortEntry{n, "COM" + std::to_string(n), device});
    return list;
}

std::vector<TPortEntry> ListPorts() {
    return ListPortsFrom("/sys/class/tty", PortDirectory());
}
