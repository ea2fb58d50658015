// varnomiksal-cli doctor against the device simulator on ptys: a quick
// device, one whose replies come late, a silent port and a busy one; and
// that it sends the device nothing but "VERS".
#include "CliProcess.h"
#include "DeviceTest.h"
#include "tests/platform/PtyPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <regex>
#include <sys/file.h>
#include <unistd.h>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

double Number(const std::string& json, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(json, m, std::regex("\"" + key + "\": ([0-9.]+)"))) return -1;
    return std::stod(m[1]);
}

using Doctor = DeviceTest;

} // namespace

// A device is asked once: a bootloader that takes every byte after its
// answer as image data hears nothing more, and the user is told what that
// leaves. --rounds asks more often. The verdict follows the measured round
// trip: on a loaded machine even a quick device's replies may come late,
// and are then told as such.
TEST_F(Doctor, ADeviceIsAskedOnceUnlessRoundsAreGivenAndGetsNothingButVers) {
    SimConfig strict;
    strict.strict = true;
    DeviceSimulator& once = StartDevice(159, strict);
    std::string out, err;
    RunCli({"doctor", "COM159"}, &out, &err);
    EXPECT_TRUE(std::regex_search(
        out, std::regex("first byte after [0-9.]+ ms; whole reply after [0-9.]+ ms")))
        << out;
    EXPECT_TRUE(Has(out, "now waits for its image; reset it before writing")) << out;
    EXPECT_EQ(once.Report().versRequests, 1);
    EXPECT_EQ(once.Report().imageBytes, 0u);

    DeviceSimulator& sim = StartDevice(160);
    int code = RunCli({"doctor", "COM160", "--rounds", "3"}, &out, &err);
    EXPECT_TRUE(Has(out, "access:   ok")) << out;
    EXPECT_TRUE(Has(out, "device:   VMX-1, firmware 8.3")) << out;
    EXPECT_TRUE(
        std::regex_search(out, std::regex("first byte after [0-9.]+ / [0-9.]+ / [0-9.]+ ms; "
                                          "whole reply after [0-9.]+ / [0-9.]+ / [0-9.]+ ms")))
        << out;
    EXPECT_EQ(Has(out, "verdict:  nothing slows this port"), code == 0) << out;
    EXPECT_EQ(sim.Report().versRequests, 3);
    EXPECT_EQ(sim.Report().received, 0u);

    code = RunCli({"doctor", "COM160", "--json", "--rounds", "3"}, &out, &err);
    const double roundTrip = Number(out, "round_trip_ms");
    ASSERT_GE(roundTrip, 0) << out;
    if (roundTrip <= 5) {
        EXPECT_EQ(code, 0) << out;
        EXPECT_TRUE(Has(out, "\"result\": \"ok\"")) << out;
        EXPECT_TRUE(Has(out, "\"problems\": []")) << out;
    } else {
        EXPECT_EQ(code, 1) << out;
        EXPECT_TRUE(Has(out, "\"result\": \"slow\"")) << out;
    }
    // The line time (33.8 s) and a round trip a block.
    EXPECT_NEAR(Number(out, "predicted_write_seconds"), 33.8 + 508 * roundTrip / 1000, 0.2) << out;
}

TEST_F(Doctor, LateRepliesAreASlowdownWithTheirFix) {
    SimConfig late;
    late.replyAfterMs = 12; // an adapter's latency timer held whole
    StartDevice(161, late);
    std::string out, err;
    ASSERT_EQ(RunCli({"doctor", "COM161", "--json"}, &out, &err), 1) << out << err;
    EXPECT_TRUE(Has(out, "\"result\": \"slow\"")) << out;
    EXPECT_GE(Number(out, "round_trip_ms"), 12) << out;
    EXPECT_GE(Number(out, "predicted_write_seconds"), 33.8 + 508 * 0.012) << out;
    ASSERT_EQ(RunCli({"doctor", "COM161"}, &out, &err), 1);
    EXPECT_TRUE(std::regex_search(out, std::regex("problem:  replies come [0-9.]+ ms after the "
                                                  "request\n  fix:      .*latency timer to 1 ms")))
        << out;
}

TEST_F(Doctor, NoAnswerAndABusyPortNameTheirFixes) {
    std::string out, err;
    TPtyPort quiet(162);
    EXPECT_EQ(RunCli({"doctor", "COM162"}, &out, &err), 2);
    EXPECT_TRUE(Has(out, "fix:      is the device in its bootloader?")) << out;
    EXPECT_EQ(quiet.Read(8, 100), "VERS") << "a silent port is asked once";

    DeviceSimulator& held = StartDevice(163);
    int fd = ::open(held.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(RunCli({"doctor", "COM163"}, &out, &err), 2);
    EXPECT_TRUE(Has(out, "access:   busy")) << out;
    EXPECT_TRUE(Has(out, "is busy: another program holds it; close that program")) << out;
    ::close(fd);
}
