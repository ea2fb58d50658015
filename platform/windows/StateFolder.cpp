#include "platform/StateFolder.h"

#include <windows.h>

std::filesystem::path StateFolder() {
    // Read as wide text: the user's folder may hold any letters.
    wchar_t buffer[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::filesystem::path(std::wstring(buffer, n)) / L"Varnomiksal";
}
