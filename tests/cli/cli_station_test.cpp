// varnomiksal-cli station against fixtures of simulated devices: devices
// seated one after another in each slot, as the simulator's day plays them,
// checked against what each device saw; the record file shared by two
// stations and left by a killed one; report over it; and Ctrl+C.
#include "CliProcess.h"
#include "DeviceTest.h"
#include "runtime/JsonLine.h"
#include "station/StationSlot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

const std::string kAllow = "--allow-placeholder";

using TObject = std::map<std::string, TJsonValue>;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every line of the text, each parsed; a line that is no JSON object fails the test.
std::vector<TObject> JsonLines(const std::string& text) {
    std::vector<TObject> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        TObject o;
        EXPECT_TRUE(ParseJsonLine(line, o)) << "not a whole JSON line: " << line;
        objects.push_back(o);
    }
    return objects;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The results the objects of one slot give for `field`, in order.
std::vector<std::string> Of(const std::vector<TObject>& objects, const std::string& slot,
                            const std::string& field, const std::string& only = {}) {
    std::vector<std::string> out;
    for (auto o : objects)
        if (o["slot"].text == slot && (only.empty() || o["event"].text == only))
            out.push_back(o[field].text);
    return out;
}

using Texts = std::vector<std::string>;

class Station : public DeviceTest {
protected:
    // A slot with the day's devices; quick steps to keep the test short,
    // with a slot empty for several polls between devices, and each device
    // seated after the time in which it would be taken for the last one
    // back in its bootloader.
    DeviceSimulator& Slot(int port, const std::string& day, int leaveMs = 300,
                          int swapMs = kReturnWindowMs + 200, bool strict = false) {
        SimConfig config;
        EXPECT_TRUE(ParseSimDay(day, config.day));
        config.leaveMs = leaveMs;
        config.swapMs = swapMs;
        config.strict = strict;
        config.bounceMs = 150;
        return StartDevice(port, config);
    }
    // What each device of each day saw, for a failure's message.
    static std::string Seen(const std::vector<DeviceSimulator*>& sims) {
        std::string text;
        for (auto* s : sims) {
            text += s->DayOver() ? "day over:" : "day on:";
            for (const SimReport& r : s->Seatings())
                text += " [vers " + std::to_string(r.versRequests) + ", bytes " +
                        std::to_string(r.imageBytes) + (r.pusk ? ", PUSK]" : "]");
            text += "\n";
        }
        return text;
    }
    static bool WaitForDays(const std::vector<DeviceSimulator*>& sims, int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            bool over = true;
            for (auto* s : sims)
                over = over && s->DayOver();
            if (over) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::string record_ = TestPortDir() + "/" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                          ".jsonl";
};

} // namespace

TEST_F(Station, EveryDeviceSeatedIsWrittenOnceAndRecordedAsItsDeviceSaw) {
    DeviceSimulator& staying = Slot(150, "ok;stays;ok", 900);
    DeviceSimulator& bouncing = Slot(151, "bounce;ok");
    DeviceSimulator& other = Slot(152, "other=VARNOMIKSAL VMX-2 9.0;ok");
    DeviceSimulator& failing = Slot(153, "wrong-crc-at=100;ok");
    TCliProcess station({"station", "COM150", "COM151", "COM152", "COM153", kAllow, "--json",
                         "--poll-ms", "100", "--expect-device", "VMX-1", "--record", record_,
                         "--tag", "batch 7"});
    bool over = WaitForDays({&staying, &bouncing, &other, &failing}, 90000);
    station.Signal(SIGINT);
    EXPECT_EQ(station.Wait(), 1) << "one attempt failed";
    ASSERT_TRUE(over) << Seen({&staying, &bouncing, &other, &failing}) << station.out
                      << station.err;

    // What each device saw: the image whole and "PUSK" once per device
    // written; nothing for the other device; the failed one a reset later.
    auto written = [](const SimReport& r) { return r.matchesImage && r.pusk; };
    for (auto* sim : {&staying, &bouncing}) {
        for (const SimReport& r : sim->Seatings())
            EXPECT_TRUE(written(r));
    }
    EXPECT_GE(staying.Seatings()[1].versRequests, 3) << "it answered after its start";
    EXPECT_EQ(other.Seatings()[0].received, 0u);
    EXPECT_TRUE(written(other.Seatings()[1]));
    EXPECT_EQ(failing.Seatings()[0].wrongCrcs, 1);
    EXPECT_FALSE(failing.Seatings()[0].pusk);
    EXPECT_TRUE(written(failing.Seatings()[1]));

    // The events: one arrival per device (a bounce included), and the ends.
    std::vector<TObject> events = JsonLines(station.out);
    EXPECT_EQ(Of(events, "COM150", "event", "arrived").size(), 3u);
    EXPECT_EQ(Of(events, "COM151", "event", "arrived").size(), 2u);
    EXPECT_EQ(Of(events, "COM152", "event", "wrong-device"), Texts{"wrong-device"});
    EXPECT_EQ(Of(events, "COM153", "failure", "failed"), Texts{"unexpected_reply"});
    ASSERT_FALSE(events.empty());
    TObject totals = events.back();
    EXPECT_EQ(totals["event"].text, "totals");
    EXPECT_EQ(totals["passed"].number, 7);
    EXPECT_EQ(totals["failed"].number, 1);
    EXPECT_EQ(totals["wrong_device"].number, 1);

    // The record: a line per attempt, in each slot's order.
    std::vector<TObject> records = JsonLines(ReadAll(record_));
    EXPECT_EQ(records.size(), 9u);
    EXPECT_EQ(Of(records, "COM150", "result"), (Texts{"passed", "passed", "passed"}));
    EXPECT_EQ(Of(records, "COM151", "result"), (Texts{"passed", "passed"}));
    EXPECT_EQ(Of(records, "COM152", "result"), (Texts{"wrong-device", "passed"}))
        << ReadAll(record_) << station.out << station.err;
    EXPECT_EQ(Of(records, "COM153", "result"), (Texts{"failed", "passed"}));
    for (auto r : records) {
        EXPECT_EQ(r["tag"].text, "batch 7");
        EXPECT_EQ(r["image_sha256"].text.size(), 64u);
        EXPECT_EQ(r["blocks"].number, r["result"].text == "passed" ? 508 : r["blocks"].number);
        EXPECT_LE(r["start"].text, r["end"].text);
    }
    EXPECT_EQ(Of(records, "COM152", "device")[0], "VMX-2");
}

TEST_F(Station, StationsShareARecordFileAndAKilledOneLeavesWholeLines) {
    std::vector<DeviceSimulator*> sims;
    for (int port = 160; port < 164; ++port)
        sims.push_back(&Slot(port, "ok;ok;ok"));
    TCliProcess counted({"station", "COM160", "COM161", kAllow, "--poll-ms", "100", "--count", "6",
                         "--record", record_});
    TCliProcess killed(
        {"station", "COM162", "COM163", kAllow, "--poll-ms", "100", "--json", "--record", record_});
    // Killed in the middle of writing a second device.
    auto writingSecond = [&] {
        for (int k : {2, 3}) {
            auto seen = sims[std::size_t(k)]->Seatings();
            if (seen.size() >= 2 && seen[1].received > 0 && !seen[1].pusk) return true;
        }
        return false;
    };
    for (int waited = 0; !writingSecond(); waited += 10) {
        ASSERT_LT(waited, 60000) << killed.out;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    killed.Signal(SIGKILL);
    killed.Wait();
    EXPECT_EQ(counted.Wait(), 0) << counted.err;
    EXPECT_TRUE(Has(counted.out, "passed 6, failed 0"));

    std::vector<TObject> records = JsonLines(ReadAll(record_));
    std::size_t passes = 0;
    for (auto r : records)
        passes += r["result"].text == "passed";
    EXPECT_EQ(Of(records, "COM160", "result").size() + Of(records, "COM161", "result").size(),
              6u + records.size() - passes)
        << "6 passes, and the devices the count left";
    std::string out;
    ASSERT_EQ(RunCli({"report", record_, "--json"}, &out), 0);
    EXPECT_TRUE(Has(out, "\"records\": " + std::to_string(records.size()) +
                             ", \"unreadable_lines\": 0, \"passed\": " + std::to_string(passes)))
        << out;
}

TEST_F(Station, CtrlCLetsTheUploadFinishAndASecondOneStopsIt) {
    SimConfig paced;
    paced.baud = 300000; // about 4 s an upload
    StartDevice(170, paced);
    for (int stops : {1, 2}) {
        TCliProcess station(
            {"station", "COM170", kAllow, "--poll-ms", "100", "--json", "--record", record_});
        ASSERT_TRUE(station.WaitForOutput("\"percent\": 20", 30000));
        for (int i = 0; i < stops; ++i) {
            station.Signal(SIGINT);
            // Signals do not queue; the first is acknowledged at once.
            if (i == 0) {
                EXPECT_TRUE(station.WaitForOutput("\"event\": \"stopping\"", 5000));
            }
        }
        EXPECT_EQ(station.Wait(), stops == 1 ? 0 : 1);
        EXPECT_TRUE(
            Has(station.out, stops == 1 ? "\"event\": \"passed\"" : "\"event\": \"interrupted\""))
            << station.out;
        // The device is reset into its bootloader for the next run.
        sims_.clear();
        StartDevice(170, paced);
    }
    std::vector<TObject> records = JsonLines(ReadAll(record_));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1]["result"].text, "interrupted");
}

// The station's log is kept across its runs: a start appends to it.
TEST_F(Station, ASlotWhosePortIsGoneWaitsForItAndWritesTheDeviceThatComes) {
    const std::string log = TestPortDir() + "/station.log";
    std::ofstream(log) << "an earlier run's line\n";
    TCliProcess station(
        {"station", "COM175", kAllow, "--poll-ms", "100", "--json", "--count", "1", "--log", log});
    ASSERT_TRUE(station.WaitForOutput("\"event\": \"missing\"", 10000)) << station.err;
    DeviceSimulator& device = Slot(175, "ok");
    EXPECT_EQ(station.Wait(), 0) << station.err;
    std::vector<TObject> events = JsonLines(station.out);
    std::vector<std::string> kinds;
    for (auto e : events)
        if (e["event"].text != "progress") kinds.push_back(e["event"].text);
    EXPECT_EQ(kinds, (Texts{"missing", "back", "arrived", "started", "passed", "totals"}));
    EXPECT_TRUE(device.Seatings()[0].matchesImage);
    const std::string logged = ReadAll(log);
    EXPECT_EQ(logged.rfind("an earlier run's line\n", 0), 0u) << logged;
    EXPECT_TRUE(Has(logged, "COM175")) << logged;
}

// An adapter plugged into the same socket again may come back under another
// COM name; the slot, named by its place, follows it there.
TEST_F(Station, ASlotFollowsItsSocketWhenItsAdapterComesBackUnderAnotherName) {
    TSockets sockets;
    const std::string socket = TestPortDir() + "/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0";
    auto plug = [&](DeviceSimulator& device) {
        std::filesystem::remove(socket);
        std::filesystem::create_symlink(device.DevicePath(), socket);
    };
    plug(Slot(180, "ok"));
    TCliProcess station(
        {"station", "COM180", kAllow, "--poll-ms", "100", "--json", "--count", "2"});
    ASSERT_TRUE(station.WaitForOutput("\"event\": \"passed\"", 30000)) << station.err;
    sims_.clear(); // unplugged
    ASSERT_TRUE(station.WaitForOutput("\"event\": \"missing\"", 10000));
    plug(Slot(181, "ok"));
    EXPECT_EQ(station.Wait(), 0) << station.err;
    std::vector<TObject> events = JsonLines(station.out);
    const std::string name = "pci-0000:00:14.0-usb-0:3:1.0-port0";
    EXPECT_EQ(Of(events, name, "port", "passed"), (Texts{"COM180", "COM181"}));
    EXPECT_EQ(Of(events, name, "event", "back"), Texts{"back"});
}

// A device checked and taken away at once, another seated in its place
// before the write could start: the image goes to the one checked or to
// nobody, never to the other.
TEST_F(Station, TheDeviceCheckedIsTheDeviceWritten) {
    DeviceSimulator& slot =
        Slot(190, "other=VARNOMIKSAL VMX-1 8.3;reply=VARNOMIKSAL VMX-2 9.0", 100, 300);
    TCliProcess station(
        {"station", "COM190", kAllow, "--json", "--expect-device", "VMX-1", "--record", record_});
    ASSERT_TRUE(station.WaitForOutput("\"event\": \"wrong-device\"", 30000)) << station.out;
    station.Signal(SIGINT);
    station.Wait();
    auto seen = slot.Seatings();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].imageBytes, 0u) << "VMX-2 heard no byte of the image";
    // VMX-1 was written (in part), or it was gone before it had settled.
    std::vector<TObject> records = JsonLines(ReadAll(record_));
    ASSERT_FALSE(records.empty());
    ASSERT_LE(records.size(), 2u) << station.out;
    if (records.size() == 2) {
        EXPECT_EQ(records[0]["device"].text, "VMX-1");
        EXPECT_NE(records[0]["result"].text, "wrong-device");
    }
    EXPECT_EQ(records.back()["device"].text, "VMX-2");
    EXPECT_EQ(records.back()["result"].text, "wrong-device");
}

// One seating, one write: a board seated too soon after the last one's
// "PUSK", or the board itself back in its bootloader, is shown and recorded
// but not written; a failed board reset into its bootloader is written
// again; a board silent after its pass stays shown as passed, never "left".
TEST_F(Station, OneSeatingOneWriteAndEveryBoardAccountedFor) {
    DeviceSimulator& swapped = Slot(191, "ok;ok", 300, 400);
    SimConfig restart;
    restart.restartAfterPuskMs = 2500;
    DeviceSimulator& restarting = StartDevice(192, restart);
    SimConfig reset;
    reset.faults.silenceFrom = 30;
    reset.resetAfterMs = 2000;
    DeviceSimulator& resetting = StartDevice(193, reset);
    DeviceSimulator& quiet = StartDevice(194);
    TCliProcess station({"station", "COM191", "COM192", "COM193", "COM194", kAllow, "--json",
                         "--poll-ms", "100", "--record", record_});
    auto count = [&](const std::string& slot, const std::string& event) {
        return Of(JsonLines(station.out), slot, "event", event).size();
    };
    ASSERT_TRUE(station.WaitUntil(
        [&] {
            return count("COM191", "returned") == 1 && count("COM192", "returned") == 1 &&
                   count("COM193", "started") >= 2 && count("COM194", "passed") == 1;
        },
        60000))
        << station.out << station.err;
    std::this_thread::sleep_for(std::chrono::milliseconds(2000)); // time to rewrite, were it wrong
    station.Signal(SIGINT);
    EXPECT_EQ(station.Wait(), 1) << "the reset board failed";

    EXPECT_EQ(swapped.Seatings()[1].imageBytes, 0u);
    EXPECT_EQ(restarting.Report().wholeImages, 1);
    EXPECT_GE(restarting.Report().restarts, 1);
    EXPECT_GE(resetting.Report().resets, 1);
    EXPECT_EQ(quiet.Report().wholeImages, 1);
    std::vector<TObject> records = JsonLines(ReadAll(record_));
    EXPECT_EQ(Of(records, "COM191", "result"), (Texts{"passed", "returned"}));
    EXPECT_EQ(Of(records, "COM192", "result"), (Texts{"passed", "returned"}));
    Texts failures = Of(records, "COM193", "result");
    ASSERT_GE(failures.size(), 2u);
    EXPECT_EQ(failures[1], "failed");
    EXPECT_EQ(Of(records, "COM194", "result"), Texts{"passed"});
    EXPECT_EQ(count("COM194", "left"), 0u);
}

// --count 1 with three boards seated at once: one is written, and the
// others are recorded as not written.
TEST_F(Station, CountIsNeverPassed) {
    StartDevice(195);
    StartDevice(196);
    StartDevice(197);
    TCliProcess station({"station", "COM195", "COM196", "COM197", kAllow, "--json", "--poll-ms",
                         "100", "--count", "1", "--record", record_});
    EXPECT_EQ(station.Wait(), 0) << station.err;
    int images = 0;
    for (auto& sim : sims_)
        images += sim->Report().wholeImages;
    EXPECT_EQ(images, 1);
    std::vector<TObject> records = JsonLines(ReadAll(record_));
    std::map<std::string, int> results;
    for (auto r : records)
        ++results[r["result"].text];
    EXPECT_EQ(results["passed"], 1);
    EXPECT_EQ(results["passed"] + results["not-written"], int(records.size()));
}

// A record that cannot be written stops new writes at once; the line is
// tried again and, failing that, given on stderr; the exit code says so.
TEST_F(Station, ARecordThatCannotBeWrittenStopsTheStation) {
    DeviceSimulator& slot = Slot(198, "ok;ok");
    // A full disk: the file opens, and no line can be written to it.
    TCliProcess station(
        {"station", "COM198", kAllow, "--json", "--poll-ms", "100", "--record", "/dev/full"});
    EXPECT_EQ(station.Wait(), 4) << station.out;
    EXPECT_TRUE(Has(station.out, "\"event\": \"record-failed\"")) << station.out;
    EXPECT_TRUE(Has(station.err, "not recorded: {\"id\"")) << station.err;
    EXPECT_TRUE(Has(station.out, "\"record_failed\": true"));
    auto seen = slot.Seatings();
    EXPECT_TRUE(seen[0].pusk);
    EXPECT_TRUE(seen.size() < 2 || seen[1].imageBytes == 0) << "no write after the failure";
}

// report: a folder is refused, a file named twice is read once, a pass
// without its time counts in the yield but not in the times, and a slot
// with nothing written has no yield.
TEST(Report, FoldersFilesTwicePassesWithoutTimesAndSlotsWithoutAttempts) {
    const std::string file = TestPortDir() + "/report.jsonl";
    std::ofstream(file) << "{\"host\": \"h\", \"slot\": \"A\", \"result\": \"passed\", "
                           "\"seconds\": 40}\n"
                           "{\"host\": \"h\", \"slot\": \"A\", \"result\": \"passed\"}\n"
                           "{\"host\": \"h\", \"slot\": \"B\", \"result\": \"wrong-device\"}\n";
    std::string out, err;
    EXPECT_EQ(RunCli({"report", TestPortDir()}, &out, &err), 3);
    EXPECT_TRUE(Has(err, "is a folder")) << err;
    ASSERT_EQ(RunCli({"report", file, file}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(out, "All: 3 records; passed 2, failed 0, wrong device 1; yield 100.0%; "
                         "median 40.0 s"))
        << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("\\bB +0 +0 +1 +- "))) << out;
}

// Slots follow places, not COM names: an adapter in another socket that is
// given the COM name a slot's adapter left gets a slot of its own; a port
// that cannot be opened is told as an event.
TEST_F(Station, ANewAdapterOnAFreedNameGetsASlotAndABusyPortIsTold) {
    TSockets sockets;
    auto plug = [&](DeviceSimulator& device, const std::string& socket) {
        std::filesystem::create_symlink(device.DevicePath(), TestPortDir() + "/by-path/" + socket);
    };
    plug(Slot(240, "ok"), "socket-1");
    DeviceSimulator& busy = Slot(241, "ok");
    // Another program holds COM241.
    int held = ::open(busy.DevicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    TCliProcess station({"station", kAllow, "--json", "--poll-ms", "100"});
    ASSERT_TRUE(station.WaitForOutput("\"event\": \"passed\"", 30000)) << station.err;
    ASSERT_TRUE(station.WaitForOutput("\"event\": \"unavailable\"", 10000)) << station.out;
    ::close(held);
    sims_.erase(sims_.begin()); // socket 1 unplugged: COM240 is free
    std::filesystem::remove(TestPortDir() + "/by-path/socket-1");
    ASSERT_TRUE(station.WaitForOutput("\"event\": \"missing\"", 10000)) << station.out;
    plug(Slot(240, "ok"), "socket-2");
    ASSERT_TRUE(station.WaitForOutput("\"slot\": \"socket-2\", \"port\": \"COM240\"", 10000))
        << station.out;
    station.Signal(SIGINT);
    station.Wait();
    EXPECT_TRUE(Has(station.out, "\"event\": \"unavailable\", \"time\"")) << station.out;
}

// A board refused as back in its bootloader whose answer ran into a second
// one (read as a longer version) is the same board when it answers cleanly
// after: held until it leaves, never written.
TEST_F(Station, AHeldBoardIsKnownWhetherOrNotItsAnswersRunTogether) {
    SimConfig config;
    ASSERT_TRUE(ParseSimDay("ok;ok,doubled,swap=1000", config.day));
    config.leaveMs = 300;
    config.unwrittenLeaveMs = 2500;
    DeviceSimulator& slot = StartDevice(199, config);
    TCliProcess station({"station", "COM199", kAllow, "--json", "--poll-ms", "100"});
    EXPECT_TRUE(WaitForDays({&slot}, 30000));
    station.Signal(SIGINT);
    station.Wait();
    ASSERT_EQ(slot.Seatings().size(), 2u);
    EXPECT_TRUE(Has(station.out, "\"event\": \"returned\"")) << station.out;
    EXPECT_EQ(slot.Seatings()[1].imageBytes, 0u) << station.out;
}
