#include "platform/Interrupt.h"

#include <atomic>
#include <windows.h>

namespace {

// The handler's whole state: a flag and the event that wakes the waiter.
std::atomic<bool> g_interrupted{false};
std::atomic<HANDLE> g_event{nullptr};
std::atomic<int> g_requests{0};

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
    g_interrupted.store(true);
    g_requests.fetch_add(1);
    if (HANDLE e = g_event.load()) SetEvent(e);
    return TRUE;
}

} // namespace

struct TInterruptWatch::Impl {
    HANDLE event = nullptr;
};

TInterruptWatch::TInterruptWatch() : impl_(std::make_unique<Impl>()) {
    g_interrupted = false;
    g_requests = 0;
    impl_->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_event = impl_->event;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

TInterruptWatch::~TInterruptWatch() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_event = nullptr;
    if (impl_->event) CloseHandle(impl_->event);
}

bool TInterruptWatch::Wait(int timeoutMs) {
    if (!g_interrupted.load() && impl_->event)
        WaitForSingleObject(impl_->event, timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    return g_interrupted.load();
}

bool TInterruptWatch::WaitInput(int timeoutMs) {
    if (g_interrupted.load()) return false;
    // A console's input handle is signalled by any input event, not only by
    // a whole line; the caller's read then waits for the line.
    HANDLE handles[2] = {GetStdHandle(STD_INPUT_HANDLE), impl_->event};
    DWORD r = WaitForMultipleObjects(impl_->event ? 2 : 1, handles, FALSE,
                                     timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
    return !g_interrupted.load() && r == WAIT_OBJECT_0;
}

void TInterruptWatch::Wake() {
    if (impl_->event) SetEvent(impl_->event);
}

bool TInterruptWatch::Interrupted() const {
    return g_interrupted.load();
}

int TInterruptWatch::Requests() const {
    return g_requests.load();
}

// A console closing on Windows ends the process within seconds whatever it
// does, so there is no hang-up to outlive: the commit only checks.
bool TInterruptWatch::Commit() {
    return !g_interrupted.load();
}
