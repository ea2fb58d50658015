// Runs varnomiksal-cli as a child process with stdin from /dev/null and its
// stdout and stderr on pipes, so tests see what scripts see.
#pragma once

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class TCliProcess {
public:
    explicit TCliProcess(const std::vector<std::string>& args) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
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
    }
    ~TCliProcess() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        if (out_ >= 0) ::close(out_);
        if (err_ >= 0) ::close(err_);
    }

    // Reads the child's output until `text` has appeared on stdout, the
    // output ends, or the time runs out; true when it appeared.
    bool WaitForOutput(const std::string& text, int timeoutMs) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.find(text) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !Pump(int(left.count()))) return false;
        }
        return true;
    }

    void Signal(int signal) { ::kill(pid_, signal); }

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
    bool exited_ = false;
};

inline int RunCli(const std::vector<std::string>& args, std::string* out = nullptr,
                  std::string* err = nullptr) {
    TCliProcess p(args);
    int code = p.Wait();
    if (out) *out = p.out;
    if (err) *err = p.err;
    return code;
}
