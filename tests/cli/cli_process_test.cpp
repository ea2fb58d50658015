// varnomiksal-cli as scripts run it: against the device simulator on a pty,
// every exit code with its message, the JSON result, the plain progress
// lines, the port list, Ctrl+C (SIGINT) in the middle of an upload and the
// device reset it calls for, a prompt on a terminal, and a closed stdout.
// The tests write the build's placeholder image (--allow-placeholder).
#include "CliProcess.h"
#include "DeviceTest.h"
#include "device/Flasher.h"
#include "elements/qeMMTimer.h"
#include "platform/Comm.h"
#include "runtime/qeHub.h"
#include "testing/Crc16.h"
#include "testing/WriteTap.h"
#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sys/file.h>
#include <thread>

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

// A bootloader that answers "VERS" once per session takes every later byte
// as image data: write sends the image on the session that asked, with
// nothing in between.
TEST_F(Cli, ABootloaderThatAnswersOnceIsWrittenOnTheSessionThatAsked) {
    SimConfig strict;
    strict.strict = true;
    DeviceSimulator& sim = StartDevice(strict);
    std::string out, err;
    ASSERT_EQ(RunCli({"write", kPort, "--yes", kAllow}, &out, &err), 0) << out << err;
    EXPECT_TRUE(sim.WaitFor([](const SimReport& r) { return r.pusk; }, 5000));
    EXPECT_TRUE(sim.Report().matchesImage);
    EXPECT_EQ(sim.Report().versRequests, 1);
}

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
        EXPECT_TRUE(Has(err, "is not a port name")) << err;
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

namespace {

// In front of the port's write: does `act` on the thread that writes "PUSK"
// before letting the write on, to race the end of an upload on purpose.
class BeforeStart : public TQeElement {
public:
    TEventLink out;
    std::function<void()> act;
    void inWrite(TData& d, uint16_t) {
        if ((d.type & ~data_forward) == data_str && d.sdata.view() == "PUSK") act();
        Fire(out, d);
    }
};

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// Only what was asked, or nothing: an empty file name and a port named twice
// (by name, or by name and path) are usage errors before any port is asked.
TEST_F(Cli, AnEmptyFileNameOrAPortNamedTwiceOpensNothing) {
    DeviceSimulator& sim = StartDevice();
    std::string path = std::filesystem::read_symlink(TestPortDir() + "/" + kPort).string();
    std::string out, err;
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{"write", kPort, "--image="},
                                               {"write", kPort, "--log", ""},
                                               {"write", kPort, kPort},
                                               {"write", kPort, path}}) {
        args.insert(args.end(), {"--yes", kAllow});
        EXPECT_EQ(RunCli(args, &out, &err), 3) << ::testing::PrintToString(args) << err;
    }
    EXPECT_TRUE(Has(err, "'" + path + "' names COM150, as 'COM150' does")) << err;
    EXPECT_EQ(sim.Report().versRequests, 0);
}

// Ctrl+C, a termination request or a lost terminal while one device has
// answered and another is still being asked: neither gets an image byte.
TEST_F(Cli, AnInterruptionBeforeTheUploadWritesNothing) {
    SimConfig silent;
    silent.reply = "";
    DeviceSimulator& answers = StartDevice();
    DeviceSimulator& quiet = StartDevice(silent, 151);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TCliProcess cli({"write", kPort, "COM151", "--yes", kAllow});
        ASSERT_TRUE(quiet.WaitFor([](const SimReport& r) { return r.versRequests > 0; }, 5000));
        // The other device has answered by now; it makes no difference if not.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cli.Signal(signal);
        EXPECT_EQ(cli.Wait(), 130) << signal << cli.err;
        EXPECT_TRUE(Has(cli.err, "nothing was written")) << cli.err;
        EXPECT_EQ(answers.Report().received, 0u) << signal;
        EXPECT_EQ(quiet.Report().received, 0u) << signal;
    }
}

// A lost terminal (an SSH session dropped) once the upload runs: it goes on
// to its end, and the outcome still reaches the log and the exit code.
TEST_F(Cli, ALostTerminalLetsTheUploadFinish) {
    SimConfig paced;
    paced.baud = 384620;
    DeviceSimulator& sim = StartDevice(paced);
    std::string log = TestPortDir() + "-hangup.log";
    TCliProcess cli({"write", kPort, "--yes", "--progress=plain", "--log", log, kAllow});
    ASSERT_TRUE(cli.WaitForOutput("progress:  10%", 20000, true)) << cli.err;
    cli.Signal(SIGHUP);
    EXPECT_EQ(cli.Wait(), 0) << cli.err;
    EXPECT_TRUE(sim.Report().matchesImage);
    EXPECT_TRUE(sim.Report().pusk);
    EXPECT_TRUE(Has(ReadText(log), "  outcome: success, 130048 bytes written\n"));
    std::filesystem::remove(log);
}

// An interruption racing the final acknowledgement: the first decided end
// wins. Success won here, so "PUSK" goes out whole while the interrupt waits;
// and a port that closes under "PUSK" makes the upload a failure of its own.
TEST_F(Cli, SuccessOnlyOnceTheStartCommandHasLeft) {
    for (bool refuse : {false, true}) {
        DeviceSimulator& sim = StartDevice({}, refuse ? 151 : 150);
        TInterruptWatch watch;
        TFlasher flasher(watch);
        TConsoleSchema& schema = flasher.Schema();
        auto* gate = schema.Add<BeforeStart>();
        InsertTap<&BeforeStart::inWrite>(schema.Session.PortWriteHub->onEvent[0], gate);
        gate->act = [&] {
            if (refuse) {
                FireNull(MakeLink<&TQeHub::inSpread>(0, schema.Session.ClosePortHub));
                return;
            }
            std::raise(SIGINT);
            // Long enough for the main thread to close the port, had it not
            // given way.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        };
        ASSERT_EQ(flasher.Identify(refuse ? "COM151" : kPort, 3000).outcome, TIdentify::found);
        TUploadResult r = flasher.Upload([](int, double) {});
        flasher.Close();
        EXPECT_EQ(r.bytes, (long long)DeviceSimulator::ImageSize);
        // The device reads what the port let go in its own time.
        EXPECT_EQ(sim.WaitFor([](const SimReport& r) { return r.pusk; }, refuse ? 300 : 5000),
                  !refuse);
        if (!refuse) {
            EXPECT_EQ(r.outcome, TUpload::success);
            continue;
        }
        EXPECT_EQ(r.outcome, TUpload::failed);
        EXPECT_EQ(r.failure, TUploadFailure::start_lost);
        std::vector<std::string> log = flasher.TakeLog();
        auto failed = std::find_if(log.begin(), log.end(), [](const std::string& line) {
            return Has(line, "the start command \"PUSK\" did not reach the device");
        });
        ASSERT_NE(failed, log.end());
        EXPECT_TRUE(Has(failed[1], "outcome: failure")) << failed[1];
    }
}

// A device's text reaches a terminal with its controls visible, and JSON
// exactly, escaped.
TEST_F(Cli, DeviceTextIsShownSafely) {
    SimConfig c;
    c.reply = "VARNOMIKSAL \x1B[2JDEV 2.1\r\n";
    StartDevice(c);
    std::string out, err;
    ASSERT_EQ(RunCli({"identify", kPort, "-v"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "Device:   \\x1B[2JDEV\nFirmware: 2.1\\r\\n\n");
    EXPECT_TRUE(Has(err, "identified: device \\x1B[2JDEV, firmware 2.1\\r\\n\n")) << err;
    EXPECT_FALSE(Has(out + err, "\x1B")) << err;
    EXPECT_TRUE(Has(err, "opened COM150 (/dev/pts/")) << err; // the device the link leads to
    ASSERT_EQ(RunCli({"identify", kPort, "--json"}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(out, "\"device\": \"\\u001b[2JDEV\", \"version\": \"2.1\\r\\n\"")) << out;
}

namespace {

// Runs `command` in a detached tmux session of `columns` columns, waits for
// it to end, and returns the pane's whole history with wrapped lines joined.
std::string RunInTmux(const std::string& command, int columns) {
    // A server of its own each time: a new one under a name whose last
    // server is still going away would be refused.
    static int sessions = 0;
    std::string tmux =
        "tmux -L varno-test-" + std::to_string(::getpid()) + "-" + std::to_string(++sessions) + " ";
    std::string start = tmux + "new-session -d -s cli -x " + std::to_string(columns) + " -y 30 '" +
                        command + "; echo EXIT=$?; sleep 60'";
    if (std::system(start.c_str()) != 0) return "";
    std::string pane;
    for (int i = 0; i < 600 && !Has(pane, "EXIT="); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::string file = TestPortDir() + "-pane.txt";
        if (std::system((tmux + "capture-pane -p -J -S - -t cli > " + file).c_str()) == 0)
            pane = ReadText(file);
        std::filesystem::remove(file);
    }
    [[maybe_unused]] int killed = std::system((tmux + "kill-server").c_str());
    return pane;
}

} // namespace

// -v beside the bar on a terminal: the log lines stand above it, and the bar
// is drawn anew below them; no line holds pieces of both.
TEST_F(Cli, VerboseLinesStandAboveTheBar) {
    if (std::system("tmux -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs tmux";
    SimConfig paced;
    paced.baud = 384620;
    const std::regex log(R"(^ *\d+\.\d{3}  .*)"), bar(R"(^(\[[#.]+\])? *\d+%  block .*)");
    for (int columns : {40, 120}) {
        int port = columns == 40 ? 150 : 151; // a device that has started its firmware is gone
        StartDevice(paced, port);
        std::string pane =
            RunInTmux("VARNOMIKSAL_PORT_DIR=" + TestPortDir() + " " + CLI_PATH + " write COM" +
                          std::to_string(port) + " --yes -v " + kAllow,
                      columns);
        ASSERT_TRUE(Has(pane, "EXIT=0")) << pane;
        int bars = 0;
        for (const std::string& line : Lines(pane)) {
            bool isLog = std::regex_match(line, log), isBar = std::regex_match(line, bar);
            bars += isBar;
            EXPECT_TRUE(line.empty() || (isLog && !Has(line, "%  block")) || isBar ||
                        line.rfind("Device:", 0) == 0 || line.rfind("Image:", 0) == 0 ||
                        line.rfind("Wrote", 0) == 0 || line.rfind("EXIT=", 0) == 0)
                << columns << " columns: " << line;
        }
        EXPECT_EQ(bars, 1) << pane; // the last, left standing under the log
    }
}

// The demo's device is back in its bootloader a moment after "PUSK", as a
// device that was reset: the same write works twice in a row.
TEST_F(Cli, ADeviceResetAfterItsStartIsWrittenAgain) {
    SimConfig c;
    c.restartAfterPuskMs = 200;
    DeviceSimulator& sim = StartDevice(c);
    std::string out, err;
    ASSERT_EQ(RunCli({"write", kPort, "--yes", kAllow}, &out, &err), 0) << err;
    ASSERT_TRUE(sim.WaitFor([](const SimReport& r) { return r.restarts == 1; }, 5000));
    ASSERT_EQ(RunCli({"write", kPort, "--yes", kAllow}, &out, &err), 0) << err;
    EXPECT_TRUE(sim.Report().matchesImage);
    EXPECT_EQ(sim.Report().versRequests, 2);
}

// Several ports on a terminal: a port that failed says so on its line at
// once, while the others go on.
TEST_F(Cli, SeveralBarsShowAFailureAtOnce) {
    if (std::system("tmux -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs tmux";
    SimConfig paced, wrong;
    paced.baud = wrong.baud = 384620;
    wrong.faults.wrongCrcAt = 5;
    StartDevice(paced, 150);
    StartDevice(wrong, 151);
    std::string pane = RunInTmux("VARNOMIKSAL_PORT_DIR=" + TestPortDir() + " " + CLI_PATH +
                                     " write COM150 COM151 --yes " + kAllow,
                                 100);
    EXPECT_TRUE(Has(pane, "EXIT=1")) << pane;
    std::vector<std::string> lines = Lines(pane);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](std::string line) {
        line.erase(line.find_last_not_of(' ') + 1); // the pane keeps erased cells as blanks
        return line == "COM151 failed at block 6";
    })) << pane;
    EXPECT_TRUE(Has(pane, "\nCOM150 [####")) << pane;
}
