// screenshots dir [prefix]: pictures of the updater's window in each of its
// states (choosing, ready, uploading, success, failure), made with the real
// window schema against the device simulator. Writes <dir>/<prefix><state>.png.
// The Windows build makes them under wine (on an X display), where the device
// is on a null-modem cable. scripts/screenshots.sh runs both builds' tools.
#include "app/TClassSimpleForm_253AA30.h"
#include "device/Protocol.h"
#include "testing/ui/toolkit/Drive.h"
#include "tools/simulator/DeviceSimulator.h"
#include "ui/elements/qeButton.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeProgressBar.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/WinDefs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>

namespace {

std::string g_out;
std::string g_prefix;
std::string g_ports;
bool g_ok = true;

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    return TApplication::Instance().RunUntil(done, timeoutMs);
}

// One window and one device, for one state.
class Session {
public:
    explicit Session(SimConfig config) : device_(config) {
        std::string error;
        if (!device_.Start(g_ports, 200, error)) {
            std::fprintf(stderr, "screenshots: %s\n", error.c_str());
            std::exit(1);
        }
        StartupDone = false;
        window_ = std::make_unique<TClassSimpleForm_253AA30>();
        window_->MainForm->Start();
        RunUntil([&] { return window_->PortCombo->Control->ItemCount() > 0; }, 3000);
    }
    ~Session() {
        DriveUserClose(window_->MainForm->Control);
        TApplication::Instance().Run();
        DisableDispatch();
        window_.reset();
        TApplication::Instance().ProcessEvents();
    }
    void Identify() {
        TControl* combo = window_->PortCombo->Control;
        for (int i = 0; i < combo->ItemCount(); ++i)
            if (combo->ItemText(i) == "COM200") combo->SetCurSel(i - 1);
        combo->SetFocus();
        DriveKey(combo, VK_DOWN);
        RunUntil([&] { return window_->WriteButton->Control->Enabled(); }, 3000);
    }
    void Write() { DriveClick(window_->WriteButton->Control); }
    void WaitForEnd() {
        RunUntil([&] { return window_->OkButton->Control->Visible(); }, 60000);
        TApplication::Instance().RunUntil([] { return false; }, 200); // let the texts settle
    }
    void Shot(const char* state) {
        TApplication::Instance().ProcessEvents();
        const std::string path =
            (std::filesystem::path(g_out) / (g_prefix + state + ".png")).string();
        bool saved = window_->MainForm->Control->SaveScreenshot(path);
        std::printf("%s %s\n", saved ? "wrote" : "could not write", path.c_str());
        g_ok = g_ok && saved;
    }
    TClassSimpleForm_253AA30& Window() { return *window_; }

private:
    DeviceSimulator device_;
    std::unique_ptr<TClassSimpleForm_253AA30> window_;
};

} // namespace

int main(int argc, char** argv) {
    static char offscreen[] = "QT_QPA_PLATFORM=offscreen";
    if (!std::getenv("QT_QPA_PLATFORM")) putenv(offscreen);
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshots dir [prefix]\n");
        return 2;
    }
    g_out = argv[1];
    g_prefix = argc > 2 ? argv[2] : "";
    std::filesystem::create_directories(g_out);
    // A port directory of its own, where the simulator registers COM200.
    g_ports = (std::filesystem::temp_directory_path() /
               ("varnomiksal-shots-" + std::to_string(std::random_device()())))
                  .string();
    std::filesystem::create_directories(g_ports);
    static std::string portSetting;
    portSetting = "VARNOMIKSAL_PORT_DIR=" + g_ports;
    putenv(portSetting.data());
    TApplication::Create(argv[0]);
    {
        Session s({});
        s.Shot("choosing");
        s.Identify();
        s.Shot("ready");
    }
    {
        SimConfig paced;
        paced.baud = kProgramLine.BaudRate;
        Session s(paced);
        s.Identify();
        s.Write();
        RunUntil([&] { return s.Window().Progress->Control->Progress() >= 180; }, 30000);
        s.Shot("uploading");
    }
    {
        Session s({});
        s.Identify();
        s.Write();
        s.WaitForEnd();
        s.Shot("success");
    }
    {
        SimConfig faulty;
        faulty.faults.wrongCrcAt = 40;
        Session s(faulty);
        s.Identify();
        s.Write();
        s.WaitForEnd();
        s.Shot("failure");
    }
    std::filesystem::remove_all(g_ports);
    return g_ok ? 0 : 1;
}
