#include "tests/serial/ComTestKit.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class ComAsyncTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        EnableDispatch();
        UseProgramSettings(com);
        rec.Attach(com);
        // As the program wires it: every onRxChar reads that many bytes.
        rec.then = [this](const std::string& name, TData& d) {
            if (name == "onRxChar") {
                TData count = d;
                com.inRead(count, 3);
            }
        };
    }
    void TearDown() override {
        Send(com, &TQeComAsync::inClose);
        DisableDispatch();
    }
    void Open(TPtyPort& pty) {
        OpenPort(com, pty.name);
        ASSERT_EQ(rec.Trace(), "onBeforeOpen onOpen(" + pty.name.substr(3) + ")");
        rec.Clear();
    }
    TQeComAsync com;
    TRecorder rec;
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
