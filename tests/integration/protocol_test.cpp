// The probe and the upload against the device simulator, over real ptys.
#include "device/ConsoleSchema.h"
#include "elements/qeMMTimer.h"
#include "runtime/qeCommutator.h"
#include "serial/qeComAsync.h"
#include "testing/WriteTap.h"
#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace {

const std::string kNotFound = Cp1251("На этом порту устройств не найдено.");

std::string Found(const std::string& name, const std::string& version) {
    return Cp1251("Устройство: " + name + "   Текущая версия ПО: " + version);
}

class Protocol : public ::testing::Test {
protected:
    void SetUp() override { dir_ = TestPortDir(); }
    void TearDown() override {
        harness_.reset();
        sim_.reset();
    }
    // Starts a device as COM<port> and the window-less program.
    void Start(SimConfig config, int port = 142) {
        sim_ = std::make_unique<DeviceSimulator>(config);
        std::string error;
        ASSERT_TRUE(sim_->Start(dir_, port, error)) << error;
        harness_ = std::make_unique<TConsoleSchema>();
        writes_ = TapWrites(*harness_, harness_->Session);
    }
    // Starts a device, finds it and starts the upload.
    void StartUpload(SimConfig config) {
        Start(config);
        ASSERT_EQ(Identify(), Found("VMX-1", "8.3"));
        harness_->ClickWrite();
    }
    // Chooses the device's port and waits until the reply's whole chain has
    // run, so that the routing and the found event are settled too.
    std::string Identify(int port = 142) {
        harness_->ChoosePort("COM" + std::to_string(port));
        harness_->Replies->WaitHandled(1, 3000);
        return harness_->Status->Last();
    }
    // Uploads and checks that the device got the whole image and "PUSK".
    void ExpectWholeUpload() {
        harness_->ClickWrite();
        WaitForEnd();
        ASSERT_EQ(harness_->Success->Count(), 1u)
            << "failed on '" << harness_->Failure->Last() << "' after block "
            << harness_->Progress->Count();
        EXPECT_EQ(harness_->Failure->Count(), 0u);
        ASSERT_TRUE(sim_->WaitFor([](const SimReport& r) { return r.pusk; }, 3000));
        SimReport r = sim_->Report();
        EXPECT_TRUE(r.matchesImage);
        EXPECT_EQ(r.received, DeviceSimulator::ImageSize);
    }
    // After a failed upload: exactly `blocks` blocks went out, no "PUSK", one
    // failure and no success, and the watchdog has stopped.
    void ExpectFinalFailureAfter(std::size_t blocks) {
        Settle();
        EXPECT_EQ(harness_->Failure->Count(), 1u);
        EXPECT_EQ(harness_->Success->Count(), 0u);
        SimReport r = sim_->Report();
        EXPECT_EQ(r.received, blocks * 256);
        EXPECT_FALSE(r.pusk);
        EXPECT_EQ(writes_->OtherWrites(), std::vector<std::string>{"VERS"});
        EXPECT_FALSE(harness_->Upload()->Watchdog->timer.Enabled());
    }
    // Waits until the upload ends one way or the other.
    // Waits for the upload's end for as long as bytes keep arriving at the
    // device: a slow machine only makes the upload longer, while a line with
    // no byte for `stallMs` (the watchdog gives up after three silent
    // seconds) means the upload hangs.
    void WaitForEnd(int stallMs = 10000) {
        auto ended = [&] { return harness_->Success->Count() + harness_->Failure->Count() > 0; };
        std::size_t seen = sim_->Report().received;
        for (int quiet = 0; !ended() && quiet < stallMs; quiet += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::size_t now = sim_->Report().received;
            if (now != seen) seen = now, quiet = 0;
        }
    }
    // Gives the line a moment so that anything wrongly sent would arrive.
    static void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }

    std::string dir_;
    std::unique_ptr<DeviceSimulator> sim_;
    std::unique_ptr<TConsoleSchema> harness_;
    WriteTap* writes_ = nullptr;
};

SimConfig Reply(std::string reply) {
    SimConfig c;
    c.reply = std::move(reply);
    return c;
}

} // namespace

TEST_F(Protocol, IdentificationTexts) {
    struct Case {
        std::string reply, status;
    } cases[] = {
        {"VARNOMIKSAL DEV 2.1 X", Found("DEV", "2.1")},
        {"varnomiksal X 1.0", Found("X", "1.0")},
        {"VARNOMIKSAL X", Found("X", "")}, // these two after the wait for the rest
        {"VARNOMIKSAL", kNotFound},
        {"VARNOMIKSAL2 X 1.0", kNotFound},
    };
    for (const Case& c : cases) {
        Start(Reply(c.reply));
        EXPECT_EQ(Identify(), c.status) << c.reply;
        bool identified = c.status != kNotFound;
        EXPECT_EQ(harness_->DeviceFound->Count(), identified ? 1u : 0u) << c.reply;
        EXPECT_EQ(writes_->OtherWrites(), std::vector<std::string>{"VERS"});
        TData none;
        EXPECT_EQ(ReadInteger(none, harness_->Session.RxSwitch->srcOutput, -1), identified ? 1 : 0);
        harness_.reset();
        sim_.reset();
    }
}

// A reply is joined from its bursts until its signature and name are whole;
// the burst that completes them ends the version.
TEST_F(Protocol, AReplyInTwoBurstsIsJoinedUntilItsNameIsWhole) {
    struct Case {
        std::string reply;
        int cut;
        std::vector<std::string> statuses;
    } cases[] = {
        {"VARNOMIKSAL DEV 2.1", 5, {Found("DEV", "2.1")}},  // "VARNO", "MIKSAL DEV 2.1"
        {"VARNOMIKSAL DEV 2.1", 14, {Found("DEV", "2.1")}}, // "VARNOMIKSAL DE", "V 2.1"
        // A burst that cannot begin a reply is parsed at once, the next anew.
        {"XYZVARNOMIKSAL DEV 2.1", 3, {kNotFound, Found("DEV", "2.1")}},
    };
    for (const Case& c : cases) {
        SimConfig config = Reply(c.reply);
        config.faults.splitReplyAt = c.cut;
        config.burstGapMs = 300; // far apart: two bursts whatever the port's gap
        Start(config);
        harness_->ChoosePort("COM142");
        ASSERT_TRUE(harness_->DeviceFound->WaitForCount(1, 3000)) << c.cut;
        EXPECT_EQ(harness_->Status->Values(), c.statuses) << c.cut;
        harness_.reset();
        sim_.reset();
    }

    SimConfig c = Reply("VARNOMIKSAL DEV 2.1");
    c.faults.splitReplyAt = 17; // "VARNOMIKSAL DEV 2" then ".1"
    c.burstGapMs = 300;
    Start(c);
    EXPECT_EQ(Identify(), Found("DEV", "2"));
    // The rest of the reply goes to the upload, which has sent nothing yet.
    ASSERT_TRUE(harness_->Failure->WaitForCount(1, 3000));
    EXPECT_EQ(harness_->Failure->Last(), "2E31");
    // The failure is decided: a start now sends nothing and starts no watchdog.
    harness_->ClickWrite();
    EXPECT_EQ(writes_->SingleByteWrites(), 0u);
    EXPECT_FALSE(harness_->Upload()->Watchdog->timer.Enabled());
}

TEST_F(Protocol, BadPortNamesFailWithoutWriting) {
    Start(SimConfig{});
    for (std::string name : {"COM0", "COM256", "COM1234", "COMX", "COM142x", "COM99"}) {
        harness_->ChoosePort(name);
        EXPECT_EQ(harness_->Status->Last(), kNotFound) << name;
    }
    EXPECT_EQ(harness_->Status->Count(), 6u);
    EXPECT_TRUE(writes_->OtherWrites().empty());
    EXPECT_EQ(sim_->Report().versRequests, 0);
}

TEST_F(Protocol, AFullUploadDeliversTheImageByteForByte) {
    StartUpload(SimConfig{});
    WaitForEnd();
    ASSERT_EQ(harness_->Success->Count(), 1u) << "failed on '" << harness_->Failure->Last()
                                              << "' after block " << harness_->Progress->Count();
    EXPECT_EQ(harness_->Failure->Count(), 0u);
    ASSERT_TRUE(sim_->WaitFor([](const SimReport& r) { return r.pusk; }, 3000));
    SimReport r = sim_->Report();
    EXPECT_TRUE(r.matchesImage);
    EXPECT_EQ(r.received, DeviceSimulator::ImageSize);
    EXPECT_EQ(r.beyondImage, 0u);
    EXPECT_EQ(writes_->SingleByteWrites(), DeviceSimulator::ImageSize);
    EXPECT_EQ(writes_->OtherWrites(), (std::vector<std::string>{"VERS", "PUSK"}));
    std::vector<std::string> progress = harness_->Progress->Values();
    ASSERT_EQ(progress.size(), 507u);
    for (int i = 0; i < 507; ++i)
        ASSERT_EQ(progress[std::size_t(i)], std::to_string(i + 1));
    char crc[8];
    std::snprintf(crc, sizeof crc, "%04X", r.crc);
    EXPECT_EQ(harness_->CrcEdit->Text(), crc);
    EXPECT_EQ(harness_->Success->Last(), std::string(crc) + "465A");
}

// The identification is framed by the port's gap, acknowledgements by what
// is expected, however the line hands their bytes over.
TEST_F(Protocol, RepliesDribbledByteByByteAreWholeReplies) {
    // A USB adapter's 1 ms frames, a slow device.
    for (int dribbleUs : {1000, 10000}) {
        SimConfig c;
        c.dribbleUs = dribbleUs;
        Start(c);
        ASSERT_EQ(Identify(), Found("VMX-1", "8.3")) << dribbleUs;
        ExpectWholeUpload();
        // The gap goes back after the success is told, on the reader's thread.
        auto* port = harness_->Session.SerialPort;
        for (int ms = 0; ms < 2000 && port->BurstGapInUse() != TQeComAsync::default_burst_gap_us;
             ms += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(port->BurstGapInUse(), TQeComAsync::default_burst_gap_us);
        harness_.reset();
        sim_.reset();
    }
}

// Behind an adapter that holds every short reply for its 16 ms latency
// timer, the device is identified and the whole image goes out.
TEST_F(Protocol, RepliesHeldByAnAdaptersLatencyTimerAreWholeReplies) {
    SimConfig held;
    held.holdMs = 16;
    Start(held);
    ASSERT_EQ(Identify(), Found("VMX-1", "8.3"));
    ExpectWholeUpload();
}

TEST_F(Protocol, AcknowledgementsInPiecesAreJoined) {
    SimConfig every; // every acknowledgement, the final one between CRC and "FZ"
    every.faults.ackSplitMs = 1;
    Start(every);
    ASSERT_EQ(Identify(), Found("VMX-1", "8.3"));
    ExpectWholeUpload();
    harness_.reset();
    sim_.reset();

    SimConfig slow; // the final acknowledgement's CRC, and "FZ" long after
    slow.burstGapMs = 900;
    slow.faults.splitAckAt = 507;
    Start(slow);
    ASSERT_EQ(Identify(), Found("VMX-1", "8.3"));
    ExpectWholeUpload();
}

TEST_F(Protocol, BadAcknowledgementsStopTheUpload) {
    for (int fault = 0; fault < 2; ++fault) {
        SimConfig c;
        if (fault == 0) c.faults.wrongCrcAt = 3;
        if (fault == 1) c.faults.strayAt = 3; // trailing bytes after the acknowledgement
        StartUpload(c);
        ASSERT_TRUE(harness_->Failure->WaitForCount(1, 5000)) << fault;
        Settle();
        EXPECT_EQ(harness_->Success->Count(), 0u);
        EXPECT_EQ(sim_->Report().received, 4u * 256) << fault; // nothing after block 3
        EXPECT_EQ(harness_->Progress->Count(), 3u);
        EXPECT_EQ(writes_->OtherWrites(), std::vector<std::string>{"VERS"});
        harness_.reset();
        sim_.reset();
    }
}

// The right acknowledgement after the failure must not restart the upload.
TEST_F(Protocol, AFailureIsFinal) {
    SimConfig stray;
    stray.faults.strayBurstAt = 3;
    StartUpload(stray);
    ASSERT_TRUE(harness_->Failure->WaitForCount(1, 5000));
    EXPECT_EQ(harness_->Failure->Last(), "55");
    ASSERT_TRUE(harness_->Bursts->WaitHandled(1 + 4 + 1, 3000)); // the right one came too
    ExpectFinalFailureAfter(4);
    harness_.reset();
    sim_.reset();

    SimConfig late;
    late.faults.lateAckAt = 3;
    late.faults.lateAckMs = 4500; // after the third silent tick
    StartUpload(late);
    ASSERT_TRUE(harness_->Failure->WaitForCount(1, 6000));
    EXPECT_EQ(harness_->Failure->Last(), "3");
    ASSERT_TRUE(harness_->Bursts->WaitHandled(1 + 4, 6000));
    ExpectFinalFailureAfter(4);
}

TEST_F(Protocol, SilenceFailsAfterThreeTicks) {
    SimConfig c;
    c.faults.silenceFrom = 2;
    Start(c);
    ASSERT_EQ(Identify(), Found("VMX-1", "8.3"));
    auto start = std::chrono::steady_clock::now();
    harness_->ClickWrite();
    ASSERT_TRUE(harness_->Failure->WaitForCount(1, 6000));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(2900));
    EXPECT_EQ(harness_->Failure->Last(), "3");
    EXPECT_EQ(sim_->Report().received, 3u * 256);
}

// A device that stops taking bytes in the middle of a block: every write of
// the pass waits for its time-out, and the watchdog still ends the run.
TEST_F(Protocol, AStalledWriteStillEndsInFailure) {
    SimConfig c;
    c.faults.xoffAt = 3;
    Start(c);
    harness_->Session.SerialPort->XonXoffOut = true;
    ASSERT_EQ(Identify(), Found("VMX-1", "8.3"));
    harness_->ClickWrite();
    ASSERT_TRUE(sim_->WaitFor([](const SimReport& r) { return r.blocksAcknowledged >= 4; }, 3000));
    ASSERT_TRUE(harness_->Failure->WaitForCount(1, 5000));
    EXPECT_EQ(harness_->Failure->Last(), "3");
    EXPECT_EQ(harness_->Progress->Count(), 4u);
}

TEST_F(Protocol, HangUpMidUploadFailsInsteadOfHanging) {
    SimConfig c;
    c.faults.hangupAt = 5;
    StartUpload(c);
    ASSERT_TRUE(harness_->Failure->WaitForCount(1, 6000));
    EXPECT_EQ(harness_->Success->Count(), 0u);
    harness_->Close(); // closing the hung-up port still works
}

TEST_F(Protocol, AnOrdinaryAcknowledgementOfTheLastBlockSendsNoZeroBlock) {
    SimConfig c;
    c.faults.ordinaryLast = true;
    StartUpload(c);
    WaitForEnd();
    Settle();
    EXPECT_EQ(harness_->Success->Count(), 0u);
    ASSERT_EQ(harness_->Failure->Count(), 1u);
    SimReport r = sim_->Report();
    EXPECT_EQ(r.received, DeviceSimulator::ImageSize);
    EXPECT_EQ(r.beyondImage, 0u);
    EXPECT_FALSE(r.pusk);
}
