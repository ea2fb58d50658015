// The whole upload against the device simulator: through the element graph
// without a window, through the program's real window (offscreen), and with
// a minimal reference uploader that writes one block at a time, all in the
// same run. Wall and CPU time, first with an instant device, then with a
// device paced at 38462 baud.
#include "ReferenceUploader.h"
#include "SimulatorProcess.h"
#include "app/ConsoleSchema.h"
#include "app/Flasher.h"
#ifdef BENCH_WINDOW
#include "app/TClassSimpleForm_253AA30.h"
#include "testing/ui/toolkit/Drive.h"
#include "ui/elements/qeButton.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/WinDefs.h"
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

Timing OurUpload(const std::string& dir, int baud) {
    SimulatorProcess sim(dir, 201, baud);
    TConsoleSchema harness;
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

// The command-line program's upload: its flasher on the console schema, with
// its main thread redrawing (here: counting) progress ten times a second.
Timing CliUpload(const std::string& dir, int baud) {
    SimulatorProcess sim(dir, 204, baud);
    TInterruptWatch watch;
    TFlasher flasher(watch);
    if (flasher.Identify("COM204", 5000).outcome != TIdentify::found) return {};
    int redraws = 0;
    Timing t = Measure([&] {
        return flasher.Upload([&](int, double) { ++redraws; }).outcome == TUpload::success;
    });
    flasher.Close();
    return t;
}

// The command-line program as a process writing `ports`, each to a device
// of its own: its upload time (the slowest port's, from its JSON result) and
// its whole CPU time per port, start-up and identification included. As a
// station, it writes each port's device as it arrives and stops once all
// are written.
Timing CliProcessOn(const std::string& dir, int baud, const std::vector<int>& ports, int holdMs = 0,
                    bool station = false) {
    std::vector<std::unique_ptr<SimulatorProcess>> sims;
    std::vector<std::string> names;
    for (int port : ports) {
        sims.push_back(std::make_unique<SimulatorProcess>(dir, port, baud, holdMs));
        names.push_back("COM" + std::to_string(port));
    }
    int out[2];
    if (pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string count = std::to_string(ports.size());
    std::vector<const char*> argv = {CLI_PATH, station ? "station" : "write"};
    for (const auto& name : names)
        argv.push_back(name.c_str());
    for (const char* a : {"--json", "--allow-placeholder"})
        argv.push_back(a);
    if (station) {
        argv.push_back("--count");
        argv.push_back(count.c_str());
    } else {
        argv.push_back("--yes");
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn(&pid, CLI_PATH, &actions, nullptr, const_cast<char**>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string json;
    char buffer[512];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        json.append(buffer, std::size_t(n));
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Timing t;
    t.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    for (std::size_t at = json.find("\"seconds\": "); at != std::string::npos;
         at = json.find("\"seconds\": ", at + 1))
        t.wall = std::max(t.wall, std::atof(json.c_str() + at + 11));
    double n = double(ports.size());
    t.sys = Seconds(usage.ru_stime) / n;
    t.cpu = Seconds(usage.ru_utime) / n + t.sys;
    t.preempted = long(double(usage.ru_nivcsw) / n);
    t.switches = long(double(usage.ru_nvcsw + usage.ru_nivcsw) / n);
    return t;
}

Timing CliProcess(const std::string& dir, int baud) {
    return CliProcessOn(dir, baud, {205});
}

// Four devices written at once by one process, each through its own console
// schema: the slowest upload, and the CPU time per upload.
Timing CliProcessFour(const std::string& dir, int baud) {
    return CliProcessOn(dir, baud, {206, 207, 208, 209});
}

#ifdef BENCH_WINDOW
// The program's window: choose the port, click the button, wait for "OK".
Timing WindowUpload(const std::string& dir, int baud) {
    SimulatorProcess sim(dir, 203, baud);
    auto& app = TApplication::Instance();
    StartupDone = false;
    auto window = std::make_unique<TClassSimpleForm_253AA30>();
    window->MainForm->Start();
    TControl* combo = window->PortCombo->Control;
    app.RunUntil([&] { return combo->ItemCount() > 0; }, 3000);
    for (int i = 0; i < combo->ItemCount(); ++i)
        if (combo->ItemText(i) == "COM203") combo->SetCurSel(i - 1);
    combo->SetFocus();
    DriveKey(combo, VK_DOWN);
    Timing t;
    if (app.RunUntil([&] { return window->WriteButton->Control->Enabled(); }, 5000)) {
        t = Measure([&] {
            DriveClick(window->WriteButton->Control);
            // The result display arrives as an event: the loop need not wake
            // on its own (the program's own loop never does).
            return app.RunUntil([&] { return window->OkButton->Control->Visible(); }, 120000, 1000);
        });
    }
    DriveUserClose(window->MainForm->Control);
    app.Run();
    DisableDispatch();
    window.reset();
    return t;
}
#endif

Timing Reference(const std::string& dir, int baud) {
    SimulatorProcess sim(dir, 202, baud);
    return Measure([&] {
        std::string error = ReferenceUpload("COM202");
        if (!error.empty()) std::fprintf(stderr, "reference: %s\n", error.c_str());
        return error.empty();
    });
}

struct Named {
    const char* name;
    Timing t;
};

void Report(const char* title, const std::vector<Named>& runs, const Timing& ref, int baud) {
    std::printf("%s\n", title);
    double limit = baud > 0 ? (130048.0 * 10 + 508 * 2 * 10) / baud : 0;
    for (const Named& r : runs) {
        std::printf(
            "  %-14s wall %.3f s, cpu %.3f s (system %.3f s; %ld switches, %ld preempted)%s",
            r.name, r.t.wall, r.t.cpu, r.t.sys, r.t.switches, r.t.preempted,
            r.t.ok ? "" : "  (FAILED)");
        if (ref.wall > 0 && r.t.wall != ref.wall)
            std::printf("; ours/reference wall %.2f, cpu %.2f", r.t.wall / ref.wall,
                        ref.cpu > 0 ? r.t.cpu / ref.cpu : 0.0);
        if (limit > 0) std::printf("; /line-time limit %.4f", r.t.wall / limit);
        std::printf("\n");
    }
    if (limit > 0) std::printf("  line-time limit: %.3f s\n", limit);
}

// The hosts measured, in order; `only` (when not empty) picks one of them by
// name, e.g. to run that upload alone under a profiler.
void Run(const char* title, const std::string& dir, int baud, const std::string& only) {
    struct Host {
        const char* name;
        Timing (*upload)(const std::string&, int);
    };
    const Host hosts[] = {
        {"element graph", OurUpload}, {"cli", CliUpload},
        {"cli process", CliProcess},  {"cli 4 ports", CliProcessFour},
#ifdef BENCH_WINDOW
        {"window", WindowUpload},
#endif
    };
    Timing ref = only.empty() || only == "reference" ? Reference(dir, baud) : Timing{};
    std::vector<Named> runs;
    for (const Host& h : hosts)
        if (only.empty() || only == h.name) runs.push_back({h.name, h.upload(dir, baud)});
    if (only.empty() || only == "reference") runs.push_back({"reference", ref});
    Report(title, runs, ref, baud);
    // Four at once against one, in this run: the slowest of the four over
    // the single upload.
    const Timing *one = nullptr, *four = nullptr;
    for (const Named& r : runs) {
        if (std::string(r.name) == "cli process") one = &r.t;
        if (std::string(r.name) == "cli 4 ports") four = &r.t;
    }
    if (one && four && one->wall > 0)
        std::printf("  four ports at once: slowest %.3f s = %.4f of one port's %.3f s; cpu per "
                    "upload %.3f s (one port: %.3f s)\n",
                    four->wall, four->wall / one->wall, one->wall, four->cpu, one->cpu);
}

// The command line's paced write behind a USB adapter that holds each reply
// for its latency timer: an FTDI adapter's default 16 ms, and the 1 ms of
// low latency, beside the plain line.
void RunHeld(const std::string& dir) {
    std::printf("device paced at 38462 baud, behind an adapter's latency timer (cli process):\n");
    const double limit = (130048.0 * 10 + 508 * 2 * 10) / 38462;
    int port = 210;
    for (int hold : {0, 1, 16}) {
        Timing t = CliProcessOn(dir, 38462, {port++}, hold);
        std::printf("  %-14s wall %.3f s%s; /line-time limit %.4f\n",
                    hold == 0   ? "no hold"
                    : hold == 1 ? "held 1 ms"
                                : "held 16 ms",
                    t.wall, t.ok ? "" : "  (FAILED)", t.wall / limit);
    }
}

// A station writing 16 devices at once, paced, against one writing a single
// device, in the same run: the slowest of the 16 uploads over the single
// upload, and the CPU time per upload.
void RunStation(const std::string& dir) {
    std::printf("station, devices paced at 38462 baud:\n");
    const double limit = (130048.0 * 10 + 508 * 2 * 10) / 38462;
    Timing one = CliProcessOn(dir, 38462, {220}, 0, true);
    std::vector<int> ports;
    for (int port = 221; port < 237; ++port)
        ports.push_back(port);
    Timing sixteen = CliProcessOn(dir, 38462, ports, 0, true);
    std::printf("  1 slot         wall %.3f s, cpu %.3f s%s; /line-time limit %.4f\n", one.wall,
                one.cpu, one.ok ? "" : "  (FAILED)", one.wall / limit);
    std::printf("  16 slots       slowest %.3f s = %.4f of the single upload; cpu per upload "
                "%.3f s (single: %.3f s)%s\n",
                sixteen.wall, one.wall > 0 ? sixteen.wall / one.wall : 0.0, sixteen.cpu, one.cpu,
                sixteen.ok ? "" : "  (FAILED)");
}

} // namespace

int main(int argc, char** argv) {
    bool paced = true;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--instant-only") {
            paced = false;
        } else if (a == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr, "usage: bench_upload [--instant-only] [--only HOST]\n"
                                 "HOST: element graph, cli, cli process, cli 4 ports, window, "
                                 "reference, held (paced, behind an adapter's latency), "
                                 "station (16 slots, paced)\n");
            return 2;
        }
    }
    char templ[] = "/tmp/varnomiksal-bench-XXXXXX";
    std::string dir = mkdtemp(templ);
    setenv("VARNOMIKSAL_PORT_DIR", dir.c_str(), 1);

#ifdef BENCH_WINDOW
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TApplication::Create(argv[0]);
#endif
    if (only != "held" && only != "station") {
        Run("instant device:", dir, 0, only);
        if (paced) Run("device paced at 38462 baud:", dir, 38462, only);
    }
    if (paced && (only.empty() || only == "held")) RunHeld(dir);
    if (paced && (only.empty() || only == "station")) RunStation(dir);
    std::filesystem::remove_all(dir);
}
