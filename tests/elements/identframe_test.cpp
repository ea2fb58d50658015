#include "Probe.h"
#include "elements/qeIdentFrame.h"
#include "platform/MMTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The frames passed on, from any thread.
struct TFrames : TQeElement {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> got;
    void in(TData& d, uint16_t) {
        {
            std::lock_guard lock(m);
            got.push_back(ToString(d));
        }
        cv.notify_all();
    }
    std::vector<std::string> Got() {
        std::lock_guard lock(m);
        return got;
    }
    bool WaitFor(std::size_t n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, 3s, [&] { return got.size() >= n; });
    }
};

// A frame as the probe sets it up, with its output recorded.
struct TFramed {
    TFrames out;
    TQeIdentFrame frame;
    explicit TFramed(int32_t limitMs = 1000) {
        frame.Signature = "VARNOMIKSAL";
        frame.Delimiter = " ";
        frame.Delimiters = 2;
        frame.IgnoreCase = 1;
        frame.WaitLimit = limitMs;
        frame.onFrame = MakeLink<&TFrames::in>(0, &out);
    }
    void Add(std::string burst) { Send<&TQeIdentFrame::inAdd>(frame, Str(std::move(burst))); }
};

bool NoTimerWithin(std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (MMTimerActiveCount() != 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(1ms);
    return MMTimerActiveCount() == 0;
}

} // namespace

// What goes on at once for each run of bursts (all before the limit).
TEST(IdentFrame, WaitsOnlyWhileTheSignatureOrTheNameIsUnfinished) {
    struct Case {
        std::vector<std::string> bursts, frames;
    } cases[] = {
        {{"VARNO", "MIKSAL DEV 2.1"}, {"VARNOMIKSAL DEV 2.1"}}, // inside the signature
        {{"varnomiksal", " X", " 1.0"}, {"varnomiksal X 1.0"}}, // case ignored; the name
        {{"VARNOMIKSAL D", "EV ", "2.1"},
         {"VARNOMIKSAL DEV ", "2.1"}},                              // the head ends: as it stands
        {{"VARNOMIKSAL DEV 2", ".1"}, {"VARNOMIKSAL DEV 2", ".1"}}, // whole at once
        {{"XYZ", "VARNOMIKSAL DEV 2.1"}, {"XYZ", "VARNOMIKSAL DEV 2.1"}}, // no start: at once
        {{"VARNOMIKSAL2 X 1.0"}, {"VARNOMIKSAL2 X 1.0"}},
        {{"VARNO", "XYZ", "VARNO"}, {"VARNOXYZ"}}, // what is held goes with a burst that ends it
        {{"VARNOMIKSAL", "", "X"}, {"VARNOMIKSALX"}},
    };
    for (const Case& c : cases) {
        TFramed f;
        for (const std::string& burst : c.bursts)
            f.Add(burst);
        EXPECT_EQ(f.out.Got(), c.frames) << c.bursts.front();
    }
    EXPECT_TRUE(NoTimerWithin(0ms)); // the frames' destruction stopped the wait
}

// The limit passes on what is held, on the timer's thread; the next burst is
// a reply of its own. All frames of the process share one platform timer.
TEST(IdentFrame, TheLimitPassesOnWhatIsHeld) {
    TFramed a(100), b(100);
    const auto start = std::chrono::steady_clock::now();
    a.Add("VARNOMIKSAL");
    b.Add("VARNOMIKSAL X");
    EXPECT_EQ(MMTimerActiveCount(), 1u);
    ASSERT_TRUE(a.out.WaitFor(1));
    ASSERT_TRUE(b.out.WaitFor(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_EQ(a.out.Got(), std::vector<std::string>{"VARNOMIKSAL"});
    EXPECT_EQ(b.out.Got(), std::vector<std::string>{"VARNOMIKSAL X"});
    EXPECT_TRUE(NoTimerWithin(1000ms));

    a.Add("VARNOMIKSAL DEV 2.1");
    EXPECT_EQ(a.out.Got(), (std::vector<std::string>{"VARNOMIKSAL", "VARNOMIKSAL DEV 2.1"}));
}

TEST(IdentFrame, ClearOrDestructionDropsWhatIsHeld) {
    TFramed f(50);
    f.Add("VARNO");
    Send<&TQeIdentFrame::inClear>(f.frame, TData{});
    EXPECT_EQ(MMTimerActiveCount(), 0u);
    f.Add("MIKSAL DEV 2.1"); // no longer joined to "VARNO"
    EXPECT_EQ(f.out.Got(), std::vector<std::string>{"MIKSAL DEV 2.1"});

    TFrames out;
    {
        TFramed held(50);
        held.frame.onFrame = MakeLink<&TFrames::in>(0, &out);
        held.Add("VARNOMIKSAL");
    }
    EXPECT_EQ(MMTimerActiveCount(), 0u);
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(out.Got().empty());
}

// Silence after the request is told once; a byte before the limit, or a new
// port, means there is none to tell.
TEST(IdentFrame, TellsOfSilenceAfterTheRequest) {
    for (int bytesFirst : {0, 1}) {
        TFramed f;
        TFrames silence;
        f.frame.SilenceLimit = 50;
        f.frame.onSilence = MakeLink<&TFrames::in>(0, &silence);
        Send<&TQeIdentFrame::inRequest>(f.frame, Str("VERS"));
        if (bytesFirst) f.Add("VARNOMIKSAL DEV 2.1");
        EXPECT_EQ(silence.WaitFor(1), !bytesFirst);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(silence.Got().size(), bytesFirst ? 0u : 1u);
        // A reply after the silence is framed as any other.
        f.Add("VARNOMIKSAL DEV 2.1");
        EXPECT_EQ(f.out.Got().back(), "VARNOMIKSAL DEV 2.1");
    }
    EXPECT_TRUE(NoTimerWithin(500ms));
}
