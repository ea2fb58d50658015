// Where the Windows port list comes from: the registry's SERIALCOMM values
// and the DOS device names.
#include "platform/Ports.h"
#include "tests/platform/PortMap.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

std::string Names(int from, int to) {
    std::string s;
    for (const auto& p : ListPorts())
        if (p.number >= from && p.number <= to) s += p.name + "=" + p.device + " ";
    return s;
}

// The first COM name among the DOS device names; 0 when there is none.
int FirstDosDevicePort() {
    std::vector<wchar_t> names(1 << 16);
    DWORD length = QueryDosDeviceW(nullptr, names.data(), DWORD(names.size()));
    for (DWORD i = 0; i < length && names[i];) {
        std::wstring name(names.data() + i);
        i += DWORD(name.size() + 1);
        if (name.size() > 3 && name.compare(0, 3, L"COM") == 0 &&
            name.find_first_not_of(L"0123456789", 3) == std::wstring::npos && name[3] != L'0')
            return std::stoi(name.substr(3));
    }
    return 0;
}

// Takes the SERIALCOMM values that name COM<number> away for the test's life
// and puts them back afterwards.
struct THiddenRegistryPort {
    HKEY key = nullptr;
    std::vector<std::pair<std::wstring, std::wstring>> values;
    explicit THiddenRegistryPort(int number) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                          KEY_READ | KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
            key = nullptr;
            return;
        }
        const std::wstring port = L"COM" + std::to_wstring(number);
        for (DWORD i = 0;; ++i) {
            wchar_t name[256], data[256] = {};
            DWORD nameLength = 256, dataBytes = sizeof data - sizeof(wchar_t), type = 0;
            if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                              reinterpret_cast<BYTE*>(data), &dataBytes) != ERROR_SUCCESS)
                break;
            if (type == REG_SZ && port == data) values.emplace_back(name, data);
        }
        for (const auto& [name, data] : values)
            RegDeleteValueW(key, name.c_str());
    }
    ~THiddenRegistryPort() {
        for (const auto& [name, data] : values)
            RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(data.c_str()),
                           DWORD((data.size() + 1) * sizeof(wchar_t)));
        if (key) RegCloseKey(key);
    }
};

// Sets values under SERIALCOMM as a driver might, removed afterwards.
struct TSerialCommValues {
    HKEY key = nullptr;
    std::vector<std::wstring> names;
    TSerialCommValues() {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    }
    ~TSerialCommValues() {
        for (const auto& n : names)
            RegDeleteValueW(key, n.c_str());
        if (key) RegCloseKey(key);
    }
    bool Set(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
        names.push_back(name);
        return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes) ==
               ERROR_SUCCESS;
    }
    bool Text(const wchar_t* name, const std::wstring& text, bool terminated = true) {
        return Set(name, REG_SZ, text.c_str(), DWORD((text.size() + terminated) * sizeof(wchar_t)));
    }
};

} // namespace

// A port that is both announced in the registry and a DOS device name is
// listed once; one that is only a DOS device name (as some virtual-port
// drivers leave it) is listed too.
TEST(PortsWindows, DosDeviceNamesJoinTheRegistryPorts) {
    const int n = FirstDosDevicePort();
    if (n == 0) GTEST_SKIP() << "no COM port among this system's DOS device names";
    const std::string port = "COM" + std::to_string(n);
    const std::string device = "\\\\.\\" + port;
    TTestPortMap map;
    map.Add(n);
    EXPECT_EQ(Names(n, n), port + "=" + device + " ");
    map.Remove(n);

    THiddenRegistryPort hidden(n);
    if (!hidden.key) GTEST_SKIP() << "the registry's port key cannot be changed here";
    EXPECT_EQ(Names(n, n), port + "=" + device + " ");
    std::string resolved;
    EXPECT_TRUE(ResolvePort(port, resolved));
    EXPECT_EQ(resolved, device);
}

TEST(PortsWindows, RegistryValuesThatNameNoPortAreSkipped) {
    TSerialCommValues values;
    ASSERT_NE(values.key, nullptr);
    const DWORD number = 234;
    ASSERT_TRUE(values.Text(L"\\Device\\VarnoTestLower", L"com235"));
    ASSERT_TRUE(values.Text(L"\\Device\\VarnoTestUnterminated", L"COM236", false));
    ASSERT_TRUE(values.Set(L"\\Device\\VarnoTestNumber", REG_DWORD, &number, sizeof number));
    ASSERT_TRUE(values.Text(L"\\Device\\VarnoTestLeadingZero", L"COM0237"));
    ASSERT_TRUE(values.Text(L"\\Device\\VarnoTestSuffix", L"COM238x"));
    ASSERT_TRUE(values.Text(L"\\Device\\VarnoTestPrinter", L"LPT239"));
    ASSERT_TRUE(values.Text(L"\\Device\\VarnoTestCyrillic", L"СОМ239")); // Cyrillic С and О
    EXPECT_EQ(Names(234, 239), "COM235=\\\\.\\COM235 COM236=\\\\.\\COM236 ");
}
