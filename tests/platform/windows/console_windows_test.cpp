// Text written to the console: a console shows Cyrillic as written, whatever
// its code page; a pipe or file gets the UTF-8 bytes unchanged.
#include "platform/Console.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// Standard output pointed elsewhere for the length of one test.
class TStdoutTo {
public:
    explicit TStdoutTo(HANDLE handle) : old_(GetStdHandle(STD_OUTPUT_HANDLE)) {
        SetStdHandle(STD_OUTPUT_HANDLE, handle);
    }
    ~TStdoutTo() { SetStdHandle(STD_OUTPUT_HANDLE, old_); }

private:
    HANDLE old_;
};

HANDLE OpenConsoleOutput() {
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

TEST(ConsoleWindows, CyrillicReachesAConsoleAsCharactersAndAFileAsUtf8) {
    const std::string text = "Устройство: ПРИБОР-7";
    const std::wstring shown = L"Устройство: ПРИБОР-7";

    // A file: the bytes as they are.
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    std::wstring file = std::wstring(path) + L"varno-console-test.txt";
    HANDLE f = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    {
        TStdoutTo to(f);
        EXPECT_TRUE(ConsoleWrite(TStdStream::out, text));
    }
    std::string bytes(64, '\0');
    DWORD n = 0;
    SetFilePointer(f, 0, nullptr, FILE_BEGIN);
    ReadFile(f, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(f);
    EXPECT_EQ(bytes.substr(0, n), text);

    // A console screen buffer, under a code page that has no Cyrillic.
    // A console of the test's own (wine hands a test program a console
    // that cannot make screen buffers; the suite's output is a file).
    FreeConsole();
    BOOL made = AllocConsole();
    DWORD why = GetLastError();
    HANDLE screen =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (screen == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no console to write to (AllocConsole " << made << ", error " << why
                     << "; screen buffer error " << GetLastError() << ")";
    UINT codePage = GetConsoleOutputCP();
    SetConsoleOutputCP(437);
    {
        TStdoutTo to(screen);
        EXPECT_TRUE(ConsoleWrite(TStdStream::out, text));
    }
    SetConsoleOutputCP(codePage);
    std::wstring read(shown.size(), L'\0');
    DWORD got = 0;
    ReadConsoleOutputCharacterW(screen, read.data(), DWORD(read.size()), COORD{0, 0}, &got);
    CloseHandle(screen);
    EXPECT_EQ(read.substr(0, got), shown);
}

// The console is the shell's too: the sequence handling turned on for the
// progress lines is turned off again when the program ends.
TEST(ConsoleWindows, TheModeForCursorMovesIsPutBackWhenTheProgramEnds) {
    // A console of the test's own, which the program under test (a child
    // process) shares.
    HANDLE console = OpenConsoleOutput();
    DWORD found = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &found)) {
        if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
        FreeConsole();
        AllocConsole();
        console = OpenConsoleOutput();
    }
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &found))
        GTEST_SKIP() << "no console (error " << GetLastError() << ")";
    const DWORD before = found & ~DWORD(ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    ASSERT_TRUE(SetConsoleMode(console, before));
    EXPECT_EXIT(
        {
            SetStdHandle(STD_ERROR_HANDLE, OpenConsoleOutput());
            DWORD mode = 0;
            const bool on = StderrTakesCursorMoves() &&
                            GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) &&
                            (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING);
            std::exit(on ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    DWORD after = 0;
    EXPECT_TRUE(GetConsoleMode(console, &after));
    EXPECT_EQ(after, before);
    SetConsoleMode(console, found);
    CloseHandle(console);
}
