#include "platform/Interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The handler's whole state: a flag and the write end of a self-pipe.
std::atomic<bool> g_interrupted{false};
std::atomic<int> g_wakeFd{-1};

void OnInterrupt(int) {
    int saved = errno;
    g_interrupted.store(true);
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
};

TInterruptWatch::TInterruptWatch() : impl_(std::make_unique<Impl>()) {
    g_interrupted = false;
    if (::pipe2(impl_->pipe, O_CLOEXEC | O_NONBLOCK) == 0) g_wakeFd = impl_->pipe[1];
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, &impl_->oldInt);
    ::sigaction(SIGTERM, &sa, &impl_->oldTerm);
}

TInterruptWatch::~TInterruptWatch() {
    ::sigaction(SIGINT, &impl_->oldInt, nullptr);
    ::sigaction(SIGTERM, &impl_->oldTerm, nullptr);
    g_wakeFd = -1;
    for (int fd : impl_->pipe)
        if (fd >= 0) ::close(fd);
}

bool TInterruptWatch::Wait(int timeoutMs) {
    if (!g_interrupted.load()) {
        pollfd p{impl_->pipe[0], POLLIN, 0};
        while (::poll(&p, 1, timeoutMs) < 0 && errno == EINTR) {
            if (g_interrupted.load()) break;
        }
        char buffer[64];
        while (::read(impl_->pipe[0], buffer, sizeof buffer) > 0) {
        }
    }
    return g_interrupted.load();
}

bool TInterruptWatch::WaitInput(int timeoutMs) {
    if (g_interrupted.load()) return false;
    pollfd p[2] = {{STDIN_FILENO, POLLIN, 0}, {impl_->pipe[0], POLLIN, 0}};
    if (::poll(p, 2, timeoutMs) <= 0) return false;
    if (p[1].revents & POLLIN) {
        char buffer[64];
        while (::read(impl_->pipe[0], buffer, sizeof buffer) > 0) {
        }
    }
    return !g_interrupted.load() && (p[0].revents & (POLLIN | POLLHUP | POLLERR));
}

void TInterruptWatch::Wake() {
    char c = 'w';
    [[maybe_unused]] ssize_t n = ::write(impl_->pipe[1], &c, 1);
}

bool TInterruptWatch::Interrupted() const {
    return g_interrupted.load();
}
