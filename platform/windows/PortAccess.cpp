#include "platform/PortAccess.h"

#include <windows.h>

TPortProblem CheckPortAccess(const std::string& device) {
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return TPortProblem::none;
    }
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return TPortProblem::missing;
    case ERROR_SHARING_VIOLATION:
        return TPortProblem::busy;
    case ERROR_ACCESS_DENIED: // a COM port held by another program also says this
        return TPortProblem::busy;
    default:
        return TPortProblem::other;
    }
}

bool PortAccessDenied(const std::string&) {
    return false;
}

std::string PortAccessGroup(const std::string&) {
    return {};
}
