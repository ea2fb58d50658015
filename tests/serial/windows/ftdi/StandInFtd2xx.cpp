// A stand-in for FTDI's D2XX library (ftd2xx.dll): one adapter whose COM
// port number and first latency timer come from the environment
// (FTD2XX_STANDIN_COM, 16 ms), and which writes every call with its values
// to the file FTD2XX_STANDIN_LOG, noting whether the adapter's COM port was
// open at the time. FTD2XX_STANDIN_FAIL=set makes setting the timer fail.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using FtStatus = ULONG;
constexpr FtStatus ft_ok = 0, ft_device_not_opened = 3, ft_io_error = 4;

int latency = 16;
int opened = 0;
void* const kHandle = reinterpret_cast<void*>(0x4654);

std::string Env(const char* name) {
    char value[512] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? value : "";
}

// Whether the program holds the adapter's COM port: a second open fails.
const char* PortState() {
    std::string path = "\\\\.\\COM" + Env("FTD2XX_STANDIN_COM");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "port open";
    CloseHandle(h);
    return "port closed";
}

void Record(const std::string& call) {
    std::string file = Env("FTD2XX_STANDIN_LOG");
    if (FILE* f = std::fopen(file.c_str(), "a")) {
        std::fprintf(f, "%s, %s\n", call.c_str(), PortState());
        std::fclose(f);
    }
}

} // namespace

extern "C" {

__declspec(dllexport) FtStatus WINAPI FT_CreateDeviceInfoList(DWORD* count) {
    *count = 1;
    return ft_ok;
}

__declspec(dllexport) FtStatus WINAPI FT_Open(int index, void** handle) {
    if (index != 0 || opened) return ft_device_not_opened;
    opened = 1;
    *handle = kHandle;
    Record("open");
    return ft_ok;
}

__declspec(dllexport) FtStatus WINAPI FT_Close(void* handle) {
    if (handle != kHandle || !opened) return ft_device_not_opened;
    opened = 0;
    return ft_ok;
}

__declspec(dllexport) FtStatus WINAPI FT_GetComPortNumber(void* handle, LONG* com) {
    if (handle != kHandle) return ft_device_not_opened;
    *com = std::atol(Env("FTD2XX_STANDIN_COM").c_str());
    return ft_ok;
}

__declspec(dllexport) FtStatus WINAPI FT_GetLatencyTimer(void* handle, UCHAR* ms) {
    if (handle != kHandle) return ft_device_not_opened;
    *ms = UCHAR(latency);
    Record("get " + std::to_string(latency));
    return ft_ok;
}

__declspec(dllexport) FtStatus WINAPI FT_SetLatencyTimer(void* handle, UCHAR ms) {
    if (handle != kHandle) return ft_device_not_opened;
    if (Env("FTD2XX_STANDIN_FAIL") == "set") {
        Record("set " + std::to_string(ms) + " failed");
        return ft_io_error;
    }
    latency = ms;
    Record("set " + std::to_string(ms));
    return ft_ok;
}
}
