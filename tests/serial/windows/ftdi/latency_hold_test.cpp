// A session on a port that looks like an FTDI adapter's: its latency timer
// is set to 1 ms before the port opens and given back after it closes,
// through the stand-in D2XX library beside this program; a missing library
// or a failing call leaves the open working and is said in the log.
#include "device/ConsoleSchema.h"
#include "platform/windows/Ftd2xx.h"
#include "serial/qeComAsync.h"
#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr int kPort = 171;

std::wstring BesideThisProgram(const wchar_t* file) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::wstring(path, n)).parent_path() / file;
}

class LatencyHold : public ::testing::Test {
protected:
    void SetUp() override {
        calls_ = std::filesystem::temp_directory_path() / "ftd2xx-standin.log";
        std::filesystem::remove(calls_);
        SetEnvironmentVariableA("FTD2XX_STANDIN_LOG", calls_.string().c_str());
        SetEnvironmentVariableA("FTD2XX_STANDIN_COM", std::to_string(kPort).c_str());
        SetEnvironmentVariableA("FTD2XX_STANDIN_FAIL", nullptr);
        seam_.library = BesideThisProgram(L"ftd2xx.dll");
        seam_.ftdiPort = "COM" + std::to_string(kPort);
        UseFtdiSeam(&seam_);
        sim_ = std::make_unique<DeviceSimulator>(SimConfig{});
        std::string error;
        ASSERT_TRUE(sim_->Start(TestPortDir(), kPort, error)) << error;
    }
    void TearDown() override {
        schema_.reset();
        sim_.reset();
        UseFtdiSeam(nullptr);
    }
    // Identifies the device through a session, then closes the port.
    void Session() {
        schema_ = std::make_unique<TConsoleSchema>();
        schema_->ChoosePort(seam_.ftdiPort);
        ASSERT_TRUE(schema_->Replies->WaitHandled(1, 3000));
        EXPECT_EQ(schema_->DeviceFound->Count(), 1u) << "the open goes on whatever the timer";
        hold_ = schema_->Session.SerialPort->LatencyHold();
        schema_->Close();
    }
    std::string Calls() {
        std::ifstream in(calls_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string Log() {
        std::string text;
        for (const std::string& line : schema_->Log->Lines())
            text += line.substr(11) + "\n"; // after the seconds (9 characters) and 2 spaces
        return text;
    }

    std::filesystem::path calls_;
    TFtdiSeam seam_;
    std::unique_ptr<DeviceSimulator> sim_;
    std::unique_ptr<TConsoleSchema> schema_;
    TLatencyHoldState hold_ = TLatencyHoldState::not_needed;
};

} // namespace

TEST_F(LatencyHold, SetBeforeTheOpenAndGivenBackAfterTheClose) {
    Session();
    EXPECT_EQ(hold_, TLatencyHoldState::held);
    EXPECT_EQ(Calls(), "open, port closed\nget 16, port closed\nset 1, port closed\n"
                       "open, port closed\nset 16, port closed\n");
    std::string log = Log();
    EXPECT_NE(log.find("latency timer of the FTDI adapter set to 1 ms (was 16 ms)\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("port closed\nlatency timer of the FTDI adapter given back: 16 ms\n"),
              std::string::npos)
        << log;
}

TEST_F(LatencyHold, AFailingCallOrNoLibraryLeavesTheOpenWorking) {
    SetEnvironmentVariableA("FTD2XX_STANDIN_FAIL", "set");
    Session();
    EXPECT_EQ(hold_, TLatencyHoldState::failed);
    EXPECT_EQ(Calls(), "open, port closed\nget 16, port closed\nset 1 failed, port closed\n")
        << "nothing to give back";
    EXPECT_NE(Log().find("latency timer of the FTDI adapter left at 16 ms: ftd2xx.dll could "
                         "not set it"),
              std::string::npos)
        << Log();

    seam_.library = BesideThisProgram(L"no-such-ftd2xx.dll");
    Session();
    EXPECT_EQ(hold_, TLatencyHoldState::failed);
    EXPECT_NE(Log().find("left as it is: FTDI's D2XX library (ftd2xx.dll) is not installed"),
              std::string::npos)
        << Log();
}
