// The Qt backend of the application object: the Qt application and its
// event loop, which also serves the calls carried to the GUI thread.
#include "ui/toolkit/Application.h"

#include "ui/toolkit/Control.h"
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/qt/ControlWidgets.h"
#include "ui/toolkit/qt/QtBridge.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPalette>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>

#include <atomic>

namespace {

// Worker threads only wake the GUI thread's event loop (which allocates and
// shares nothing); the loop serves the queued calls each time it wakes.
std::atomic<QAbstractEventDispatcher*> g_dispatcher{nullptr};

void PostDrain() {
    if (QAbstractEventDispatcher* d = g_dispatcher.load()) d->wakeUp();
}

// The system colours as Qt's palette roles, so that edges, disabled texts and
// selections are drawn in the shades the window system uses: a sunken edge in
// button shadow and 3-D dark shadow, a raised one in button highlight.
QPalette SystemPalette() {
    const auto sys = [](int index) { return ToQColor(0x80000000u | uint32_t(index)); };
    QPalette p(sys(15)); // the button face; every role that matters is set below
    p.setColor(QPalette::Button, sys(15));
    p.setColor(QPalette::ButtonText, sys(18));
    p.setColor(QPalette::Window, sys(15));
    p.setColor(QPalette::WindowText, sys(8));
    p.setColor(QPalette::Base, sys(5));
    p.setColor(QPalette::Text, sys(8));
    p.setColor(QPalette::Light, sys(20));
    p.setColor(QPalette::Midlight, sys(22));
    p.setColor(QPalette::Dark, sys(16));
    p.setColor(QPalette::Mid, sys(16));
    p.setColor(QPalette::Shadow, sys(21));
    p.setColor(QPalette::Highlight, sys(13));
    p.setColor(QPalette::HighlightedText, sys(14));
    p.setColor(QPalette::ToolTipBase, sys(24));
    p.setColor(QPalette::ToolTipText, sys(23));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, sys(17));
    return p;
}

// Qt keeps the argument vector it is given for the application's lifetime.
int g_argc = 1;
std::string g_programName;
char* g_argv[] = {nullptr, nullptr};

} // namespace

void TApplication::StartWindowSystem(const char* programName) {
    g_programName = programName && *programName ? programName : "varnomiksal";
    g_argv[0] = g_programName.data();
    if (!QApplication::instance()) new QApplication(g_argc, g_argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The classic look where the style is available.
    if (QStyleFactory::keys().contains(QStringLiteral("Windows")))
        QApplication::setStyle(QStringLiteral("Windows"));
    QApplication::setPalette(SystemPalette());
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [] { ServeCalls(); });
    g_dispatcher = dispatcher;
    SetDrainPoster(&PostDrain);
}

void TApplication::EndLoop() {
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

bool TApplication::RunUntil(const std::function<bool()>& done, int timeoutMs, int recheckMs) {
    QElapsedTimer timer;
    timer.start();
    // Sleeps in the event loop between events; the tick bounds each sleep.
    QTimer tick;
    tick.start(recheckMs);
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        ProcessEvents();
        if (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void TApplication::ApplyIcon() {
    if (icon_) QApplication::setWindowIcon(ToQIcon(icon_));
}

void ShowNativeMessageBox(const std::string& caption, const std::string& text) {
    QWidget* owner = nullptr;
    if (TControl* main = TApplication::Instance().MainForm()) owner = main->Impl().widget;
    QMessageBox box(QMessageBox::NoIcon, FromCp1251(caption), FromCp1251(text), QMessageBox::Ok,
                    owner);
    box.exec();
}

int ScreenLogPixelsY() {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return int(screen->logicalDotsPerInchY() + 0.5);
    return 96;
}
