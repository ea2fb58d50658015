#include "ui/toolkit/GuiThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

struct TCarriedCall {
    const std::function<void()>* fn = nullptr;
    bool done = false;
    bool ran = false;
    // A posted call owns its function and is freed once served or dropped.
    std::function<void()> owned;
    bool posted = false;
};

std::mutex g_mutex;
std::condition_variable g_callerWake; // callers waiting for their call
std::condition_variable g_guiWake;    // the GUI thread waiting in WaitServingCalls
std::deque<TCarriedCall*> g_queue;
bool g_closed = false;
bool g_drainPosted = false;
bool g_wakeRequested = false;
std::atomic<bool> g_haveGui{false};
std::thread::id g_guiThread;
std::atomic<void (*)()> g_poster{nullptr};

} // namespace

void SetGuiThread() {
    std::lock_guard lock(g_mutex);
    g_guiThread = std::this_thread::get_id();
    g_haveGui = true;
}

bool OnGuiThread() {
    if (!g_haveGui) return true;
    std::lock_guard lock(g_mutex);
    return g_guiThread == std::this_thread::get_id();
}

void SetDrainPoster(void (*post)()) {
    g_poster = post;
}

namespace {

// Queues a call for the GUI thread and wakes it, posting one drain to the
// window system while none is pending. False, with nothing queued, once
// calls are closed.
bool Enqueue(TCarriedCall* call) {
    bool post = false;
    {
        std::lock_guard lock(g_mutex);
        if (g_closed) return false;
        g_queue.push_back(call);
        if (!g_drainPosted) {
            g_drainPosted = true;
            post = true;
        }
    }
    g_guiWake.notify_all();
    if (post)
        if (auto poster = g_poster.load()) poster();
    return true;
}

} // namespace

bool GuiCall(const std::function<void()>& fn) {
    if (OnGuiThread()) {
        fn();
        return true;
    }
    TCarriedCall call;
    call.fn = &fn;
    if (!Enqueue(&call)) return false;
    std::unique_lock lock(g_mutex);
    g_callerWake.wait(lock, [&] { return call.done; });
    return call.ran;
}

void GuiPost(std::function<void()> fn) {
    if (OnGuiThread()) {
        fn();
        return;
    }
    auto* call = new TCarriedCall;
    call->owned = std::move(fn);
    call->fn = &call->owned;
    call->posted = true;
    if (!Enqueue(call)) delete call;
}

void ServeCalls() {
    std::unique_lock lock(g_mutex);
    g_drainPosted = false;
    while (!g_queue.empty()) {
        TCarriedCall* call = g_queue.front();
        g_queue.pop_front();
        lock.unlock();
        (*call->fn)();
        lock.lock();
        if (call->posted) {
            delete call;
            continue;
        }
        call->ran = true;
        call->done = true;
        g_callerWake.notify_all();
    }
}

void WaitServingCalls(const std::function<bool()>& done) {
    if (!OnGuiThread()) {
        while (!done())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    for (;;) {
        ServeCalls();
        if (done()) return;
        std::unique_lock lock(g_mutex);
        g_guiWake.wait_for(lock, std::chrono::milliseconds(5),
                           [] { return !g_queue.empty() || g_wakeRequested; });
        g_wakeRequested = false;
    }
}

void RunServingCalls(const std::function<void()>& blocking) {
    if (!OnGuiThread()) {
        blocking();
        return;
    }
    std::atomic<bool> finished{false};
    std::thread helper([&] {
        blocking();
        finished = true;
        WakeWaitingGui();
    });
    WaitServingCalls([&] { return finished.load(); });
    helper.join();
}

void WakeWaitingGui() {
    {
        std::lock_guard lock(g_mutex);
        g_wakeRequested = true;
    }
    g_guiWake.notify_all();
}

void CloseCalls() {
    std::lock_guard lock(g_mutex);
    g_closed = true;
    for (TCarriedCall* call : g_queue) {
        if (call->posted)
            delete call;
        else
            call->done = true; // dropped: ran stays false
    }
    g_queue.clear();
    g_callerWake.notify_all();
}

void OpenCalls() {
    std::lock_guard lock(g_mutex);
    g_closed = false;
}

bool CallsClosed() {
    std::lock_guard lock(g_mutex);
    return g_closed;
}
