// The Windows serial device on a fake of the serial driver: line errors under
// abort-on-error, aborts and write completion, which ports under wine do not
// show.
#include "platform/Comm.h"
#include "tests/platform/windows/FakeCommDriver.h"

#include <gtest/gtest.h>

#include <future>

namespace {

class CommDriver : public ::testing::Test {
protected:
    // The port as the program sets it up: abort-on-error, reads that return
    // what has come, writes bounded by 1000 ms plus 100 ms a byte.
    void SetUp() override {
        comm = TComm::Open("COM7");
        ASSERT_TRUE(comm);
        TCommState s;
        ASSERT_TRUE(comm->GetState(s));
        s.AbortOnError = true;
        ASSERT_TRUE(comm->SetState(s));
        TCommTimeouts t;
        t.ReadIntervalTimeout = comm_maxdword;
        t.WriteTotalConstant = 1000;
        t.WriteTotalMultiplier = 100;
        ASSERT_TRUE(comm->SetTimeouts(t));
    }
    // One wait; what it reports joins `seen`.
    bool Wait() {
        uint32_t events = 0;
        if (!comm->WaitEvent(events)) return false;
        seen |= events;
        return true;
    }
    // Waits until every one of `want` has been reported.
    void WaitFor(uint32_t want) {
        while ((seen & want) != want && Wait()) {
        }
    }
    // Reads until `count` bytes have come (or a wait fails).
    std::string Receive(std::size_t count) {
        std::string all, part;
        while (all.size() < count && Wait() && comm->Read(part, count - all.size()))
            all += part;
        return all;
    }
    std::future<std::size_t> WriteAsync(std::string bytes) {
        return std::async(std::launch::async, [this, bytes] {
            std::size_t written = 0;
            return comm->Write(bytes, written) ? written : std::size_t(-1);
        });
    }

    TFakeCommDriver driver{"COM7"};
    std::unique_ptr<TComm> comm;
    uint32_t seen = 0; // every event reported so far
};

} // namespace

TEST_F(CommDriver, ReceptionGoesOnAfterLineErrorsAndEndsWhenTheDeviceIsGone) {
    ASSERT_TRUE(comm->SetMask(ev_rxchar | ev_err | ev_break));
    ASSERT_TRUE(driver.WaitForPendingRead());
    driver.LineError(ce_frame); // ends the pending read; every read fails until taken
    WaitFor(ev_err);
    EXPECT_EQ(seen, uint32_t(ev_err));
    driver.Deliver("VARNOMIKSAL");
    EXPECT_EQ(Receive(11), "VARNOMIKSAL");
    uint32_t errors = 0, inQueue = 0;
    ASSERT_TRUE(comm->ClearError(errors, inQueue));
    EXPECT_EQ(errors, uint32_t(ce_frame));

    // A break behind a reply's first byte leaves a null byte in its place.
    seen = 0;
    driver.LineError(ce_break, std::string("\x12\0", 2));
    EXPECT_EQ(Receive(2), std::string("\x12\0", 2));
    WaitFor(ev_break);
    EXPECT_EQ(seen, uint32_t(ev_break | ev_rxchar));
    ASSERT_TRUE(comm->ClearError(errors, inQueue));
    EXPECT_EQ(errors, uint32_t(ce_break));

    // A read that fails with the driver itself failing ends the waits.
    driver.Unplug();
    EXPECT_FALSE(Wait());
}

TEST_F(CommDriver, WritesGoOnAfterALineError) {
    // Refused at once: the driver is in its error state.
    driver.LineError(ce_frame);
    std::size_t written = 0;
    EXPECT_TRUE(comm->Write("VERS", written));
    EXPECT_EQ(written, 4u);

    // Aborted under way: the write starts again.
    driver.HoldWrites(true);
    auto write = WriteAsync("PUSK");
    ASSERT_TRUE(driver.WaitForPendingWrite());
    driver.LineError(ce_overrun);
    ASSERT_TRUE(driver.WaitForPendingWrite());
    driver.HoldWrites(false);
    EXPECT_EQ(write.get(), 4u);
    EXPECT_EQ(driver.Line(), "VERSPUSK");

    uint32_t errors = 0, inQueue = 0;
    ASSERT_TRUE(comm->ClearError(errors, inQueue));
    EXPECT_EQ(errors, uint32_t(ce_frame | ce_overrun));
}

TEST_F(CommDriver, WriteCompletionAndAborts) {
    // Completed with an error: started, nothing written.
    driver.FailWritesWith(TFakeCommDriver::error_gen_failure);
    std::size_t written = 99;
    EXPECT_TRUE(comm->Write("x", written));
    EXPECT_EQ(written, 0u);
    driver.FailWritesWith(0);

    // The device's own abort is not counted on: the write ends all the same,
    // also when the abort lands while the write starts. With no write
    // timeout, only the abort can end it.
    ASSERT_TRUE(comm->SetTimeouts(TCommTimeouts{}));
    driver.PurgeAbortsNothing(true);
    driver.HoldWrites(true);
    auto write = WriteAsync("block");
    ASSERT_TRUE(driver.WaitForPendingWrite());
    EXPECT_TRUE(comm->Purge(purge_txabort));
    EXPECT_EQ(write.get(), 0u);
    driver.onWritePending = [this] { comm->Purge(purge_txabort); };
    EXPECT_TRUE(comm->Write("block", written));
    EXPECT_EQ(written, 0u);
    driver.onWritePending = nullptr;

    // An abort before a write leaves it alone.
    driver.HoldWrites(false);
    EXPECT_TRUE(comm->Write("ok", written));
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(driver.Line(), "ok");
}

TEST_F(CommDriver, FlushSendsTheOutputAndNothingElseDiscardsIt) {
    ASSERT_TRUE(comm->SetMask(ev_rxchar)); // the receiver runs, and stops at the close
    driver.HoldOutput(true);
    std::size_t written = 0;
    ASSERT_TRUE(comm->Write("PUSK", written));
    EXPECT_EQ(driver.Line(), "");
    EXPECT_TRUE(comm->Flush());
    EXPECT_EQ(driver.Line(), "PUSK");
    EXPECT_EQ(driver.Flushes(), 1);

    ASSERT_TRUE(comm->Write("tail", written));
    comm->Close();
    EXPECT_TRUE(driver.Purges().empty());
    EXPECT_EQ(driver.DiscardedOutput(), 0u);
}

// A driver that keeps its transfers through cancels and the close, and holds
// the flush, holds up neither a write, nor the flush, nor the close; the
// transfers it completes late land in records that are still there, and
// another port works afterwards.
TEST(CommDriverFaulty, TransfersItKeepsAndAFlushItHoldsAreGivenUpOn) {
    {
        TFakeCommDriver driver("COM7");
        std::unique_ptr<TComm> comm = TComm::Open("COM7");
        ASSERT_TRUE(comm);
        ASSERT_TRUE(comm->SetMask(ev_rxchar));
        ASSERT_TRUE(driver.WaitForPendingRead());
        driver.IgnoreCancels(true);
        driver.HoldFlushes(true);
        driver.HoldWrites(true);
        // With no write timeout only the abort ends the write.
        auto write = std::async(std::launch::async, [&] {
            std::size_t written = 0;
            return comm->Write("PUSK", written) ? written : std::size_t(-1);
        });
        ASSERT_TRUE(driver.WaitForPendingWrite());
        EXPECT_TRUE(comm->Purge(purge_txabort | purge_rxabort));
        EXPECT_EQ(write.get(), 0u);
        TCommTimeouts t;
        t.WriteTotalConstant = 100;
        ASSERT_TRUE(comm->SetTimeouts(t));
        EXPECT_FALSE(comm->Flush());
        comm->Close();
        driver.HoldWrites(false);
        driver.Deliver("late");
    }
    TFakeCommDriver driver("COM8");
    std::unique_ptr<TComm> comm = TComm::Open("COM8");
    ASSERT_TRUE(comm);
    ASSERT_TRUE(comm->SetMask(ev_rxchar));
    std::size_t written = 0;
    ASSERT_TRUE(comm->Write("VERS", written));
    EXPECT_EQ(driver.Line(), "VERS");
    driver.Deliver("VMX-1");
    uint32_t events = 0;
    ASSERT_TRUE(comm->WaitEvent(events));
    std::string got;
    ASSERT_TRUE(comm->Read(got, 5));
    EXPECT_EQ(got, "VMX-1");
}
