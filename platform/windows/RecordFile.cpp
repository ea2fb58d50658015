#include "platform/RecordFile.h"

#include <windows.h>

#include <mutex>

namespace {

// The file's lock is taken per handle; this process's threads queue here.
std::mutex g_appending;

std::wstring Wide(const std::string& text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
    return wide;
}

bool Failed(const std::string& path, const char* what, std::string& error) {
    error = "cannot " + std::string(what) + " the record file " + path + " (error " +
            std::to_string(GetLastError()) + ")";
    return false;
}

} // namespace

bool AppendRecordLine(const std::string& path, const std::string& line, std::string& error,
                      const std::function<void()>& whileLocked) {
    std::lock_guard guard(g_appending);
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end.
    HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failed(path, "open", error);
    OVERLAPPED all{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &all)) {
        Failed(path, "lock", error);
        CloseHandle(file);
        return false;
    }
    bool ok = true;
    if (!line.empty()) {
        std::string text = line;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
            OVERLAPPED at{};
            at.Offset = DWORD(size.QuadPart - 1);
            at.OffsetHigh = DWORD((size.QuadPart - 1) >> 32);
            char last = '\n';
            DWORD got = 0;
            if (ReadFile(file, &last, 1, &got, &at) && got == 1 && last != '\n')
                text.insert(0, "\n");
        }
        DWORD written = 0;
        ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
                     written == text.size()
                 ? true
                 : Failed(path, "write", error);
        if (ok && whileLocked) whileLocked();
        if (ok && !FlushFileBuffers(file)) ok = Failed(path, "flush", error);
    }
    OVERLAPPED unlock{};
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &unlock);
    CloseHandle(file);
    return ok;
}

TFileHold::~TFileHold() {
    if (handle_ >= 0) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool TFileHold::Take(const std::string& path, std::string& error) {
    // No sharing: any other open of the file fails while this one lives.
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_SHARING_VIOLATION) {
            error = path + " is held by another program";
            return false;
        }
        return Failed(path, "open", error);
    }
    handle_ = reinterpret_cast<long long>(file);
    return true;
}
