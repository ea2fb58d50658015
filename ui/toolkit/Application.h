// The application object: the message loop, the main form and the runtime's
// platform services. Application.cpp holds what both systems share; the
// backend (qt/ or win32/) runs the window system's loop.
#pragma once

#include "ui/toolkit/Bitmap.h"

#include <cstdint>
#include <functional>
#include <string>

class TControl;

class TApplication {
public:
    // The one application object, created on first use (the first form
    // creates it). Creating it makes the calling thread the GUI thread and
    // installs the message box, main window and screen resolution services.
    static TApplication& Instance();
    static bool Exists();
    // Optional: create it with the program's name before any form. The
    // window system gets no other argument (Qt would take options of its own
    // from them; the environment still chooses its platform).
    static TApplication& Create(const char* programName);

    // Runs the message loop until the main form has accepted its close (at
    // once when that has already happened).
    void Run();
    // For tests and tools: process pending events, or run the loop until
    // done() is true or `timeoutMs` has passed; returns done(). done() is
    // checked after events and at least every `recheckMs` (for conditions
    // that other threads change without an event).
    void ProcessEvents();
    bool RunUntil(const std::function<bool()>& done, int timeoutMs, int recheckMs = 5);

    // The main form: the first form created while there is none. Its
    // accepted close ends the loop and closes cross-thread calls.
    TControl* MainForm() const { return mainForm_; }
    void FormCreated(TControl* form);
    void FormDestroyed(TControl* form);
    void MainFormClosed();
    bool Quitting() const { return quit_; }

    // The application window's mirrored state (it carries the taskbar entry).
    void SetCaption(const std::string& text);
    const std::string& Caption() const { return caption_; }
    void SetIcon(TIconHandle icon);
    TIconHandle Icon() const { return icon_; }
    void SetExStyle(uint32_t exStyle) { exStyle_ = exStyle; }
    uint32_t ExStyle() const { return exStyle_; }
    void SetVisible(bool visible) { visible_ = visible; }
    bool Visible() const { return visible_; }
    void MoveTo(int left, int top) { left_ = left, top_ = top; }
    void SetWidth(int width) { width_ = width; }
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }

private:
    explicit TApplication(const char* programName);
    // Backend: starts the window system on this thread, ends the loop, and
    // gives the application's windows the icon.
    void StartWindowSystem(const char* programName);
    void EndLoop();
    void ApplyIcon();

    TControl* mainForm_ = nullptr;
    bool quit_ = false;
    std::string caption_;
    TIconHandle icon_ = nullptr;
    uint32_t exStyle_ = 0x00040000; // WS_EX_APPWINDOW
    bool visible_ = false;
    int left_ = 0, top_ = 0, width_ = 0;
};

// A modal message box with one OK button; caption and text in Windows-1251.
// Owned by the main form when there is one. Callable from any thread.
void ShowMessageBox(const std::string& caption, const std::string& text);

// Backend: the window system's modal box (GUI thread) and the screen's
// vertical resolution in dots per inch.
void ShowNativeMessageBox(const std::string& caption, const std::string& text);
int ScreenLogPixelsY();

// For tests: replaces the modal box (caption, text); nullptr restores it.
void SetMessageBoxInterceptor(std::function<void(const std::string&, const std::string&)> f);
