// The whole upload against the device simulator: through the element graph
// without a window, through the program's real window (offscreen), and with
// a minimal reference uploader that writes one block at a time, all in the
// same run. Wall and CPU time, first with an instant device, then with a
// device paced at 38462 baud.
#include "ReferenceUploader.h"
#include "SimulatorProcess.h"
#include "app/ConsoleSchema.h"
#ifdef BENCH_WINDOW
#include "app/TClassSimpleForm_253AA30.h"
#include "ui/elements/qeButton.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/Drive.h"
#include "ui/toolkit/WinDefs.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

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
            return app.RunUntil([&] { return window->OkButton->Control->Visible(); }, 120000);
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

void Report(const char* title, std::initializer_list<Named> runs, const Timing& ref, int baud) {
    std::printf("%s\n", title);
    double limit = baud > 0 ? (130048.0 * 10 + 508 * 2 * 10) / baud : 0;
    for (const Named& r : runs) {
        std::printf("  %-14s wall %.3f s, cpu %.3f s%s", r.name, r.t.wall, r.t.cpu,
                    r.t.ok ? "" : "  (FAILED)");
        if (r.t.wall != ref.wall)
            std::printf("; ours/reference wall %.2f, cpu %.2f", r.t.wall / ref.wall,
                        ref.cpu > 0 ? r.t.cpu / ref.cpu : 0.0);
        if (limit > 0) std::printf("; /line-time limit %.4f", r.t.wall / limit);
        std::printf("\n");
    }
    if (limit > 0) std::printf("  line-time limit: %.3f s\n", limit);
}

void Run(const char* title, const std::string& dir, int baud) {
    Timing ref = Reference(dir, baud);
    Timing graph = OurUpload(dir, baud);
#ifdef BENCH_WINDOW
    Timing window = WindowUpload(dir, baud);
    Report(title, {{"element graph", graph}, {"window", window}, {"reference", ref}}, ref, baud);
#else
    Report(title, {{"element graph", graph}, {"reference", ref}}, ref, baud);
#endif
}

} // namespace

int main(int argc, char** argv) {
    bool paced = !(argc > 1 && std::string(argv[1]) == "--instant-only");
    char templ[] = "/tmp/varnomiksal-bench-XXXXXX";
    std::string dir = mkdtemp(templ);
    setenv("VARNOMIKSAL_PORT_DIR", dir.c_str(), 1);

#ifdef BENCH_WINDOW
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TApplication::Create(argc, argv);
#endif
    Run("instant device:", dir, 0);
    if (paced) Run("device paced at 38462 baud:", dir, 38462);
    std::filesystem::remove_all(dir);
}
