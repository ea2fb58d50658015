#include "platform/UsbInfo.h"

#include "platform/windows/UsbInstanceId.h"

#include <windows.h>

#include <cctype>
#include <setupapi.h>

namespace {

// Four hexadecimal digits after `key` ("VID_"), lower-cased as Linux shows them.
std::string HexAfter(const std::string& id, const std::string& key) {
    std::size_t at = id.find(key);
    if (at == std::string::npos || at + key.size() + 4 > id.size()) return {};
    std::string hex = id.substr(at + key.size(), 4);
    for (char& c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex;
}

std::string Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    char buffer[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer), sizeof buffer - 1,
                                           nullptr) ||
        type != REG_SZ)
        return {};
    return buffer;
}

// The port name ("COM3") the device manager gives a device.
std::string PortNameOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    char name[64] = {};
    DWORD size = sizeof name - 1, type = 0;
    LONG r =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_SZ ? std::string(name) : std::string();
}

} // namespace

bool ParseUsbInstanceId(const std::string& id, TUsbInfo& info) {
    std::string upper = id;
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    std::string vendor = HexAfter(upper, "VID_"), product = HexAfter(upper, "PID_");
    if (vendor.empty() || product.empty()) return false;
    info.usb = true;
    info.vendorId = vendor;
    info.productId = product;
    info.serial.clear();
    if (upper.rfind("USB\\", 0) == 0) {
        // USB\VID_xxxx&PID_xxxx\<serial>; '&' marks an id Windows made up.
        std::size_t last = id.rfind('\\');
        std::string tail = id.substr(last + 1);
        if (last > 4 && tail.find('&') == std::string::npos) info.serial = tail;
    } else if (std::size_t plus = upper.find('+', upper.find("PID_")); plus != std::string::npos) {
        // <bus>\VID_xxxx+PID_xxxx+<serial><port letter>\<index>
        std::size_t end = id.find('\\', plus);
        std::string serial = id.substr(plus + 1, end == std::string::npos ? end : end - plus - 1);
        if (serial.size() > 1 && std::isalpha(static_cast<unsigned char>(serial.back())))
            serial.pop_back();
        info.serial = serial;
    }
    return true;
}

namespace {

// Calls `found` with the device set and the device that the port `device`
// ("\\.\COM3") belongs to, if any.
template <typename Found> void WithPortDevice(const std::string& device, Found found) {
    std::string port = device.substr(device.rfind('\\') + 1);
    HDEVINFO set =
        SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &data); ++i) {
        if (_stricmp(PortNameOf(set, data).c_str(), port.c_str()) != 0) continue;
        found(set, data);
        break;
    }
    SetupDiDestroyDeviceInfoList(set);
}

} // namespace

TUsbInfo UsbInfoFor(const std::string& device) {
    TUsbInfo info;
    WithPortDevice(device, [&](HDEVINFO set, SP_DEVINFO_DATA& data) {
        char id[512] = {};
        if (SetupDiGetDeviceInstanceIdA(set, &data, id, sizeof id - 1, nullptr) &&
            ParseUsbInstanceId(id, info)) {
            info.manufacturer = Property(set, data, SPDRP_MFG);
            info.product = Property(set, data, SPDRP_FRIENDLYNAME);
            if (info.product.empty()) info.product = Property(set, data, SPDRP_DEVICEDESC);
            info.driver = Property(set, data, SPDRP_SERVICE);
        }
    });
    return info;
}

std::string PortLocation(const std::string& device) {
    std::string location;
    WithPortDevice(device, [&](HDEVINFO set, SP_DEVINFO_DATA& data) {
        // A list of paths, each ending in a zero; the first is the device's.
        char paths[1024] = {};
        DWORD type = 0;
        if (SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_LOCATION_PATHS, &type,
                                              reinterpret_cast<BYTE*>(paths), sizeof paths - 2,
                                              nullptr) &&
            type == REG_MULTI_SZ)
            location = paths;
        if (location.empty()) location = Property(set, data, SPDRP_LOCATION_INFORMATION);
    });
    return location;
}
