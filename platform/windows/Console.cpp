#include "platform/Console.h"

#include <windows.h>

#include <cstdlib>
#include <mutex>

namespace {

// The console whose mode this program changed, and its mode as found; put
// back when the program ends.
std::mutex g_modeLock;
HANDLE g_changedConsole = nullptr;
DWORD g_originalMode = 0;

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// The handle a stream writes to. A GUI-subsystem program has none; it then
// writes to the console of the process that started it, if that has one.
HANDLE StreamHandle(TStdStream stream) {
    HANDLE handle = GetStdHandle(stream == TStdStream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) return handle;
    static HANDLE parent = [] {
        if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
            return INVALID_HANDLE_VALUE;
        return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }();
    return parent;
}

} // namespace

bool StdinIsTerminal() {
    return IsConsole(GetStdHandle(STD_INPUT_HANDLE));
}

bool StdoutIsTerminal() {
    return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE));
}

bool StderrIsTerminal() {
    return IsConsole(GetStdHandle(STD_ERROR_HANDLE));
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool StderrTakesCursorMoves() {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!IsConsole(handle) || !GetConsoleMode(handle, &mode)) return false;
    // ENABLE_VIRTUAL_TERMINAL_PROCESSING: consoles before Windows 10 refuse it.
    constexpr DWORD vt_processing = 0x0004;
    if (mode & vt_processing) return true;
    if (!SetConsoleMode(handle, mode | vt_processing)) return false;
    // The console is shared with the shell that started the program: its
    // mode as found goes back at the end, also after a Ctrl+C, which ends
    // the program through its normal return.
    std::lock_guard lock(g_modeLock);
    if (!g_changedConsole) {
        g_changedConsole = handle;
        g_originalMode = mode;
        static const bool registered = std::atexit(RestoreConsoleModes) == 0;
        (void)registered;
    }
    return true;
}

void RestoreConsoleModes() {
    std::lock_guard lock(g_modeLock);
    if (g_changedConsole) SetConsoleMode(g_changedConsole, g_originalMode);
    g_changedConsole = nullptr;
}

bool ConsoleWrite(TStdStream stream, const std::string& text) {
    HANDLE handle = StreamHandle(stream);
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (text.empty()) return true;
    if (IsConsole(handle)) {
        // The console shows characters in its own code page (an OEM one by
        // default), so UTF-8 bytes would come out garbled: hand it UTF-16.
        int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
        if (length <= 0) return false;
        std::wstring wide(std::size_t(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), length);
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr) &&
               written == DWORD(wide.size());
    }
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + done, DWORD(text.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

void IgnoreBrokenPipe() {
    // Windows has no such signal: a write to a closed pipe only fails.
}
