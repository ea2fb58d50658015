// What the runtime asks of its surroundings: callbacks, a debug message, the
// main window, and waiting for another thread. The window toolkit installs
// the platform services behind them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

using TCallback = intptr_t (*)(void* object, intptr_t a, intptr_t b);
intptr_t CallIfAssigned(TCallback method, void* object, intptr_t a, intptr_t b);

void DebugMessage(const std::string& text);
void* MainWindowHandle();

// Runs `wait`, a call that blocks until another thread has finished something
// (a reader thread ending, a timer tick in progress). The window toolkit makes
// the window thread keep serving the calls other threads carry over to it
// meanwhile, so the two threads can never wait for each other.
void WaitForOtherThread(const std::function<void()>& wait);

// Platform services behind DebugMessage, MainWindowHandle, PointsToHeight
// (runtime/Font.h) and WaitForOtherThread. The window toolkit installs its
// own; unset entries fall back to standard error, no window, 96 pixels per
// inch and a plain wait.
struct TRuntimeServices {
    // Modal box with `caption`, `text` (Windows-1251) and one OK button.
    void (*messageBox)(const std::string& caption, const std::string& text) = nullptr;
    void* (*mainWindowHandle)() = nullptr;
    int (*screenLogPixelsY)() = nullptr;
    void (*waitForOtherThread)(const std::function<void()>& wait) = nullptr;
};
void SetRuntimeServices(const TRuntimeServices& services);
const TRuntimeServices& RuntimeServices();
