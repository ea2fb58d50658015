// Operations shared by several elements, and the runtime's platform services.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// 1-based position of sub in s at or after `from`; 0 when absent.
int PosFrom(std::string_view sub, std::string_view s, int from);

using TReplaceFilter = bool (*)(void* object, int pos);
void ReplaceAll(std::string& s, std::string_view oldText, std::string_view newText,
                TReplaceFilter filter = nullptr, void* filterObject = nullptr);

int CompareTextAscii(const char* a, const char* b);

int PointsToHeight(int points);

struct TFontRec {
    std::string Name;
    uint8_t Size = 0;
    uint8_t Style = 0;
    uint32_t Color = 0;
    uint8_t CharSet = 0;
};
// Style bits.
enum : uint8_t { fs_bold = 1, fs_italic = 2, fs_underline = 4, fs_strikeout = 8 };

TFontRec MakeFontRec(std::string name, uint8_t size, uint8_t style, uint32_t color,
                     uint8_t charset);

using TCallback = intptr_t (*)(void* object, intptr_t a, intptr_t b);
intptr_t CallIfAssigned(TCallback method, void* object, intptr_t a, intptr_t b);

void DebugMessage(const std::string& text);
void* MainWindowHandle();

// Runs `wait`, a call that blocks until another thread has finished something
// (a reader thread ending, a timer tick in progress). The window toolkit makes
// the window thread keep serving the calls other threads carry over to it
// meanwhile, so the two threads can never wait for each other.
void WaitForOtherThread(const std::function<void()>& wait);

// Platform services behind DebugMessage, MainWindowHandle and PointsToHeight.
// The window toolkit installs its own; unset entries fall back to standard
// error, no window and 96 pixels per inch.
struct TRuntimeServices {
    // Modal box with `caption`, `text` (Windows-1251) and one OK button.
    void (*messageBox)(const std::string& caption, const std::string& text) = nullptr;
    void* (*mainWindowHandle)() = nullptr;
    int (*screenLogPixelsY)() = nullptr;
    void (*waitForOtherThread)(const std::function<void()>& wait) = nullptr;
};
void SetRuntimeServices(const TRuntimeServices& services);
const TRuntimeServices& RuntimeServices();
