// The whole upload against the device simulator: through the element graph
// without a window, through the program's real window (offscreen), and with
// a minimal reference uploader that writes one block at a time, all in the
// same run. Wall and CPU time, first with an instant device, then with a
// device paced at 38462 baud.
#include "ReferenceUploader.h"
#include "SimulatorProcess.h"
#include "device/ConsoleSchema.h"
#include "device/Flasher.h"
#include "device/Protocol.h"
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
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The line the program gives its port, at which the device is paced.
constexpr int kBaud = kProgramLine.BaudRate;

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
                    bool station = false, const std::vector<std::string>& extra = {}) {
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
        for (const std::string& a : extra)
            argv.push_back(a.c_str());
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
    double limit =
        baud > 0 ? (double(kImageBytes) + kImageBlocks * 2) * kLineBitsPerCharacter / baud : 0;
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
    std::printf("device paced at %d baud, behind an adapter's latency timer (cli process):\n",
                kBaud);
    const double limit = (double(kImageBytes) + kImageBlocks * 2) * kLineBitsPerCharacter / kBaud;
    int port = 210;
    for (int hold : {0, 1, 16}) {
        Timing t = CliProcessOn(dir, kBaud, {port++}, hold);
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
    std::printf("station, devices paced at %d baud:\n", kBaud);
    const double limit = (double(kImageBytes) + kImageBlocks * 2) * kLineBitsPerCharacter / kBaud;
    Timing one = CliProcessOn(dir, kBaud, {220}, 0, true);
    std::vector<int> ports;
    for (int port = 221; port < 237; ++port)
        ports.push_back(port);
    Timing sixteen = CliProcessOn(dir, kBaud, ports, 0, true);
    std::printf("  1 slot         wall %.3f s, cpu %.3f s%s; /line-time limit %.4f\n", one.wall,
                one.cpu, one.ok ? "" : "  (FAILED)", one.wall / limit);
    std::printf("  16 slots       slowest %.3f s = %.4f of the single upload; cpu per upload "
                "%.3f s (single: %.3f s)%s\n",
                sixteen.wall, one.wall > 0 ? sixteen.wall / one.wall : 0.0, sixteen.cpu, one.cpu,
                sixteen.ok ? "" : "  (FAILED)");
}

// 16 paced slots recording to a file, and recording to a PostgreSQL server
// (started here) whose every insert takes 50 ms more: the slowest upload of
// each. A device's write never waits for the database.
void RunStationDatabase(const std::string& dir) {
    std::printf("station of 16 slots, paced, recording to a file and to a database 50 ms late:\n");
    const std::string pg = dir + "/pg";
    const std::string script = std::string(RECORDS_TESTS) + "/postgres.sh";
    // The server runs as another user, in a folder of this one.
    std::filesystem::permissions(dir, std::filesystem::perms(0755));
    FILE* started = popen((script + " start " + pg).c_str(), "r");
    char port[32] = {};
    if (!started || !std::fgets(port, sizeof port, started) || pclose(started) != 0) {
        std::printf("  (no PostgreSQL server could be started)\n");
        return;
    }
    port[std::strcspn(port, "\n")] = 0;
    const std::string psql = "PGPASSWORD=line-secret psql -q -h 127.0.0.1 -p " + std::string(port) +
                             " -U station -d line -c ";
    const std::string slow =
        "\"CREATE TABLE varnomiksal_attempts (id CHAR(36) PRIMARY KEY, start_time VARCHAR(32), "
        "end_time VARCHAR(32), host VARCHAR(255), slot VARCHAR(255), port VARCHAR(255), usb "
        "VARCHAR(255), device VARCHAR(255), version VARCHAR(255), image VARCHAR(255), "
        "image_sha256 CHAR(64), result VARCHAR(32), failure VARCHAR(64), message "
        "VARCHAR(1000), blocks INTEGER, seconds DOUBLE PRECISION, tag VARCHAR(255)); "
        "CREATE FUNCTION late() RETURNS trigger AS 'BEGIN PERFORM pg_sleep(0.05); RETURN NEW; "
        "END' LANGUAGE plpgsql; CREATE TRIGGER late BEFORE INSERT ON varnomiksal_attempts FOR "
        "EACH ROW EXECUTE FUNCTION late();\"";
    if (std::system((psql + slow + " >/dev/null").c_str()) != 0)
        std::printf("  (the late table could not be made)\n");
    setenv("VARNOMIKSAL_DB_PASSWORD", "line-secret", 1);
    const std::string database =
        "odbc:Driver=psqlodbcw.so;Server=127.0.0.1;Port=" + std::string(port) +
        ";Database=line;UID=station";
    std::vector<int> ports;
    for (int p = 240; p < 256; ++p)
        ports.push_back(p);
    for (int round = 0; round < 2; ++round) {
        Timing file = CliProcessOn(dir, kBaud, ports, 0, true,
                                   {"--record", dir + "/record-" + std::to_string(round)});
        Timing db = CliProcessOn(
            dir, kBaud, ports, 0, true,
            {"--record", database, "--spool", dir + "/spool-" + std::to_string(round)});
        std::printf("  file: slowest %.3f s%s; database: slowest %.3f s%s = %.4f of the file's\n",
                    file.wall, file.ok ? "" : " (FAILED)", db.wall, db.ok ? "" : " (FAILED)",
                    file.wall > 0 ? db.wall / file.wall : 0.0);
    }
    if (std::system((script + " stop " + pg).c_str()) != 0)
        std::printf("  (the server could not be stopped)\n");
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
                                 "station (16 slots, paced), station-db (16 slots recording "
                                 "to a database 50 ms late)\n");
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
    if (only != "held" && only != "station" && only != "station-db") {
        Run("instant device:", dir, 0, only);
        if (paced)
            Run(("device paced at " + std::to_string(kBaud) + " baud:").c_str(), dir, kBaud, only);
    }
    if (paced && (only.empty() || only == "held")) RunHeld(dir);
    if (paced && (only.empty() || only == "station")) RunStation(dir);
    if (paced && (only.empty() || only == "station-db")) RunStationDatabase(dir);
    std::filesystem::remove_all(dir);
}
