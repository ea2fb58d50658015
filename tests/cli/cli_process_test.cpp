// varnomiksal-cli as scripts run it: against the device simulator on a pty,
// every exit code with its message, the JSON result, the plain progress
// lines, the port list, Ctrl+C (SIGINT) in the middle of an upload and the
// device reset it calls for, a prompt on a terminal, and a closed stdout.
// The tests write the build's placeholder image (--allow-placeholder).
#include "CliProcess.h"
#include "DeviceTest.h"
#include "app/cli/Flasher.h"
#include "elements/qeMMTimer.h"
#include "platform/Comm.h"
#include "testing/Crc16.h"
#include "testing/WriteTap.h"
#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/file.h>

namespace {

const std::string kPort = "COM150";
const std::string kAllow = "--allow-placeholder";

class Cli : public DeviceTest {
protected:
    DeviceSimulator& StartDevice(SimConfig config = {}, int port = 150) {
        return DeviceTest::StartDevice(port, config);
    }
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

TEST_F(Cli, WriteSucceedsWithPlainProgressOnStderrWhenItIsNoTerminal) {
    DeviceSimulator& sim = StartDevice();
    std::string out, err;
    ASSERT_EQ(RunCli({"write", kPort, "--yes", kAllow}, &out, &err), 0) << out << err;
    // Results on stdout, progress on stderr.
    EXPECT_EQ(out,
              "Device:   VMX-1, firmware 8.3\n"
              "Image:    placeholder image (not a firmware), 130048 bytes in 508 blocks\n"
              "Wrote 130048 bytes in " +
                  out.substr(out.rfind(" in ") + 4, out.find(" to VMX-1") - out.rfind(" in ") - 4) +
                  " to VMX-1 on COM150: 8.3 → placeholder image (not a firmware)\n");
    EXPECT_TRUE(Has(out, " kbit/s) to VMX-1")) << out;
    // One line at each true tenth: 10 % is block 51 of 508.
    std::vector<std::string> progress;
    for (const auto& line : Lines(err))
        progress.push_back(line.substr(0, line.rfind("  ")));
    EXPECT_EQ(progress, (std::vector<std::string>{
                            "progress:  10%  block 51/508", "progress:  20%  block 102/508",
                            "progress:  30%  block 153/508", "progress:  40%  block 204/508",
                            "progress:  50%  block 254/508", "progress:  60%  block 305/508",
                            "progress:  70%  block 356/508", "progress:  80%  block 407/508",
                            "progress:  90%  block 458/508", "progress: 100%  block 508/508"}))
        << err;
    ASSERT_TRUE(sim.WaitFor([](const SimReport& r) { return r.pusk; }, 3000));
    EXPECT_TRUE(sim.Report().matchesImage);
}

TEST_F(Cli, StdinThatIsNoTerminalNeedsNoConfirmation) {
    // Without --yes: stdin is /dev/null here, so nobody could answer.
    DeviceSimulator& sim = StartDevice();
    std::string out;
    EXPECT_EQ(RunCli({"write", kPort, "--progress=none", kAllow}, &out), 0) << out;
    EXPECT_FALSE(Has(out, "progress:"));
    EXPECT_TRUE(sim.Report().matchesImage);
}

TEST_F(Cli, JsonResultsForSuccessAndFailure) {
    StartDevice();
    std::string out;
    ASSERT_EQ(RunCli({"write", "--json", "--yes", kPort, kAllow}, &out), 0);
    ASSERT_EQ(Lines(out).size(), 1u) << out; // the object alone, no progress
    EXPECT_TRUE(Has(out, "\"command\": \"write\", \"image_version\": \"placeholder image (not a "
                         "firmware)\", \"image_placeholder\": true, \"port\": \"COM150\", "
                         "\"device\": \"VMX-1\", \"version\": \"8.3\", \"blocks\": 508, "
                         "\"bytes\": 130048, \"seconds\": "))
        << out;
    EXPECT_TRUE(Has(out, "\"bytes_per_second\": ")) << out;
    EXPECT_TRUE(Has(out, "\"result\": \"success\", \"exit_code\": 0, \"message\": \"Wrote 130048 "))
        << out;

    SimConfig wrong;
    wrong.faults.wrongCrcAt = 2;
    StartDevice(wrong, 151);
    ASSERT_EQ(RunCli({"write", "--json", "--yes", "COM151", kAllow}, &out), 1);
    EXPECT_TRUE(Has(out, "\"blocks\": 2, \"bytes\": 768, ")) << out;
    EXPECT_TRUE(Has(out, "\"result\": \"error\", \"exit_code\": 1, \"message\": \"transfer "
                         "failed: block 3 of 508 failed"))
        << out;

    ASSERT_EQ(RunCli({"identify", "--json", "COM99"}, &out), 2);
    EXPECT_TRUE(Has(out, "\"exit_code\": 2")) << out;
}

TEST_F(Cli, PlaceholderImageIsWrittenOnlyWhenAllowed) {
    DeviceSimulator& sim = StartDevice();
    std::string out, err;
    EXPECT_EQ(RunCli({"write", kPort, "--yes"}, &out, &err), 3);
    EXPECT_TRUE(Has(err, "this build carries a placeholder image (not a firmware)")) << err;
    EXPECT_TRUE(Has(err, "--allow-placeholder")) << err;
    EXPECT_EQ(RunCli({"write", kPort, "--yes", "--json"}, &out), 3);
    EXPECT_TRUE(Has(out, "\"image_placeholder\": true, \"result\": \"error\", \"exit_code\": 3"))
        << out;
    EXPECT_EQ(sim.Report().versRequests, 0); // the port was never opened
    ASSERT_EQ(RunCli({"--version"}, &out), 0);
    EXPECT_TRUE(Has(out, " carries placeholder image (not a firmware)\n")) << out;
    EXPECT_TRUE(Has(out, "~placeholder carries")) << out;
}

// The device ends the upload early: the result counts what was really sent.
TEST_F(Cli, SuccessReportsTheBlocksAndBytesSent) {
    TPtyPort device(155);
    TCliProcess cli({"write", "COM155", "--yes", "--json", kAllow});
    ASSERT_EQ(device.Read(4), "VERS");
    device.Write("VARNOMIKSAL VMX-1 8.3");
    uint16_t crc = 0xFFFF;
    for (int block = 0; block < 2; ++block) {
        std::string bytes = device.Read(256);
        ASSERT_EQ(bytes.size(), 256u);
        crc = Crc16Modbus(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), crc);
        std::string ack = {char(crc >> 8), char(crc & 0xFF)};
        device.Write(block == 1 ? ack + "FZ" : ack);
    }
    EXPECT_EQ(device.Read(4), "PUSK");
    EXPECT_EQ(cli.Wait(), 0) << cli.err;
    EXPECT_TRUE(Has(cli.out, "\"blocks\": 2, \"bytes\": 512, ")) << cli.out;
    EXPECT_TRUE(Has(cli.out, "\"message\": \"Wrote 512 bytes in ")) << cli.out;
}

TEST_F(Cli, TransferFailuresExitWithOne) {
    SimConfig wrong;
    wrong.faults.wrongCrcAt = 3;
    DeviceSimulator& a = StartDevice(wrong, 150);
    std::string out, err;
    EXPECT_EQ(RunCli({"write", "COM150", "--yes", kAllow}, &out, &err), 1);
    EXPECT_TRUE(Has(err, "transfer failed: block 4 of 508 failed: unexpected reply")) << err;
    EXPECT_TRUE(Has(err, "reset or power-cycle the device into its bootloader")) << err;
    EXPECT_FALSE(a.Report().pusk);

    // Silence: the watchdog ends it after three seconds.
    SimConfig silent;
    silent.faults.silenceFrom = 1;
    DeviceSimulator& b = StartDevice(silent, 151);
    EXPECT_EQ(RunCli({"write", "COM151", "--yes", kAllow}, &out, &err), 1);
    EXPECT_TRUE(Has(err, "block 2 of 508 failed: the device stopped answering")) << err;
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
    EXPECT_EQ(RunCli({"write", "COM152", "--yes", kAllow}, &out, &err), 2);
    EXPECT_TRUE(Has(err, "no device answered on COM152 within 3 s")) << err;
    EXPECT_TRUE(Has(err, "reset or power-cycle the device into its bootloader")) << err;
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
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{},
                                               {"flash"},
                                               {"identify", "COM1", "COM2"},
                                               {"write", "COM150", "--force"},
                                               {"list", "extra"}}) {
        EXPECT_EQ(RunCli(args, &out, &err), 3) << ::testing::PrintToString(args);
        EXPECT_TRUE(Has(err, "(try --help)")) << err;
    }
    // Asked for JSON, usage errors answer in JSON, wherever --json stands.
    EXPECT_EQ(RunCli({"write", "COM150", "--force", "--json"}, &out), 3);
    EXPECT_EQ(out, "{\"result\": \"error\", \"exit_code\": 3, \"message\": \"unknown option "
                   "'--force' (try --help)\"}\n");
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

TEST_F(Cli, CtrlCStopsTheUploadAndTheDeviceNeedsAResetBeforeTheNextWrite) {
    SimConfig paced;
    paced.baud = 384620; // a tenth of the line time: the whole image in about 3.5 s
    DeviceSimulator& sim = StartDevice(paced);
    TCliProcess cli({"write", kPort, "--yes", "--progress=plain", kAllow});
    ASSERT_TRUE(cli.WaitForOutput("progress:  10%", 20000, true)) << cli.out << cli.err;
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), 130) << cli.err;
    EXPECT_TRUE(Has(cli.err, "interrupted at block ")) << cli.err;
    EXPECT_TRUE(Has(cli.err, "the port is released, and the device is left in the middle of the "
                             "transfer: reset or power-cycle the device into its bootloader, then "
                             "run the write again"))
        << cli.err;
    EXPECT_FALSE(Has(cli.out, "Wrote"));
    // Stopped at once: the device got far less than the image and no "PUSK".
    SimReport r = sim.Report();
    EXPECT_LT(r.received, DeviceSimulator::ImageSize / 2);
    EXPECT_FALSE(r.pusk);
    EXPECT_TRUE(TComm::Open(kPort) != nullptr); // free for the next run
    // Without a reset the device still takes every byte for the image: it
    // answers nothing, or a block's CRC if "VERS" completed one.
    std::string out, err;
    EXPECT_EQ(RunCli({"write", kPort, "--yes", kAllow}, &out, &err), 2);
    EXPECT_TRUE(Has(err, "reset or power-cycle")) << err;
    EXPECT_EQ(sim.Report().versRequests, 1);
}

TEST_F(Cli, AfterAnInterruptedWriteAndAResetTheNextWriteSucceeds) {
    SimConfig config;
    config.baud = 384620;
    config.resetAfterMs = 2000; // longer than any pause of a running upload
    DeviceSimulator& sim = StartDevice(config);
    TCliProcess cli({"write", kPort, "--yes", "--progress=plain", kAllow});
    ASSERT_TRUE(cli.WaitForOutput("progress:  10%", 20000, true)) << cli.err;
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(), 130) << cli.err;
    EXPECT_TRUE(Has(cli.err, "reset or power-cycle the device into its bootloader")) << cli.err;
    ASSERT_TRUE(sim.WaitFor([](const SimReport& r) { return r.resets == 1; }, 10000));
    std::string out, err;
    ASSERT_EQ(RunCli({"write", kPort, "--yes", kAllow}, &out, &err), 0) << err;
    EXPECT_TRUE(sim.Report().matchesImage);
    EXPECT_EQ(sim.Report().resets, 1);
}

// A Ctrl+C that lands while the final acknowledgement is handled: "PUSK" has
// been written, so the write succeeded, whichever the main thread sees first.
TEST_F(Cli, CtrlCWithTheFinalAcknowledgementIsASuccess) {
    DeviceSimulator& sim = StartDevice();
    TInterruptWatch watch;
    TFlasher flasher(watch);
    WriteTap* writes = TapWrites(flasher.Schema(), flasher.Schema().Session);
    ASSERT_EQ(flasher.Identify(kPort, 3000).outcome, TIdentify::found);
    auto announce = flasher.Schema().Success->listener;
    flasher.Schema().Success->listener = [&](const std::string& value) {
        std::raise(SIGINT); // before the flasher hears of the success
        announce(value);
    };
    TUploadResult r = flasher.Upload([](int, double) {});
    EXPECT_TRUE(watch.Interrupted());
    EXPECT_EQ(r.outcome, TUpload::success);
    EXPECT_EQ(r.bytes, (long long)DeviceSimulator::ImageSize);
    EXPECT_EQ(writes->OtherWrites(), (std::vector<std::string>{"VERS", "PUSK"}));
    EXPECT_TRUE(sim.Report().matchesImage);
}

// A stray burst while the prompt is shown decides a failure: the write then
// sends nothing, starts no watchdog and reports no negative time.
TEST_F(Cli, AStrayBurstBeforeTheStartFailsTheWriteWithoutAByte) {
    SimConfig c;
    c.reply = "VARNOMIKSAL DEV 2.1";
    c.faults.splitReplyAt = 17; // ".1" comes as a burst of its own
    c.burstGapMs = 300;
    StartDevice(c);
    TInterruptWatch watch;
    TFlasher flasher(watch);
    ASSERT_EQ(flasher.Identify(kPort, 3000).outcome, TIdentify::found);
    ASSERT_TRUE(flasher.Schema().Failure->WaitForCount(1, 3000));
    TUploadResult r = flasher.Upload([](int, double) {});
    EXPECT_EQ(r.outcome, TUpload::failed);
    EXPECT_EQ(r.bytes, 0);
    EXPECT_GE(r.seconds, 0.0);
    EXPECT_FALSE(flasher.Schema().Upload()->Watchdog->timer.Enabled());
}

// A reply that the probe holds for the rest of its name decides once it is
// whole, or once the wait for the rest has ended.
TEST_F(Cli, IdentifyWaitsForAReplyThatIsNotWholeYet) {
    SimConfig split;
    split.reply = "VARNOMIKSAL DEV 2.1";
    split.faults.splitReplyAt = 14; // "VARNOMIKSAL DE", then "V 2.1"
    split.burstGapMs = 300;
    SimConfig cut;
    cut.reply = "VARNOMIKSAL"; // and nothing more
    StartDevice(split, 150);
    StartDevice(cut, 151);
    TInterruptWatch watch;
    TFlasher a(watch), b(watch);
    TIdentifyResult found = a.Identify("COM150", 3000);
    EXPECT_EQ(found.outcome, TIdentify::found);
    EXPECT_EQ(found.device, "DEV");
    EXPECT_EQ(found.version, "2.1");
    EXPECT_EQ(b.Identify("COM151", 3000).outcome, TIdentify::not_bootloader);
}

// On a terminal the write asks, --json or not; the prompt goes to stderr, so
// stdout holds the JSON object alone.
TEST_F(Cli, JsonOnATerminalStillAsks) {
    DeviceSimulator& sim = StartDevice();
    TCliProcess cli({"write", kPort, "--json", kAllow}, {.terminalStdin = true});
    ASSERT_TRUE(cli.WaitForOutput("[y/N] ", 10000, true)) << cli.err;
    EXPECT_TRUE(Has(cli.err, "Write placeholder image (not a firmware) to VMX-1 on COM150?"));
    cli.Type("n\n");
    EXPECT_EQ(cli.Wait(), 130);
    EXPECT_EQ(Lines(cli.out).size(), 1u) << cli.out;
    EXPECT_TRUE(Has(cli.out, "\"result\": \"interrupted\", \"exit_code\": 130, \"message\": "
                             "\"declined; nothing was written\""))
        << cli.out;
    EXPECT_EQ(sim.Report().received, 0u);
}

// Nobody reads stdout: the results cannot be written, but the upload goes on
// to the end and its exit code.
TEST_F(Cli, AClosedStdoutDoesNotStopTheUpload) {
    DeviceSimulator& sim = StartDevice();
    TCliProcess cli({"write", kPort, "--yes", kAllow}, {.closedStdout = true});
    EXPECT_EQ(cli.Wait(), 0) << cli.err;
    EXPECT_TRUE(sim.Report().matchesImage);
    EXPECT_TRUE(Has(cli.err, "progress: 100%")) << cli.err;
}
