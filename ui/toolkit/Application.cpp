// What the application object does on both systems: the main form, the
// close of cross-thread calls, the runtime's services and the message box.
#include "ui/toolkit/Application.h"

#include "platform/MMTimer.h"
#include "runtime/Services.h"
#include "ui/toolkit/GuiThread.h"

#include <mutex>

namespace {

TApplication* g_app = nullptr;
std::mutex g_interceptorMutex;
std::function<void(const std::string&, const std::string&)> g_interceptor;

void ServiceMessageBox(const std::string& caption, const std::string& text) {
    ShowMessageBox(caption, text);
}

void* ServiceMainWindow() {
    return g_app ? g_app->MainForm() : nullptr;
}

} // namespace

TApplication::TApplication(const char* programName) {
    StartWindowSystem(programName);
    SetGuiThread();
    TRuntimeServices services;
    services.messageBox = &ServiceMessageBox;
    services.mainWindowHandle = &ServiceMainWindow;
    services.screenLogPixelsY = &ScreenLogPixelsY;
    // Closing the port or stopping the timer from the GUI thread waits for a
    // thread that may be waiting for the GUI thread: serve its calls meanwhile.
    services.waitForOtherThread = [](const std::function<void()>& wait) { RunServingCalls(wait); };
    SetRuntimeServices(services);
    TMMTimerWaitHook timerHook;
    timerHook.wait = [](bool (*done)(void*), void* context) {
        WaitServingCalls([&] { return done(context); });
    };
    timerHook.wake = &WakeWaitingGui;
    SetMMTimerWaitHook(timerHook);
}

TApplication& TApplication::Create(const char* programName) {
    if (!g_app) g_app = new TApplication(programName);
    return *g_app;
}

TApplication& TApplication::Instance() {
    return Create(nullptr);
}

bool TApplication::Exists() {
    return g_app != nullptr;
}

void TApplication::FormCreated(TControl* form) {
    if (mainForm_) return;
    mainForm_ = form;
    quit_ = false;
    OpenCalls();
}

void TApplication::FormDestroyed(TControl* form) {
    if (form == mainForm_) mainForm_ = nullptr;
}

void TApplication::MainFormClosed() {
    quit_ = true;
    visible_ = false;
    CloseCalls();
    EndLoop();
}

void TApplication::SetCaption(const std::string& text) {
    caption_ = text;
}

void TApplication::SetIcon(TIconHandle icon) {
    icon_ = icon;
    ApplyIcon();
}

void ShowMessageBox(const std::string& caption, const std::string& text) {
    std::function<void(const std::string&, const std::string&)> intercept;
    {
        std::lock_guard lock(g_interceptorMutex);
        intercept = g_interceptor;
    }
    if (intercept) {
        intercept(caption, text);
        return;
    }
    TApplication::Instance();
    GuiCall([&] { ShowNativeMessageBox(caption, text); });
}

void SetMessageBoxInterceptor(std::function<void(const std::string&, const std::string&)> f) {
    std::lock_guard lock(g_interceptorMutex);
    g_interceptor = std::move(f);
}
