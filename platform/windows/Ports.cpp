// The port list on Windows: the string values of the registry key
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (the ports that drivers announce), joined
// by the COM names among the system's DOS device names (ports that some
// virtual-port drivers define without announcing them). Each port's device is
// its "\\.\COM<n>" path. There is no port directory here.
#include "platform/Ports.h"

#include "platform/Text1251.h"

#include <windows.h>

#include <set>
#include <vector>

namespace {

int PortNumber(const wchar_t* text, std::size_t length) {
    return ::PortNumber(Utf16ToCp1251(std::u16string(text, text + length)));
}

// The port names that drivers have announced in the registry. Values of any
// other type than a string are skipped.
void AddRegistryPorts(std::set<int>& ports) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    DWORD values = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         &maxName, &maxData, nullptr, nullptr) == ERROR_SUCCESS) {
        std::vector<wchar_t> name(maxName + 1);
        std::vector<wchar_t> data(maxData / sizeof(wchar_t) + 1);
        for (DWORD i = 0; i < values; ++i) {
            DWORD nameLength = DWORD(name.size()), dataBytes = DWORD(data.size() * sizeof(wchar_t));
            DWORD type = 0;
            if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &dataBytes) != ERROR_SUCCESS)
                continue;
            if (type != REG_SZ) continue;
            std::size_t length = dataBytes / sizeof(wchar_t);
            while (length > 0 && data[length - 1] == L'\0')
                --length;
            if (int n = PortNumber(data.data(), length)) ports.insert(n);
        }
    }
    RegCloseKey(key);
}

// The COM names among the DOS device names.
void AddDosDevicePorts(std::set<int>& ports) {
    std::vector<wchar_t> names(16384);
    for (;;) {
        DWORD length = QueryDosDeviceW(nullptr, names.data(), DWORD(names.size()));
        if (length != 0) {
            names.resize(length);
            break;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) ||
            names.size() >= (1u << 24))
            return;
        names.resize(names.size() * 2);
    }
    // A list of zero-terminated names, ended by an empty one.
    for (std::size_t i = 0; i < names.size() && names[i] != L'\0';) {
        std::size_t end = i;
        while (end < names.size() && names[end] != L'\0')
            ++end;
        if (int n = PortNumber(names.data() + i, end - i)) ports.insert(n);
        i = end + 1;
    }
}

std::string DevicePath(int n) {
    return "\\\\.\\COM" + std::to_string(n);
}

} // namespace

std::string PortDirectory() {
    return {};
}

std::vector<TPortEntry> ListPorts() {
    std::set<int> numbers;
    AddRegistryPorts(numbers);
    AddDosDevicePorts(numbers);
    std::vector<TPortEntry> list;
    for (int n : numbers)
        list.push_back(TPortEntry{n, "COM" + std::to_string(n), DevicePath(n)});
    return list;
}
