// Shared by the upload benchmarks: the device simulator as a process of its
// own (so that the CPU time measured is ours alone) and wall/CPU timing.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

// CPU time is user plus system time; the system part is mostly the one-byte
// writes to the port.
struct Timing {
    double wall = 0, cpu = 0, sys = 0;
    long switches = 0, preempted = 0; // context switches: all, and involuntary ones
    bool ok = false;
};

inline double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

inline Timing Measure(const std::function<bool()>& run) {
    Timing t;
    rusage u0{}, u1{};
    getrusage(RUSAGE_SELF, &u0);
    auto t0 = std::chrono::steady_clock::now();
    t.ok = run();
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    getrusage(RUSAGE_SELF, &u1);
    t.sys = Seconds(u1.ru_stime) - Seconds(u0.ru_stime);
    t.cpu = Seconds(u1.ru_utime) - Seconds(u0.ru_utime) + t.sys;
    t.preempted = u1.ru_nivcsw - u0.ru_nivcsw;
    t.switches = u1.ru_nvcsw - u0.ru_nvcsw + t.preempted;
    return t;
}

// The simulator runs as a process of its own, so our CPU time is ours alone.
class SimulatorProcess {
public:
    // holdMs: the reply's wait in a USB adapter (its latency timer), or 0.
    SimulatorProcess(const std::string& dir, int port, int baud, int holdMs = 0) {
        std::string p = std::to_string(port), b = std::to_string(baud), h = std::to_string(holdMs);
        const char* argv[] = {SIMULATOR_PATH, "--port-dir", dir.c_str(), "--port",
                              p.c_str(),      "--baud",     b.c_str(),   "--hold-ms",
                              h.c_str(),      "--once",     nullptr};
        posix_spawn(&pid_, SIMULATOR_PATH, nullptr, nullptr, const_cast<char**>(argv), environ);
        std::string link = dir + "/COM" + p;
        for (int i = 0; i < 200 && !std::filesystem::exists(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The simulator stops by itself once "PUSK" has arrived; it is given a
    // moment for the last bytes on the line before it is told to stop.
    ~SimulatorProcess() {
        int status;
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid_, SIGTERM);
        waitpid(pid_, &status, 0);
    }

private:
    pid_t pid_ = 0;
};
