// The whole upload through the element graph against the device simulator,
// compared in the same run with a minimal reference uploader that writes one
// block at a time: wall and CPU time, first with an instant device, then with
// a device paced at 38462 baud.
#include "ReferenceUploader.h"
#include "tests/harness/Harness.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

struct Timing {
    double wall = 0, cpu = 0;
    bool ok = false;
};

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
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

Timing Measure(const std::function<bool()>& run) {
    Timing t;
    double cpu0 = CpuSeconds();
    auto t0 = std::chrono::steady_clock::now();
    t.ok = run();
    t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    t.cpu = CpuSeconds() - cpu0;
    return t;
}

Timing OurUpload(const std::string& dir, int baud) {
    SimulatorProcess sim(dir, 201, baud);
    UploadHarness harness;
    harness.ChoosePort("COM201");
    if (!harness.DeviceFound->WaitForCount(1, 5000)) return {};
    Timing t = Measure([&] {
        harness.ClickWrite();
        return harness.Success->WaitFor(
                   [&](const auto& v) { return !v.empty() || harness.Failure->Count() > 0; },
                   120000) &&
               harness.Failure->Count() == 0;
    });
    harness.Close();
    return t;
}

Timing Reference(const std::string& dir, int baud) {
    SimulatorProcess sim(dir, 202, baud);
    return Measure([&] {
        std::string error = ReferenceUpload("COM202");
        if (!error.empty()) std::fprintf(stderr, "reference: %s\n", error.c_str());
        return error.empty();
    });
}

void Report(const char* title, const Timing& ours, const Timing& ref, int baud) {
    std::printf("%s\n", title);
    std::printf("  element graph: wall %.3f s, cpu %.3f s%s\n", ours.wall, ours.cpu,
                ours.ok ? "" : "  (FAILED)");
    std::printf("  reference:     wall %.3f s, cpu %.3f s%s\n", ref.wall, ref.cpu,
                ref.ok ? "" : "  (FAILED)");
    std::printf("  ratio ours/reference: wall %.2f, cpu %.2f\n", ours.wall / ref.wall,
                ref.cpu > 0 ? ours.cpu / ref.cpu : 0.0);
    if (baud > 0) {
        double limit = (130048.0 * 10 + 508 * 2 * 10) / baud;
        std::printf("  line-time limit %.3f s: ours/limit %.4f, reference/limit %.4f\n", limit,
                    ours.wall / limit, ref.wall / limit);
    }
}

} // namespace

int main(int argc, char** argv) {
    bool paced = !(argc > 1 && std::string(argv[1]) == "--instant-only");
    char templ[] = "/tmp/varnomiksal-bench-XXXXXX";
    std::string dir = mkdtemp(templ);
    setenv("VARNOMIKSAL_PORT_DIR", dir.c_str(), 1);

    Report("instant device:", OurUpload(dir, 0), Reference(dir, 0), 0);
    if (paced)
        Report("device paced at 38462 baud:", OurUpload(dir, 38462), Reference(dir, 38462), 38462);
    std::filesystem::remove_all(dir);
}
