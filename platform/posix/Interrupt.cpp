#include "platform/Interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The handlers' whole state: what has been asked, in one word so that a
// hang-up and the commit cannot cross, and the write end of a self-pipe.
enum : int { interrupt_asked = 1, hung_up = 2, committed = 4 };
std::atomic<int> g_state{0};
std::atomic<int> g_wakeFd{-1};
std::atomic<int> g_requests{0}; // interrupt requests, hang-ups aside

bool IsInterrupted(int state) {
    return (state & interrupt_asked) || ((state & hung_up) && !(state & committed));
}

void OnInterrupt(int signal) {
    int saved = errno;
    g_state.fetch_or(signal == SIGHUP ? hung_up : interrupt_asked);
    if (signal != SIGHUP) g_requests.fetch_add(1);
    int fd = g_wakeFd.load();
    if (fd >= 0) {
        char c = 'i';
        [[maybe_unused]] ssize_t n = ::write(fd, &c, 1);
    }
    errno = saved;
}

} // namespace

struct TInterruptWatch::Impl {
    int pipe[2] = {-1, -1};
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
    struct sigaction oldHup {};
};

TInterruptWatch::TInterruptWatch() : impl_(std::make_unique<Impl>()) {
    g_state = 0;
    g_requests = 0;
    if (::pipe2(impl_->pipe, O_CLOEXEC | O_NONBLOCK) == 0) g_wakeFd = impl_->pipe[1];
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, &impl_->oldInt);
    ::sigaction(SIGTERM, &sa, &impl_->oldTerm);
    ::sigaction(SIGHUP, &sa, &impl_->oldHup);
}

TInterruptWatch::~TInterruptWatch() {
    ::sigaction(SIGINT, &impl_->oldInt, nullptr);
    ::sigaction(SIGTERM, &impl_->oldTerm, nullptr);
    ::sigaction(SIGHUP, &impl_->oldHup, nullptr);
    g_wakeFd = -1;
    for (int fd : impl_->pipe)
        if (fd >= 0) ::close(fd);
}

bool TInterruptWatch::Wait(int timeoutMs) {
    if (!Interrupted()) {
        pollfd p{impl_->pipe[0], POLLIN, 0};
        while (::poll(&p, 1, timeoutMs) < 0 && errno == EINTR) {
            if (Interrupted()) break;
        }
        char buffer[64];
        while (::read(impl_->pipe[0], buffer, sizeof buffer) > 0) {
        }
    }
    return Interrupted();
}

bool TInterruptWatch::WaitInput(int timeoutMs) {
    if (Interrupted()) return false;
    pollfd p[2] = {{STDIN_FILENO, POLLIN, 0}, {impl_->pipe[0], POLLIN, 0}};
    if (::poll(p, 2, timeoutMs) <= 0) return false;
    if (p[1].revents & POLLIN) {
        char buffer[64];
        while (::read(impl_->pipe[0], buffer, sizeof buffer) > 0) {
        }
    }
    return !Interrupted() && (p[0].revents & (POLLIN | POLLHUP | POLLERR));
}

void TInterruptWatch::Wake() {
    char c = 'w';
    [[maybe_unused]] ssize_t n = ::write(impl_->pipe[1], &c, 1);
}

bool TInterruptWatch::Interrupted() const {
    return IsInterrupted(g_state.load());
}

int TInterruptWatch::Requests() const {
    return g_requests.load();
}

bool TInterruptWatch::Commit() {
    int state = g_state.load();
    do {
        if (state & (interrupt_asked | hung_up)) return false;
    } while (!g_state.compare_exchange_weak(state, state | committed));
    return true;
}
