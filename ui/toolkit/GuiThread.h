// How the reader and timer threads reach the windows: a call made off the
// GUI thread is queued, the GUI thread runs it, the caller waits for it.
// Whenever the GUI thread itself waits for another thread it keeps running
// queued calls, so the two never wait for each other.
#pragma once

#include <functional>

// Marks the calling thread as the GUI thread (done by the application).
void SetGuiThread();
bool OnGuiThread();

// Runs fn on the GUI thread and returns when it has run. On the GUI thread,
// or before there is one, fn runs at once. Off the GUI thread after calls
// have been closed (the main form accepted its close), returns at once
// without running fn. Returns whether fn ran.
bool GuiCall(const std::function<void()>& fn);
// The same for a call with a result: `def` when the call did not run.
template <class R, class F> R GuiResult(F&& fn, R def) {
    R result = def;
    GuiCall([&] { result = fn(); });
    return result;
}

// Queues fn for the GUI thread without waiting for it; it runs in order with
// the other carried calls. On the GUI thread fn runs at once; after calls
// have been closed it is dropped. For updates whose caller needs no answer.
void GuiPost(std::function<void()> fn);

// GUI thread: runs every queued call, in order of arrival.
void ServeCalls();

// Waits until done() gives true. On the GUI thread queued calls are served
// while waiting; done() is re-checked whenever a call arrives, whenever
// WakeWaitingGui() is called, and at least every few milliseconds.
void WaitServingCalls(const std::function<bool()>& done);

// Runs `blocking` (e.g. joining a thread) on a helper thread and waits for it
// while serving queued calls. Off the GUI thread it simply runs `blocking`.
void RunServingCalls(const std::function<void()>& blocking);

// Makes a GUI thread waiting in WaitServingCalls re-check its condition.
void WakeWaitingGui();

// Once closed, calls from other threads return at once and queued calls that
// have not started are dropped. Reopened for the next main form.
void CloseCalls();
void OpenCalls();
bool CallsClosed();

// Installs how a drain request reaches the GUI thread's event loop.
void SetDrainPoster(void (*post)());
