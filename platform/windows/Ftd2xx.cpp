#include "platform/windows/Ftd2xx.h"

#include "platform/UsbInfo.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace {

// D2XX's types and calls, as FTDI's programmer's guide gives them.
using FtHandle = void*;
using FtStatus = ULONG;
constexpr FtStatus ft_ok = 0;
using FtCreateDeviceInfoList = FtStatus(WINAPI*)(DWORD* count);
using FtOpen = FtStatus(WINAPI*)(int index, FtHandle* handle);
using FtClose = FtStatus(WINAPI*)(FtHandle handle);
using FtGetComPortNumber = FtStatus(WINAPI*)(FtHandle handle, LONG* comPort);
using FtGetLatencyTimer = FtStatus(WINAPI*)(FtHandle handle, UCHAR* ms);
using FtSetLatencyTimer = FtStatus(WINAPI*)(FtHandle handle, UCHAR ms);

struct TD2xx {
    bool loaded = false;
    std::string problem;
    FtCreateDeviceInfoList createDeviceInfoList = nullptr;
    FtOpen open = nullptr;
    FtClose close = nullptr;
    FtGetComPortNumber getComPortNumber = nullptr;
    FtGetLatencyTimer getLatencyTimer = nullptr;
    FtSetLatencyTimer setLatencyTimer = nullptr;
};

std::atomic<const TFtdiSeam*> current_seam{nullptr};

template <class F> bool Find(HMODULE lib, const char* name, F& f) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
    return f != nullptr;
}

// Only from the program's own folder or the system's, never from the
// current folder; where the system does not know those search flags (an
// old Windows 7), from the system folder by its full path.
HMODULE LoadD2xx() {
    if (const TFtdiSeam* seam = current_seam.load()) return LoadLibraryW(seam->library.c_str());
    HMODULE lib = LoadLibraryExW(
        L"ftd2xx.dll", nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (lib || GetLastError() != ERROR_INVALID_PARAMETER) return lib;
    wchar_t path[MAX_PATH];
    UINT n = GetSystemDirectoryW(path, MAX_PATH - 16);
    if (n == 0 || n >= MAX_PATH - 16) return nullptr;
    return LoadLibraryW((std::wstring(path, n) + L"\\ftd2xx.dll").c_str());
}

// The library, loaded once for the process and kept (a seam's is loaded
// when the seam names another).
const TD2xx& D2xx() {
    static std::mutex lock;
    static TD2xx lib;
    static bool tried = false;
    static std::wstring loadedFrom; // the seam's library, or empty for the system's
    std::lock_guard guard(lock);
    const TFtdiSeam* seam = current_seam.load();
    std::wstring from = seam ? seam->library : std::wstring();
    if (tried && loadedFrom == from) return lib;
    tried = true;
    lib = TD2xx{};
    loadedFrom = from;
    HMODULE h = LoadD2xx();
    if (!h) {
        lib.problem = "FTDI's D2XX library (ftd2xx.dll) is not installed";
        return lib;
    }
    if (!Find(h, "FT_CreateDeviceInfoList", lib.createDeviceInfoList) ||
        !Find(h, "FT_Open", lib.open) || !Find(h, "FT_Close", lib.close) ||
        !Find(h, "FT_GetComPortNumber", lib.getComPortNumber) ||
        !Find(h, "FT_GetLatencyTimer", lib.getLatencyTimer) ||
        !Find(h, "FT_SetLatencyTimer", lib.setLatencyTimer)) {
        lib.problem = "ftd2xx.dll lacks the latency timer calls";
        return lib;
    }
    lib.loaded = true;
    return lib;
}

} // namespace

const TFtdiSeam* UseFtdiSeam(const TFtdiSeam* seam) {
    return current_seam.exchange(seam);
}

bool IsFtdiPort(const std::string& portName) {
    if (const TFtdiSeam* seam = current_seam.load())
        return _stricmp(seam->ftdiPort.c_str(), portName.c_str()) == 0;
    return UsbInfoFor("\\\\.\\" + portName).vendorId == "0403";
}

TFtdiDevice::TFtdiDevice(int comNumber) {
    const TD2xx& lib = D2xx();
    if (!lib.loaded) {
        problem_ = lib.problem;
        return;
    }
    DWORD count = 0;
    if (lib.createDeviceInfoList(&count) != ft_ok) {
        problem_ = "ftd2xx.dll could not list the adapters";
        return;
    }
    // Adapters that another program holds do not open; they are not this one.
    for (DWORD i = 0; i < count; ++i) {
        FtHandle h = nullptr;
        if (lib.open(int(i), &h) != ft_ok || !h) continue;
        LONG com = -1;
        if (lib.getComPortNumber(h, &com) == ft_ok && com == comNumber) {
            handle_ = h;
            return;
        }
        lib.close(h);
    }
    problem_ = "ftd2xx.dll could not open the adapter of COM" + std::to_string(comNumber);
}

TFtdiDevice::~TFtdiDevice() {
    if (handle_) D2xx().close(handle_);
}

bool TFtdiDevice::GetLatency(int& ms) {
    UCHAR value = 0;
    if (!handle_ || D2xx().getLatencyTimer(handle_, &value) != ft_ok) return false;
    ms = value;
    return true;
}

bool TFtdiDevice::SetLatency(int ms) {
    return handle_ && D2xx().setLatencyTimer(handle_, UCHAR(ms)) == ft_ok;
}
