// The program's real window schema (on Qt's offscreen platform, or on Win32
// under wine), against the device simulator on a virtual serial port.
#pragma once

#include "app/LastSessionFile.h"
#include "app/TClassSimpleForm_253AA30.h"
#include "testing/ui/toolkit/Drive.h"
#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"
#include "ui/elements/qeButton.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeEdit.h"
#include "ui/elements/qeImage.h"
#include "ui/elements/qeLabel.h"
#include "ui/elements/qeProgressBar.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/WinDefs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

// The state folder of this test process, where the window keeps its last
// session's transcript (set in the environment on both systems).
inline const std::string& TestStateDir() {
    static const std::string dir = [] {
        auto path = std::filesystem::path(TestPortDir()).string() + "-state";
        std::filesystem::create_directories(path);
        static std::string xdg = "XDG_STATE_HOME=" + path;
        static std::string local = "LOCALAPPDATA=" + path;
        putenv(xdg.data());
        putenv(local.data());
        return path;
    }();
    return dir;
}

// The window's transcript file (or the one before it, with ".1").
inline std::string ReadLastSession(const std::string& suffix = "") {
    auto path = LastSessionPath();
    path += suffix;
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        static char offscreen[] = "QT_QPA_PLATFORM=offscreen";
        if (!std::getenv("QT_QPA_PLATFORM")) putenv(offscreen);
        dir_ = TestPortDir();
        TestStateDir();
        TApplication::Instance();
    }
    void TearDown() override {
        CloseWindow();
        sims_.clear();
    }

    // A device answering on COM<port>.
    DeviceSimulator& AddDevice(int port, SimConfig config = {}) {
        sims_.push_back(std::make_unique<DeviceSimulator>(config));
        std::string error;
        EXPECT_TRUE(sims_.back()->Start(dir_, port, error)) << error;
        return *sims_.back();
    }

    // Builds the window and starts it, as the program entry does.
    void OpenWindow() {
        StartupDone = false; // as at program start: the sub-schemas wait for the form's start
        schema_ = std::make_unique<TClassSimpleForm_253AA30>();
        schema_->MainForm->Start();
        Pump();
    }

    // Closes the window as the user does and frees the schema, as the program
    // entry does after its loop.
    void CloseWindow() {
        if (!schema_) return;
        DriveUserClose(schema_->MainForm->Control);
        TApplication::Instance().Run();
        DisableDispatch();
        schema_.reset();
        Pump();
    }

    static void Pump() {
        for (int i = 0; i < 3; ++i)
            TApplication::Instance().ProcessEvents();
    }

    static bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
        return TApplication::Instance().RunUntil(done, timeoutMs);
    }

    int IndexOfPort(const std::string& name) const {
        TControl* combo = schema_->PortCombo->Control;
        for (int i = 0; i < combo->ItemCount(); ++i)
            if (combo->ItemText(i) == name) return i;
        return -1;
    }

    // Chooses a port in the list with the keyboard, as a user does.
    void ChoosePort(const std::string& name) {
        int index = IndexOfPort(name);
        ASSERT_GE(index, 0) << name << " is not in the port list";
        TControl* combo = schema_->PortCombo->Control;
        combo->SetCurSel(index - 1);
        combo->SetFocus();
        DriveKey(combo, VK_DOWN);
        Pump();
    }

    std::string Status() const { return schema_->StatusEdit->Control->Text(); }

    // Chooses the port and waits for the probe's verdict.
    std::string Identify(const std::string& port) {
        const std::string before = Status();
        ChoosePort(port);
        RunUntil([&] { return Status() != before; }, 5000);
        return Status();
    }

    // The write button is enabled once a device has been identified.
    bool WaitUntilWritable() {
        return RunUntil([&] { return schema_->WriteButton->Control->Enabled(); }, 3000);
    }

    // Clicks "Записать" and waits until the upload ends either way.
    bool UploadAndWait(int timeoutMs) {
        if (!WaitUntilWritable()) return false;
        DriveClick(schema_->WriteButton->Control);
        // The result texts are shown last, after the OK button.
        return RunUntil(
            [&] {
                return schema_->OkButton->Control->Visible() &&
                       (schema_->SuccessLabel->Control->Visible() ||
                        schema_->ErrorImage->Control->Visible());
            },
            timeoutMs);
    }

    std::string dir_;
    std::vector<std::unique_ptr<DeviceSimulator>> sims_;
    std::unique_ptr<TClassSimpleForm_253AA30> schema_;
};
