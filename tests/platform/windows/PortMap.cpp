// On Windows a port is announced by a string value under the registry key
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, as a serial driver does. Each test port
// has a value name of its own, so tests that run side by side in one system
// do not meet.
#include "tests/platform/PortMap.h"

#include <windows.h>

#include <algorithm>

namespace {

const wchar_t kKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::wstring ValueName(int number) {
    return L"\\Device\\VarnoTest" + std::to_wstring(number);
}

} // namespace

TTestPortMap::~TTestPortMap() {
    for (int n : std::vector<int>(added_))
        Remove(n);
}

std::string TTestPortMap::Add(int number) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return {};
    const std::wstring port = L"COM" + std::to_wstring(number);
    LONG r = RegSetValueExW(key, ValueName(number).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(port.c_str()),
                            DWORD((port.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return {};
    added_.push_back(number);
    return "\\\\.\\COM" + std::to_string(number);
}

void TTestPortMap::Remove(int number) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, ValueName(number).c_str());
        RegCloseKey(key);
    }
    added_.erase(std::remove(added_.begin(), added_.end(), number), added_.end());
}
