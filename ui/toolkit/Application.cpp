#include "ui/toolkit/Application.h"

#include "platform/MMTimer.h"

#include "runtime/SharedOps.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/QtBridge.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

TApplication* g_app = nullptr;
std::mutex g_interceptorMutex;
std::function<void(const std::string&, const std::string&)> g_interceptor;

// Worker threads only wake the GUI thread's event loop (which allocates and
// shares nothing); the loop serves the queued calls each time it wakes.
std::atomic<QAbstractEventDispatcher*> g_dispatcher{nullptr};

void PostDrain() {
    if (QAbstractEventDispatcher* d = g_dispatcher.load()) d->wakeUp();
}

void ServiceMessageBox(const std::string& caption, const std::string& text) {
    ShowMessageBox(caption, text);
}

void* ServiceMainWindow() {
    return g_app ? g_app->MainForm() : nullptr;
}

int ServiceLogPixelsY() {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return int(screen->logicalDotsPerInchY() + 0.5);
    return 96;
}

// Qt keeps the argument vector it is given for the application's lifetime.
int g_argc = 1;
std::string g_programName;
char* g_argv[] = {nullptr, nullptr};

} // namespace

TApplication::TApplication(const char* programName) {
    g_programName = programName && *programName ? programName : "varnomiksal";
    g_argv[0] = g_programName.data();
    if (!QApplication::instance()) new QApplication(g_argc, g_argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The classic look where the style is available.
    if (QStyleFactory::keys().contains(QStringLiteral("Windows")))
        QApplication::setStyle(QStringLiteral("Windows"));
    SetGuiThread();
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [] { ServeCalls(); });
    g_dispatcher = dispatcher;
    SetDrainPoster(&PostDrain);
    TRuntimeServices services;
    services.messageBox = &ServiceMessageBox;
    services.mainWindowHandle = &ServiceMainWindow;
    services.screenLogPixelsY = &ServiceLogPixelsY;
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
    QCoreApplication::exit(0);
}

void TApplication::Run() {
    if (quit_) return;
    QApplication::exec();
    quit_ = true;
    mainForm_ = nullptr;
}

void TApplication::ProcessEvents() {
    QApplication::sendPostedEvents();
    QApplication::processEvents();
    ServeCalls();
}

bool TApplication::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    // Sleeps in the event loop between events; the tick bounds each sleep so
    // that done() is re-checked at least every few milliseconds.
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        ProcessEvents();
        if (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void TApplication::SetCaption(const std::string& text) {
    caption_ = text;
}

void TApplication::SetIcon(TIconHandle icon) {
    icon_ = icon;
    if (icon) QApplication::setWindowIcon(icon->icon);
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
    GuiCall([&] {
        QWidget* owner = nullptr;
        if (TControl* main = TApplication::Instance().MainForm()) owner = main->Widget();
        QMessageBox box(QMessageBox::NoIcon, FromCp1251(caption), FromCp1251(text), QMessageBox::Ok,
                        owner);
        box.exec();
    });
}

void SetMessageBoxInterceptor(std::function<void(const std::string&, const std::string&)> f) {
    std::lock_guard lock(g_interceptorMutex);
    g_interceptor = std::move(f);
}
