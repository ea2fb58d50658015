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

struct Timing {
    double wall = 0, cpu = 0;
    bool ok = false;
};

inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline Timing Measure(const std::function<bool()>& run) {
    Timing t;
    double cpu0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    t.ok = run();
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    t.cpu = CpuSeconds() - cpu0;
    return t;
}

// The simulator runs as a process of its own, so our CPU time is ours alone.
class SimulatorProcess {
public:
    SimulatorProcess(const std::string& dir, int port, int baud) {
        std::string p = std::to_string(port), b = std::to_string(baud);
        const char* argv[] = {SIMULATOR_PATH, "--port-dir", dir.c_str(), "--port", p.c_str(),
                              "--baud",       b.c_str(),    "--once",    nullptr};
        posix_spawn(&pid_, SIMULATOR_PATH, nullptr, nullptr, const_cast<char**>(argv), environ);
        std::string link = dir + "/COM" + p;
        for (int i = 0; i < 200 && !std::filesystem::exists(link); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SimulatorProcess() {
        kill(pid_, SIGTERM);
        int status;
        waitpid(pid_, &status, 0);
    }

private:
    pid_t pid_ = 0;
};
