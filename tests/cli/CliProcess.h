// Runs varnomiksal-cli as a child process with stdin from /dev/null and its
// stdout and stderr on pipes, so tests see what scripts see; or with stdin
// on a terminal (a pseudo-terminal the test types into), or with stdout on
// a pipe that nobody reads.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct TCliStdio {
    bool terminalStdin = false; // stdin is a terminal: Type() answers prompts
    bool closedStdout = false;  // stdout's reader has gone before the first write
    int uid = -1;               // run as this user (and group, without others); -1: as the test
};

class TCliProcess {
public:
    explicit TCliProcess(const std::vector<std::string>& args, TCliStdio stdio = {}) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
        std::string terminal;
        if (stdio.terminalStdin) {
            terminal_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (terminal_ < 0 || ::grantpt(terminal_) != 0 || ::unlockpt(terminal_) != 0) return;
            terminal = ::ptsname(terminal_);
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            int in = terminal.empty() ? ::open("/dev/null", O_RDONLY)
                                      : ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
            ::dup2(in, 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            if (stdio.uid >= 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(stdio.uid)) != 0 ||
                 ::setuid(uid_t(stdio.uid)) != 0))
                ::_exit(126);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(CLI_PATH));
            for (const auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(CLI_PATH, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (stdio.closedStdout) {
            ::close(out_);
            out_ = -1;
        }
    }
    ~TCliProcess() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        if (out_ >= 0) ::close(out_);
        if (err_ >= 0) ::close(err_);
        if (terminal_ >= 0) ::close(terminal_);
    }

    // Reads the child's output until `text` has appeared on stdout (or
    // stderr), the output ends, or the time runs out; true when it appeared.
    bool WaitForOutput(const std::string& text, int timeoutMs, bool onStderr = false) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while ((onStderr ? err : out).find(text) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !Pump(int(left.count()))) return false;
        }
        return true;
    }

    // Reads the child's output until `done` holds, the output ends, or the
    // time runs out; `done`'s answer.
    template <class Done> bool WaitUntil(Done done, int timeoutMs) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            if (!Pump(int(std::min<long long>(left.count(), 100))) && out_ < 0 && err_ < 0) break;
        }
        return done();
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    // Types on the terminal that is the child's stdin.
    void Type(const std::string& text) {
        [[maybe_unused]] ssize_t n = ::write(terminal_, text.data(), text.size());
    }

    // Reads everything to the end and returns the exit code (-1 on a crash).
    int Wait() {
        while (Pump(-1)) {
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string out, err;

private:
    // One read from whichever pipe has data; false once both have ended.
    bool Pump(int timeoutMs) {
        pollfd p[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        int open = (out_ >= 0) + (err_ >= 0);
        if (open == 0) return false;
        if (::poll(p, 2, timeoutMs) <= 0) return timeoutMs < 0;
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? out_ : err_;
            if (fd < 0 || !(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? out : err).append(buffer, std::size_t(n));
            } else {
                ::close(fd);
                fd = -1;
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    int terminal_ = -1; // the terminal's far end
    bool exited_ = false;
};

inline int RunCli(const std::vector<std::string>& args, std::string* out = nullptr,
                  std::string* err = nullptr, TCliStdio stdio = {}) {
    TCliProcess p(args, stdio);
    int code = p.Wait();
    if (out) *out = p.out;
    if (err) *err = p.err;
    return code;
}
