// The Win32 backend of the application object: the application window, the
// message loop, the message box. Carried calls wake the GUI thread with a
// message posted to the application window.
#include "ui/toolkit/win32/Win32.h"

namespace {

HWND g_appWindow = nullptr;

LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kMsgServeCalls:
        ServeCalls();
        return 0;
    case WM_CLOSE:
        return 0; // the loop ends with the main form, not here
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

void PostServeCalls() {
    if (HWND app = g_appWindow) PostMessageW(app, kMsgServeCalls, 0, 0);
}

// Takes every waiting message; a quit message that a closed form left
// behind has done its work already.
void DrainMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

HWND AppWindow() {
    return g_appWindow;
}

void TApplication::StartWindowSystem(const char*) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &AppWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"App";
    RegisterClassExW(&wc);
    // The application window owns the forms. It stays hidden: a form of
    // ours carries its own taskbar entry.
    g_appWindow = CreateWindowExW(WS_EX_APPWINDOW, L"App", L"",
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    SetDrainPoster(&PostServeCalls);
}

void TApplication::EndLoop() {
    PostQuitMessage(0);
}

// Waits for a message, takes all that are there, and serves the carried
// calls, until the main form has accepted its close.
void TApplication::Run() {
    if (quit_) return;
    MSG msg;
    while (!quit_) {
        WaitMessage();
        while (!quit_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit_ = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        ServeCalls();
    }
    quit_ = true;
    mainForm_ = nullptr;
}

void TApplication::ProcessEvents() {
    DrainMessages();
    ServeCalls();
}

bool TApplication::RunUntil(const std::function<bool()>& done, int timeoutMs, int recheckMs) {
    const ULONGLONG start = GetTickCount64();
    while (!done()) {
        if (GetTickCount64() - start > ULONGLONG(timeoutMs)) return false;
        ProcessEvents();
        // A message or a carried call wakes the wait.
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(recheckMs), QS_ALLINPUT);
    }
    return true;
}

void TApplication::ApplyIcon() {
    if (HICON icon = MakeIcon(icon_)) SendMessageW(g_appWindow, WM_SETICON, ICON_BIG, LPARAM(icon));
}

void ShowNativeMessageBox(const std::string& caption, const std::string& text) {
    HWND owner = nullptr;
    if (TControl* main = TApplication::Instance().MainForm()) owner = main->Impl().hwnd;
    MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
}

int ScreenLogPixelsY() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}
