// varnomiksal-cli as scripts run it: against the device simulator on a pty,
// every exit code with its message, the JSON result, the plain progress
// lines, the port list, and Ctrl+C (SIGINT) in the middle of an upload.
#include "CliProcess.h"
#include "platform/Comm.h"
#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <sys/file.h>

namespace {

const std::string kPort = "COM150";

class Cli : public ::testing::Test {
protected:
    void SetUp() override { TestPortDir(); }
    DeviceSimulator& StartDevice(SimConfig config = {}, int port = 150) {
        sims_.push_back(std::make_unique<DeviceSimulator>(config));
        std::string error;
        EXPECT_TRUE(sims_.back()->Start(TestPortDir(), port, error)) << error;
        return *sims_.back();
    }
    std::vector<std::unique_ptr<DeviceSimulator>> sims_;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

} // namespace

TEST_F(Cli, WriteSucceedsWithPlainProgressWhenStdoutIsNoTerminal) {
    DeviceSimulator& sim = StartDevice();
    std::string out, err;
    ASSERT_EQ(RunCli({"write", kPort, "--yes"}, &out, &err), 0) << out << err;
    EXPECT_TRUE(Has(out, "Device:   VMX-1, firmware 8.3")) << out;
    EXPECT_TRUE(Has(out, "Image:    8.4 (KMV-4)")) << out;
    EXPECT_TRUE(Has(out, "firmware 8.4 (KMV-4) written: 130048 bytes")) << out;
    std::vector<std::string> progress;
    for (const auto& line : Lines(out))
        if (line.rfind("progress:", 0) == 0) progress.push_back(line.substr(0, 14));
    std::vector<std::string> tenths;
    for (int t = 10; t <= 100; t += 10)
        tenths.push_back("progress: " + std::string(t < 100 ? " " : "") + std::to_string(t) + "%");
    EXPECT_EQ(progress, tenths);
    EXPECT_TRUE(err.empty()) << err;
    ASSERT_TRUE(sim.WaitFor([](const SimReport& r) { return r.pusk; }, 3000));
    EXPECT_TRUE(sim.Report().matchesImage);
}

TEST_F(Cli, StdinThatIsNoTerminalNeedsNoConfirmation) {
    // Without --yes: stdin is /dev/null here, so nobody could answer.
    DeviceSimulator& sim = StartDevice();
    std::string out;
    EXPECT_EQ(RunCli({"write", kPort, "--progress=none"}, &out), 0) << out;
    EXPECT_FALSE(Has(out, "progress:"));
    EXPECT_TRUE(sim.Report().matchesImage);
}

TEST_F(Cli, JsonResultsForSuccessAndFailure) {
    StartDevice();
    std::string out;
    ASSERT_EQ(RunCli({"write", "--json", "--yes", kPort}, &out), 0);
    ASSERT_EQ(Lines(out).size(), 1u) << out; // the object alone, no progress
    EXPECT_TRUE(Has(out, "\"command\": \"write\", \"image_version\": \"8.4 (KMV-4)\", "
                         "\"port\": \"COM150\", \"device\": \"VMX-1\", \"version\": \"8.3\", "
                         "\"blocks\": 508, \"seconds\": "))
        << out;
    EXPECT_TRUE(Has(out, "\"result\": \"success\", \"exit_code\": 0, \"message\": \"firmware"))
        << out;

    SimConfig wrong;
    wrong.faults.wrongCrcAt = 2;
    StartDevice(wrong, 151);
    ASSERT_EQ(RunCli({"write", "--json", "--yes", "COM151"}, &out), 1);
    EXPECT_TRUE(Has(out, "\"blocks\": 2, ")) << out;
    EXPECT_TRUE(Has(out, "\"result\": \"error\", \"exit_code\": 1, \"message\": \"transfer "
                         "failed after block 2 of 508"))
        << out;

    ASSERT_EQ(RunCli({"identify", "--json", "COM99"}, &out), 2);
    EXPECT_TRUE(Has(out, "\"exit_code\": 2")) << out;
}

TEST_F(Cli, TransferFailuresExitWithOne) {
    SimConfig wrong;
    wrong.faults.wrongCrcAt = 3;
    DeviceSimulator& a = StartDevice(wrong, 150);
    std::string out, err;
    EXPECT_EQ(RunCli({"write", "COM150", "--yes"}, &out, &err), 1);
    EXPECT_TRUE(Has(err, "transfer failed after block 3 of 508: unexpected reply")) << err;
    EXPECT_FALSE(a.Report().pusk);

    // Silence: the watchdog ends it after three seconds.
    SimConfig silent;
    silent.faults.silenceFrom = 1;
    DeviceSimulator& b = StartDevice(silent, 151);
    EXPECT_EQ(RunCli({"write", "COM151", "--yes"}, &out, &err), 1);
    EXPECT_TRUE(Has(err, "after block 1 of 508: the device stopped answering")) << err;
    EXPECT_EQ(b.Report().received, 2u * 256);
}

TEST_F(Cli, NoDeviceExitsWithTwoAndSaysWhy) {
    std::string out, err;
    // Not a bootloader.
    SimConfig other;
    other.reply = "MODEM READY 1";
    StartDevice(other, 150);
    EXPECT_EQ(RunCli({"identify", "COM150"}, &out, &err), 2);
    EXPECT_TRUE(Has(err, "answered, but not as a Varnomiksal bootloader")) << err;

    // Nothing answers: a port whose far end stays quiet.
    TPtyPort quiet(152);
    EXPECT_EQ(RunCli({"write", "COM152", "--yes"}, &out, &err), 2);
    EXPECT_TRUE(Has(err, "no device answered on COM152 within 3 s")) << err;
    EXPECT_EQ(quiet.Read(4, 100), "VERS");

    // A port another program holds.
    DeviceSimulator& held = StartDevice({}, 153);
    int fd = ::open(held.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(RunCli({"identify", "COM153"}, &out, &err), 2);
    EXPECT_TRUE(Has(err, "is busy: another program holds it")) << err;
    ::close(fd);
    EXPECT_EQ(held.Report().versRequests, 0);

    // Missing ports: a free COM number, a path to nothing, and a path that
    // is no port.
    EXPECT_EQ(RunCli({"identify", "COM99"}, &out, &err), 2);
    EXPECT_TRUE(Has(err, "COM99: no such port")) << err;
    EXPECT_EQ(RunCli({"identify", "/dev/ttyUSB-none"}, &out, &err), 2);
    EXPECT_TRUE(Has(err, "/dev/ttyUSB-none: no such device")) << err;
    EXPECT_EQ(RunCli({"identify", "/dev/null"}, &out, &err), 2);
    EXPECT_TRUE(Has(err, "/dev/null is no serial port in the port list")) << err;
}

TEST_F(Cli, PortsByDevicePathAndTheirList) {
    DeviceSimulator& a = StartDevice({}, 150);
    SimConfig other;
    other.reply = "VARNOMIKSAL KMV-4 7.9";
    DeviceSimulator& b = StartDevice(other, 154);
    std::string out;
    ASSERT_EQ(RunCli({"list"}, &out), 0);
    EXPECT_TRUE(Has(out, "COM150 " + TestPortDir() + "/COM150 -> " + a.DevicePath() + "\n")) << out;
    EXPECT_TRUE(Has(out, "COM154 " + TestPortDir() + "/COM154 -> " + b.DevicePath() + "\n")) << out;
    EXPECT_LT(out.find("COM150"), out.find("COM154"));
    ASSERT_EQ(RunCli({"list", "--json"}, &out), 0);
    EXPECT_TRUE(Has(out, "{\"port\": \"COM154\", \"device\": \"" + TestPortDir() + "/COM154\"}"))
        << out;

    // The device path names the same port as its COM name.
    ASSERT_EQ(RunCli({"identify", b.DevicePath()}, &out), 0);
    EXPECT_EQ(out, "Device:   KMV-4\nFirmware: 7.9\n");
}

TEST_F(Cli, UsageErrorsExitWithThree) {
    std::string out, err;
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {}, {"flash"}, {"write"}, {"write", "COM150", "--force"}, {"list", "extra"}}) {
        EXPECT_EQ(RunCli(args, &out, &err), 3) << ::testing::PrintToString(args);
        EXPECT_TRUE(Has(err, "(try --help)")) << err;
    }
    // Bad port names are usage errors too: nothing is opened.
    for (const char* bad : {"COM0", "COM256", "ttyUSB0", "port3"}) {
        EXPECT_EQ(RunCli({"identify", bad}, &out, &err), 3) << bad;
        EXPECT_TRUE(Has(err, "is no port name")) << err;
    }
    ASSERT_EQ(RunCli({"--help"}, &out), 0);
    for (const char* code : {"\n  0    success", "\n  1    transfer failed", "\n  2    no device",
                             "\n  3    usage error", "\n  130  interrupted", "waits 3 s"})
        EXPECT_TRUE(Has(out, code)) << code;
    ASSERT_EQ(RunCli({"--version"}, &out), 0);
    EXPECT_EQ(out.rfind("varnomiksal-cli ", 0), 0u) << out;
}

TEST_F(Cli, CtrlCStopsTheUploadAndReleasesThePort) {
    SimConfig paced;
    paced.baud = 384620; // a tenth of the line time: the whole image in about 3.5 s
    DeviceSimulator& sim = StartDevice(paced);
    TCliProcess cli({"write", kPort, "--yes", "--progress=plain"});
    ASSERT_TRUE(cli.WaitForOutput("progress:  10%", 20000)) << cli.out << cli.err;
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), 130) << cli.err;
    EXPECT_TRUE(Has(cli.err, "interrupted after block ")) << cli.err;
    EXPECT_TRUE(Has(cli.err, "the port is released and the device stays in its bootloader: "
                             "run the write again"))
        << cli.err;
    EXPECT_FALSE(Has(cli.out, "written"));
    // Stopped at once: the device got far less than the image and no "PUSK".
    SimReport r = sim.Report();
    EXPECT_LT(r.received, DeviceSimulator::ImageSize / 2);
    EXPECT_FALSE(r.pusk);
    EXPECT_TRUE(TComm::Open(kPort) != nullptr); // free for the next run
}
