#include "platform/Comm.h"
#include "tests/platform/PtyPort.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TCommTimeouts ImmediateReads() {
    TCommTimeouts t;
    t.ReadIntervalTimeout = comm_maxdword;
    t.WriteTotalConstant = 1000;
    t.WriteTotalMultiplier = 100;
    return t;
}

std::unique_ptr<TComm> OpenRaw(const TPtyPort& pty, uint32_t baud = 38462) {
    auto comm = TComm::Open(pty.name);
    if (!comm) return nullptr;
    TCommState s;
    comm->GetState(s);
    s.BaudRate = baud;
    s.ByteSize = 8;
    if (!comm->SetState(s) || !comm->SetTimeouts(ImmediateReads())) return nullptr;
    return comm;
}

// The port, open as OpenRaw opens it, watching for received bytes.
std::unique_ptr<TComm> OpenWatching(const TPtyPort& pty) {
    auto comm = OpenRaw(pty);
    if (comm && !comm->SetMask(ev_rxchar)) return nullptr;
    return comm;
}

// The device end sends `bytes`; true once the port has reported them.
bool SendAndWait(TPtyPort& pty, TComm& comm, std::string_view bytes) {
    pty.Write(bytes);
    uint32_t events = 0;
    return comm.WaitEvent(events);
}

// A wait for the next report, on a thread of its own.
std::future<bool> NextReport(TComm& comm) {
    return std::async(std::launch::async, [&comm] {
        uint32_t e = 0;
        return comm.WaitEvent(e);
    });
}

// What is waiting must be `want`; it is read.
void ExpectWaiting(TComm& comm, const std::string& want) {
    uint32_t errors = 0, inQueue = 0;
    ASSERT_TRUE(comm.ClearError(errors, inQueue));
    EXPECT_EQ(inQueue, want.size());
    std::string got;
    ASSERT_TRUE(comm.Read(got, inQueue));
    EXPECT_EQ(got, want);
}

} // namespace

TEST(Comm, OpensExclusivelyAndByNameOnly) {
    TPtyPort pty(210);
    auto first = TComm::Open(pty.name);
    ASSERT_TRUE(first);
    if (OpensAreExclusive()) {
        EXPECT_FALSE(TComm::Open(pty.name)) << "a second open of a port in use must fail";
    }
    EXPECT_FALSE(TComm::Open("com210x"));
    EXPECT_FALSE(TComm::Open("COM0210"));
    first.reset();
    EXPECT_TRUE(TComm::Open("com210")) << "names are case-insensitive; the port is free again";
    EXPECT_FALSE(TComm::Open("COM99")) << "no such port";
}

TEST(Comm, AnyBaudRateIsSetAndReadBack) {
    TPtyPort pty(212);
    auto comm = OpenRaw(pty, 38462);
    ASSERT_TRUE(comm);
    TCommState s;
    ASSERT_TRUE(comm->GetState(s));
    if (TVirtualPort::IsCable() && s.BaudRate == 38400)
        GTEST_SKIP() << "the cable's driver keeps standard rates only (wine on a pty)";
    EXPECT_EQ(s.BaudRate, 38462u);
    EXPECT_EQ(s.ByteSize, 8);
    EXPECT_EQ(s.Parity, noparity);
    EXPECT_EQ(s.StopBits, onestopbit);

    // What the driver holds, seen through a handle of the test's own.
    TCommState held;
    if (pty.port.HeldLineState(held)) {
        EXPECT_EQ(held.BaudRate, 38462u);
        EXPECT_EQ(held.ByteSize, 8);
        EXPECT_FALSE(held.OutxCtsFlow);
        EXPECT_FALSE(held.InX);
        EXPECT_FALSE(held.OutX);
    }

    // A pty keeps 8N1 whatever is asked (it has no framing), but accepts the request.
    s.ByteSize = 7;
    s.Parity = evenparity;
    s.StopBits = twostopbits;
    EXPECT_TRUE(comm->SetState(s));
    s.ByteSize = 9;
    EXPECT_FALSE(comm->SetState(s)) << "framing outside the record's range";
}

TEST(Comm, PtyHasNoModemLinesOrCounters) {
    TPtyPort pty(213);
    auto comm = OpenRaw(pty);
    ASSERT_TRUE(comm);
    uint32_t status = 0;
    EXPECT_FALSE(comm->GetModemStatus(status));
    EXPECT_EQ(comm->SupportedEvents() & (ev_rxchar | ev_cts | ev_dsr | ev_rlsd | ev_ring),
              ev_rxchar);
}

TEST(Comm, WaitReportsInputOnceAndCountsIt) {
    TPtyPort pty(214);
    auto comm = OpenWatching(pty);
    ASSERT_TRUE(comm);
    pty.Write(std::string("ab\0c", 4));
    uint32_t events = 0;
    ASSERT_TRUE(comm->WaitEvent(events));
    EXPECT_EQ(events, ev_rxchar);
    uint32_t errors = 0, inQueue = 0;
    ASSERT_TRUE(comm->ClearError(errors, inQueue));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(inQueue, 4u);

    // Bytes left unread are not reported again; new bytes are.
    auto second = std::async(std::launch::async, [&] {
        uint32_t e = 0;
        bool ok = comm->WaitEvent(e);
        return ok ? e : 0xFFFFFFFFu;
    });
    EXPECT_EQ(second.wait_for(150ms), std::future_status::timeout);
    pty.Write("d");
    ASSERT_EQ(second.wait_for(2s), std::future_status::ready);
    EXPECT_EQ(second.get(), ev_rxchar);

    std::string got;
    ASSERT_TRUE(comm->Read(got, 100));
    EXPECT_EQ(got, std::string("ab\0cd", 5));
}

TEST(Comm, MaskZeroWakesWaitAtOnce) {
    TPtyPort pty(215);
    auto comm = OpenWatching(pty);
    ASSERT_TRUE(comm);
    auto wait = NextReport(*comm);
    EXPECT_EQ(wait.wait_for(100ms), std::future_status::timeout) << "nothing happened yet";
    auto start = Clock::now();
    comm->SetMask(0);
    ASSERT_EQ(wait.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(wait.get());
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST(Comm, HangUpEndsWaitAndTransfersFail) {
    if (TVirtualPort::IsCable()) GTEST_SKIP() << "a virtual cable cannot hang the line up";
    TPtyPort pty(216);
    auto comm = OpenWatching(pty);
    ASSERT_TRUE(comm);
    auto wait = NextReport(*comm);
    std::this_thread::sleep_for(50ms);
    pty.HangUp();
    ASSERT_EQ(wait.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(wait.get());
    uint32_t e = 0;
    EXPECT_FALSE(comm->WaitEvent(e)) << "a hung-up line must not report events (or spin)";
    std::size_t written = 1;
    EXPECT_FALSE(comm->Write("x", written));
    std::string got;
    EXPECT_FALSE(comm->Read(got, 10));
}

TEST(Comm, ReadTimeouts) {
    TPtyPort pty(217);
    auto comm = OpenRaw(pty);
    ASSERT_TRUE(comm);
    std::string got;
    ASSERT_TRUE(comm->Read(got, 10));
    EXPECT_EQ(got, "") << "immediate read of an empty queue";

    // A total timeout returns what arrived when it ends.
    TCommTimeouts t;
    t.ReadTotalConstant = 200;
    comm->SetTimeouts(t);
    pty.Write("xyz");
    auto start = Clock::now();
    ASSERT_TRUE(comm->Read(got, 10));
    EXPECT_EQ(got, "xyz");
    EXPECT_GE(Clock::now() - start, 150ms);

    // An interval timeout ends the read soon after the last byte.
    t = TCommTimeouts{};
    t.ReadIntervalTimeout = 50;
    comm->SetTimeouts(t);
    pty.Write("12");
    ASSERT_TRUE(comm->Read(got, 10));
    EXPECT_EQ(got, "12");
}

TEST(Comm, WriteEndsWithinTimeoutWithPartialCountAndCanBeAborted) {
    TPtyPort pty(218);
    auto comm = OpenRaw(pty);
    ASSERT_TRUE(comm);
    TCommTimeouts t = ImmediateReads();
    t.WriteTotalConstant = 200;
    t.WriteTotalMultiplier = 0;
    comm->SetTimeouts(t);
    std::string big(1 << 20, 'x');
    std::size_t written = 0;
    auto start = Clock::now();
    ASSERT_TRUE(comm->Write(big, written));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, big.size());
    EXPECT_LT(Clock::now() - start, 2s);

    // Without a write timeout, an abort ends the write.
    t.WriteTotalConstant = 0;
    comm->SetTimeouts(t);
    auto write = std::async(std::launch::async, [&] {
        std::size_t n = 0;
        comm->Write(big, n);
        return n;
    });
    EXPECT_EQ(write.wait_for(100ms), std::future_status::timeout);
    comm->Purge(purge_txabort);
    ASSERT_EQ(write.wait_for(2s), std::future_status::ready);
    EXPECT_LT(write.get(), big.size());
}

TEST(Comm, WaitMoreInputGathersABurstUntilTheLineIsQuiet) {
    TPtyPort pty(219);
    auto comm = OpenWatching(pty);
    ASSERT_TRUE(comm);
    ASSERT_TRUE(SendAndWait(pty, *comm, "a"));
    auto later = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(2ms);
        pty.Write("b");
    });
    EXPECT_TRUE(comm->WaitMoreInput(500000)) << "a byte came within the time";
    later.get();
    auto start = Clock::now();
    EXPECT_FALSE(comm->WaitMoreInput(20000)) << "then the line stayed quiet";
    EXPECT_GE(Clock::now() - start, 19ms);
    ExpectWaiting(*comm, "ab");

    // Gathered bytes belong to the report already made: once read, nothing
    // is reported again.
    auto next = NextReport(*comm);
    EXPECT_EQ(next.wait_for(100ms), std::future_status::timeout);
    comm->SetMask(0);
    ASSERT_EQ(next.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(next.get());
    EXPECT_FALSE(comm->WaitMoreInput(10000000)) << "a cleared mask ends the wait at once";
}

// Bytes that arrive between the report and the count are taken by the read of
// that count; they must not make a second report of an empty queue.
TEST(Comm, BytesReadWithAnEarlierReportAreNotReportedAgain) {
    TPtyPort pty(209);
    auto comm = OpenWatching(pty);
    ASSERT_TRUE(comm);
    ASSERT_TRUE(SendAndWait(pty, *comm, "a"));
    pty.Write("bc");
    std::this_thread::sleep_for(20ms);
    ExpectWaiting(*comm, "abc");
    auto next = NextReport(*comm);
    EXPECT_EQ(next.wait_for(100ms), std::future_status::timeout) << "nothing new arrived";
    pty.Write("d");
    ASSERT_EQ(next.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(next.get());
}
