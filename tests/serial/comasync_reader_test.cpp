#include "tests/serial/ComAsyncFixture.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class ComAsyncReader : public ComAsyncFixture {
protected:
    // Links onRxChar to inRead, as the program does.
    void ReadOnRxChar(std::function<void(const std::string&, TData&)> more = {}) {
        rec.then = [this, more](const std::string& name, TData& d) {
            if (name == "onRxChar") {
                TData count = d;
                com.inRead(count, 3);
            }
            if (more) more(name, d);
        };
    }
    bool Opened(const TPtyPort& pty) {
        OpenPort(com, pty.name);
        bool ok = rec.Trace() == "onBeforeOpen onOpen(" + pty.name.substr(3) + ")";
        rec.Clear();
        return ok;
    }
};

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The close events come in order and end the trace. Events of a reader
// chain that was under way may still come between them, but not after onClose.
bool CloseSequenceEnds(const std::vector<TFired>& fired) {
    const std::vector<std::string> close = {"onBeforeClose", "onCts", "onDsr", "onRlsd", "onClose"};
    std::size_t next = 0;
    for (const auto& f : fired)
        if (next < close.size() && f.name == close[next]) ++next;
    return next == close.size() && fired.back().name == "onClose";
}

} // namespace

TEST_F(ComAsyncReader, PeerHangingUpEndsTheReaderAndCloseStillWorks) {
    if (TVirtualPort::IsCable()) GTEST_SKIP() << "a virtual cable cannot hang the line up";
    TPtyPort pty(180);
    ReadOnRxChar();
    ASSERT_TRUE(Opened(pty));
    pty.Write("hi");
    ASSERT_TRUE(rec.WaitFor([](const auto& f) { return f.size() >= 2; }));
    pty.HangUp();
    std::this_thread::sleep_for(50ms);
    // The reader must have ended, not spin on the hung-up line.
    double cpu = CpuSeconds();
    std::this_thread::sleep_for(200ms);
    EXPECT_LT(CpuSeconds() - cpu, 0.1);
    rec.Clear();
    Send(com, &TQeComAsync::inClose);
    EXPECT_EQ(rec.Trace(), "onBeforeClose onCts(0) onDsr(0) onRlsd(0) onClose");
}

TEST_F(ComAsyncReader, CloseFromInsideTheReadersChain) {
    TPtyPort pty(181);
    std::atomic<bool> closeOnRead{true};
    ReadOnRxChar([&](const std::string& name, TData&) {
        if (name == "onRead" && closeOnRead) Send(com, &TQeComAsync::inClose);
    });
    ASSERT_TRUE(Opened(pty));
    pty.Write("x");
    ASSERT_TRUE(
        rec.WaitFor([](const auto& f) { return !f.empty() && f.back().name == "onClose"; }));
    EXPECT_EQ(rec.Trace(),
              "onRxChar(1) onRead'x' onBeforeClose onCts(0) onDsr(0) onRlsd(0) onClose");

    // The element opens again (joining the old reader) and works. The close
    // ends on the reader just after onClose; until then inOpen does nothing.
    closeOnRead = false;
    rec.Clear();
    for (int i = 0; i < 400 && rec.Trace().empty(); ++i) {
        std::this_thread::sleep_for(5ms);
        OpenPort(com, pty.name);
    }
    ASSERT_EQ(rec.Trace(), "onBeforeOpen onOpen(181)");
    Send(com, &TQeComAsync::inWrite, [] {
        TData d;
        SetString(d, "ok");
        return d;
    }());
    EXPECT_EQ(pty.Read(2), "ok");
}

TEST_F(ComAsyncReader, CloseWhileTheReaderWritesToAPeerThatNeverReads) {
    TPtyPort pty(182);
    com.WriteTotalConstant = 0; // no write timeout: only the close can end the write
    com.WriteTotalMultiplier = 0;
    std::atomic<int> writes{0};
    ReadOnRxChar([&](const std::string& name, TData&) {
        if (name != "onRead") return;
        TData big;
        SetString(big, std::string(1 << 20, 'w'));
        for (int i = 0; i < 100; ++i) {
            ++writes;
            TData copy = big;
            com.inWrite(copy, 2);
        }
    });
    ASSERT_TRUE(Opened(pty));
    pty.Write("go");
    ASSERT_TRUE(rec.WaitFor([](const auto& f) { return f.size() >= 2; }));
    std::this_thread::sleep_for(100ms);
    auto start = std::chrono::steady_clock::now();
    Send(com, &TQeComAsync::inClose);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(CloseSequenceEnds(rec.Fired())) << rec.Trace();
    EXPECT_EQ(writes.load(), 100) << "the chain ran to its end";
}

TEST_F(ComAsyncReader, CloseRacingBurstsNeverDeadlocksOrLosesThePort) {
    TPtyPort pty(183);
    std::atomic<bool> stop{false};
    std::atomic<bool> readerCloses{false};
    ReadOnRxChar([&](const std::string& name, TData&) {
        // Answer every burst, as the upload does, so writes race the close
        // too; in some rounds the reader closes as well, racing the test's close.
        if (name == "onRead" && readerCloses) Send(com, &TQeComAsync::inClose);
        if (name == "onRead") {
            TData ack;
            SetString(ack, "k");
            com.inWrite(ack, 2);
        }
    });
    std::thread peer([&] {
        uint8_t sink[4096];
        while (!stop) {
            pty.Write(std::string(37, 'b'));
            while (pty.port.Read(sink, sizeof sink, 0) > 0) {
            }
            std::this_thread::yield();
        }
    });
    for (int round = 0; round < 300; ++round) {
        rec.Clear();
        readerCloses = round % 4 == 1;
        OpenPort(com, pty.name);
        ASSERT_TRUE(rec.WaitFor([](const auto& f) {
            for (const auto& e : f)
                if (e.name == "onOpen") return true;
            return false;
        })) << round;
        for (const auto& e : rec.Fired()) {
            if (e.name == "onOpen") {
                ASSERT_EQ(e.value.idata, 183) << "round " << round;
            }
        }
        if (round % 3) std::this_thread::sleep_for(std::chrono::microseconds(round * 7 % 900));
        Send(com, &TQeComAsync::inClose);
        // A close on the reader may still be finishing: wait for its onClose.
        ASSERT_TRUE(rec.WaitFor([](const auto& f) {
            return std::any_of(f.begin(), f.end(),
                               [](const TFired& e) { return e.name == "onClose"; });
        })) << "round "
            << round << ": " << rec.Trace();
        auto fired = rec.Fired();
        // A reader that closes may do so even before inOpen has fired onOpen.
        if (readerCloses && fired.back().name == "onOpen") fired.pop_back();
        ASSERT_TRUE(CloseSequenceEnds(fired)) << "round " << round << ": " << rec.Trace();
        ASSERT_EQ(std::count_if(fired.begin(), fired.end(),
                                [](const TFired& f) { return f.name == "onClose"; }),
                  1);
        // Let a reader that closed from its own chain finish before the next open.
        for (int i = 0; i < 400 && readerCloses; ++i) {
            rec.Clear();
            OpenPort(com, pty.name);
            if (!rec.Trace().empty()) {
                Send(com, &TQeComAsync::inClose);
                break;
            }
            std::this_thread::sleep_for(1ms);
        }
    }
    stop = true;
    peer.join();
}

TEST_F(ComAsyncReader, DestroyingAnOpenElementClosesIt) {
    TPtyPort pty(184);
    auto local = std::make_unique<TQeComAsync>();
    UseProgramSettings(*local);
    TRecorder localRec;
    localRec.Attach(*local);
    OpenPort(*local, pty.name);
    pty.Write("zz");
    ASSERT_TRUE(localRec.WaitFor([](const auto& f) { return f.size() >= 3; }));
    local.reset(); // fires the close events and joins the reader
    EXPECT_EQ(localRec.Trace(), "onBeforeOpen onOpen(184) onRxChar(2) onBeforeClose onCts(0) "
                                "onDsr(0) onRlsd(0) onClose");
    EXPECT_TRUE(Opened(pty)) << "the port was released";
}
