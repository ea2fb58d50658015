#include "tests/serial/ComAsyncFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class ComAsyncTransfer : public ComAsyncFixture {
protected:
    void SetUp() override {
        ComAsyncFixture::SetUp();
        // As the program wires it: every onRxChar reads that many bytes.
        rec.then = [this](const std::string& name, TData& d) {
            if (name == "onRxChar") {
                TData count = d;
                com.inRead(count, 3);
            }
        };
    }
    void Open(TPtyPort& pty) {
        OpenPort(com, pty.name);
        ASSERT_EQ(rec.Trace(), "onBeforeOpen onOpen(" + pty.name.substr(3) + ")");
        rec.Clear();
    }
};

TData Str(std::string s) {
    TData d;
    SetString(d, std::move(s));
    return d;
}

TData Int(int32_t n) {
    TData d;
    SetInteger(d, n);
    return d;
}

} // namespace

TEST_F(ComAsyncTransfer, WritesStringsWithZeroBytesAndIntegers) {
    TPtyPort pty(204);
    Open(pty);
    const std::string bytes("\x01\0\xff\0z", 5);
    Send(com, &TQeComAsync::inWrite, Str(bytes));
    EXPECT_EQ(pty.Read(5), bytes);
    Send(com, &TQeComAsync::inWrite, Int(65));
    EXPECT_EQ(pty.Read(2), "65");
    Send(com, &TQeComAsync::inWrite, Str(""));
    EXPECT_EQ(rec.Trace(), "onWrite(5) onWrite(2) onWrite(0)");

    Send(com, &TQeComAsync::inClose);
    rec.Clear();
    Send(com, &TQeComAsync::inWrite, Str("x"));
    Send(com, &TQeComAsync::inRead, Int(1));
    EXPECT_EQ(rec.Trace(), "") << "transfers on a closed port fire nothing";
}

TEST_F(ComAsyncTransfer, BurstsArriveAsRxCharThenReadOfThoseBytes) {
    TPtyPort pty(205);
    Open(pty);
    std::string sent;
    for (int i = 0; i < 20; ++i) {
        std::string burst(std::size_t(1 + i * 13), char('a' + i));
        burst[0] = '\0';
        pty.Write(burst);
        sent += burst;
        if (i % 5 == 0) std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(rec.WaitFor([&](const std::vector<TFired>& f) {
        std::string got;
        for (const auto& e : f)
            if (e.name == "onRead") got += e.value.sdata.str();
        return got.size() >= sent.size();
    }));
    EXPECT_EQ(rec.BytesRead(), sent);
    // Every onRxChar(k) is followed at once by onRead of k bytes.
    auto fired = rec.Fired();
    ASSERT_EQ(fired.size() % 2, 0u);
    for (std::size_t i = 0; i < fired.size(); i += 2) {
        ASSERT_EQ(fired[i].name, "onRxChar");
        ASSERT_EQ(fired[i + 1].name, "onRead");
        EXPECT_EQ(std::size_t(fired[i].value.idata), fired[i + 1].value.sdata.size());
        EXPECT_GT(fired[i].value.idata, 0) << "no empty bursts when nothing else reads";
    }
}

TEST_F(ComAsyncTransfer, ReadOfZeroGivesEmptyString) {
    TPtyPort pty(206);
    com.EvRxChar = false; // no reader: the test reads by hand
    Open(pty);
    Send(com, &TQeComAsync::inRead, Int(0));
    EXPECT_EQ(rec.Trace(), "onRead''");
    pty.Write("abc");
    std::this_thread::sleep_for(50ms);
    rec.Clear();
    Send(com, &TQeComAsync::inRead, Int(2));
    Send(com, &TQeComAsync::inRead, Int(-1));
    Send(com, &TQeComAsync::inRead, Int(5));
    EXPECT_EQ(rec.Trace(), "onRead'ab' onRead'' onRead'c'");
}

TEST_F(ComAsyncTransfer, WriteToAPeerThatNeverReadsEndsWithinTheTimeout) {
    TPtyPort pty(207);
    com.WriteTotalConstant = 300;
    com.WriteTotalMultiplier = 0;
    Open(pty);
    const std::string big(1 << 20, 'x');
    auto start = std::chrono::steady_clock::now();
    Send(com, &TQeComAsync::inWrite, Str(big));
    auto took = std::chrono::steady_clock::now() - start;
    auto fired = rec.Fired();
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].name, "onWrite");
    EXPECT_GT(fired[0].value.idata, 0);
    EXPECT_LT(fired[0].value.idata, int32_t(big.size()));
    EXPECT_GE(took, 250ms);
    EXPECT_LT(took, 3s);
}

// Bytes that follow one another within the gap are one burst; a pause much
// longer than the gap splits them.
// (A gap with room: a loaded machine can hold a byte back in the kernel for
// several milliseconds.)
TEST_F(ComAsyncTransfer, BytesWithinTheGapAreOneBurst) {
    TPtyPort pty(208);
    com.BurstGap = 25000;
    Open(pty);
    for (char c : std::string("VARNOMIKSAL")) {
        pty.Write(std::string(1, c));
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(rec.WaitFor([](const auto& f) { return f.size() >= 2; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(rec.Trace(), "onRxChar(11) onRead'VARNOMIKSAL'");

    rec.Clear();
    pty.Write("12");
    std::this_thread::sleep_for(150ms);
    pty.Write("34");
    ASSERT_TRUE(rec.WaitFor([](const auto& f) { return f.size() >= 4; }));
    EXPECT_EQ(rec.Trace(), "onRxChar(2) onRead'12' onRxChar(2) onRead'34'");
}

// The gap of an open is BurstGap, but never less than the line settings
// ask; inBurstGap changes it while the port is open, and gives it back.
TEST_F(ComAsyncTransfer, TheGapCanBeChangedWhileOpenAndGivenBack) {
    EXPECT_EQ(TQeComAsync::BurstGapFor(38462, 3, 0, 0), 909u);
    EXPECT_EQ(TQeComAsync::BurstGapFor(9600, 3, 0, 0), 3645u);  // 3.5 x 10 bits
    EXPECT_EQ(TQeComAsync::BurstGapFor(1200, 3, 2, 2), 35000u); // 3.5 x 12 bits
    EXPECT_EQ(TQeComAsync::BurstGapFor(300, 0, 0, 1), 87500u);  // 3.5 x 7.5 bits

    TPtyPort pty(209);
    Open(pty);
    EXPECT_EQ(com.BurstGapInUse(), TQeComAsync::default_burst_gap_us);
    Send(com, &TQeComAsync::inClose);
    rec.Clear();
    com.BurstGap = 40000;
    com.BaudRate = 300;
    Open(pty);
    EXPECT_EQ(com.BurstGapInUse(), 116666u);
    Send(com, &TQeComAsync::inClose);
    rec.Clear();
    com.BaudRate = 38462;
    Open(pty);
    EXPECT_EQ(com.BurstGapInUse(), 40000u);

    rec.Clear();
    TData gap;
    SetInteger(gap, 1);
    com.inBurstGap(gap, 5);
    EXPECT_EQ(com.BurstGapInUse(), 1u);
    pty.Write("ab");
    ASSERT_TRUE(rec.WaitFor([](const auto& f) { return f.size() >= 2; }));
    std::this_thread::sleep_for(100ms);
    pty.Write("cd");
    ASSERT_TRUE(rec.WaitFor([](const auto& f) { return f.size() >= 4; }));
    EXPECT_EQ(rec.Trace(), "onRxChar(2) onRead'ab' onRxChar(2) onRead'cd'");

    SetInteger(gap, -1);
    com.inBurstGap(gap, 5);
    EXPECT_EQ(com.BurstGapInUse(), 40000u);
}

// A line that never goes quiet still delivers, once the input queue is full.
TEST_F(ComAsyncTransfer, ALineThatNeverGoesQuietStillDelivers) {
    TPtyPort pty(210);
    com.InBufferSize = 16;
    Open(pty);
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        while (!stop) {
            pty.Write("z");
            std::this_thread::sleep_for(200us);
        }
    });
    bool delivered = rec.WaitFor([](const auto& f) { return !f.empty(); });
    stop = true;
    chatter.join();
    EXPECT_TRUE(delivered);
}
