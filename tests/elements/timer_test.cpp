#include "Probe.h"
#include "elements/qeMMTimer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Records ticks and stops from any thread; optionally stops the timer from
// inside its n-th tick.
struct TTimerWatch : TQeElement {
    std::mutex m;
    std::condition_variable cv;
    std::vector<char> events; // 'T' tick, 'S' stop
    TQeMMTimer* stopInside = nullptr;
    int stopAtTick = 0;

    void tick(TData&, uint16_t) {
        int ticks;
        {
            std::lock_guard lock(m);
            events.push_back('T');
            ticks = int(std::count(events.begin(), events.end(), 'T'));
        }
        cv.notify_all();
        if (stopInside && ticks == stopAtTick) Send<&TQeMMTimer::inStop>(*stopInside, TData{}, 1);
    }
    void stop(TData&, uint16_t) {
        {
            std::lock_guard lock(m);
            events.push_back('S');
        }
        cv.notify_all();
    }
    bool WaitFor(char what, int n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, 3s,
                           [&] { return std::count(events.begin(), events.end(), what) >= n; });
    }
    std::string Events() {
        std::lock_guard lock(m);
        return std::string(events.begin(), events.end());
    }
};

struct MMTimerElement : ::testing::Test {
    TTimerWatch watch; // outlives the timer
    TQeMMTimer timer;
    void SetUp() override {
        timer.SetResolution(1);
        timer.SetInterval(15);
        timer.SetEnabled(false);
        timer.onTimer = MakeLink<&TTimerWatch::tick>(0, &watch);
        timer.onStop = MakeLink<&TTimerWatch::stop>(0, &watch);
    }
    void Start() { Send<&TQeMMTimer::inStart>(timer, TData{}); }
    void Stop() { Send<&TQeMMTimer::inStop>(timer, TData{}, 1); }
};

TEST_F(MMTimerElement, CountRunStopsByItself) {
    timer.SetCount(3);
    Start();
    ASSERT_TRUE(watch.WaitFor('S', 1));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(watch.Events(), "TTTS");
    EXPECT_EQ(timer.timer.Id(), 0u);
    EXPECT_EQ(MMTimerActiveCount(), 0u);
    // A second run counts again from Count.
    Start();
    ASSERT_TRUE(watch.WaitFor('S', 2));
    EXPECT_EQ(watch.Events(), "TTTSTTTS");
}

TEST_F(MMTimerElement, UnlimitedRunEndsWithInStop) {
    timer.SetCount(0);
    Start();
    ASSERT_TRUE(watch.WaitFor('T', 4));
    Stop();
    std::string events = watch.Events();
    EXPECT_EQ(events.back(), 'S');
    EXPECT_EQ(std::count(events.begin(), events.end(), 'S'), 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(watch.Events(), events);
    EXPECT_EQ(timer.remaining.load(), -1);
}

TEST_F(MMTimerElement, StopOnAStoppedTimerStillFiresOnStop) {
    Stop();
    EXPECT_EQ(watch.Events(), "S");
}

TEST_F(MMTimerElement, StopFromInsideATick) {
    watch.stopInside = &timer;
    watch.stopAtTick = 2;
    Start();
    ASSERT_TRUE(watch.WaitFor('S', 1));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(watch.Events(), "TTS");
    EXPECT_EQ(MMTimerActiveCount(), 0u);
    EXPECT_FALSE(timer.busy.load());
}

TEST_F(MMTimerElement, RestartKeepsOnePlatformTimer) {
    timer.SetCount(1000);
    Start();
    uint32_t id = timer.timer.Id();
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(watch.WaitFor('T', 2));
    Start();
    EXPECT_EQ(timer.timer.Id(), id);
    EXPECT_EQ(MMTimerActiveCount(), 1u);
    EXPECT_GE(timer.remaining.load(), 999); // the count starts again
    Stop();
    EXPECT_EQ(MMTimerActiveCount(), 0u);
}

TEST_F(MMTimerElement, SettingsApplyAtTheNextStart) {
    timer.SetInterval(15); // same value: nothing happens
    EXPECT_EQ(timer.timer.Interval, 15u);
    timer.SetResolution(5);
    EXPECT_EQ(timer.timer.Resolution, 5u);
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.timer.Enabled());
    EXPECT_NE(timer.timer.Id(), 0u);
    timer.SetEnabled(false);
    EXPECT_EQ(timer.timer.Id(), 0u);
    EXPECT_EQ(watch.Events().find('S'), std::string::npos); // Enabled fires nothing
}

TEST_F(MMTimerElement, ZeroIntervalFailsQuietlyAndRetries) {
    timer.SetInterval(0);
    Start();
    EXPECT_EQ(timer.timer.Id(), 0u);
    EXPECT_TRUE(timer.timer.Enabled());
    timer.SetInterval(15);
    timer.SetCount(1);
    Start();
    EXPECT_TRUE(watch.WaitFor('S', 1));
}

TEST(MMTimerElementLife, DestructionStopsWithoutFiring) {
    TTimerWatch watch;
    {
        TQeMMTimer timer;
        timer.SetInterval(5);
        timer.onTimer = MakeLink<&TTimerWatch::tick>(0, &watch);
        timer.onStop = MakeLink<&TTimerWatch::stop>(0, &watch);
        Send<&TQeMMTimer::inStart>(timer, TData{});
        ASSERT_TRUE(watch.WaitFor('T', 1));
    }
    EXPECT_EQ(MMTimerActiveCount(), 0u);
    std::string events = watch.Events();
    EXPECT_EQ(events.find('S'), std::string::npos);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(watch.Events(), events);
}

} // namespace

// The window thread destroys a timer whose last tick stopped it and now waits
// for the window thread: the destructor must wait through the service that
// keeps the window thread serving, or neither ever goes on.
TEST(MMTimerElementLife, DestructionWhileTheTickWaitsForTheWaitingThread) {
    static std::atomic<bool> served{false};
    served = false;
    TRuntimeServices services;
    services.waitForOtherThread = [](const std::function<void()>& wait) {
        std::thread waiter(wait);
        served = true; // what the window thread does for the tick meanwhile
        waiter.join();
    };
    SetRuntimeServices(services);

    struct TStopAndWait : TQeElement {
        TQeMMTimer* timer = nullptr;
        std::atomic<bool> inTick{false};
        std::atomic<bool> sawServed{false};
        std::atomic<bool> stopped{false};
        void tick(TData&, uint16_t) {
            if (stopped.exchange(true)) return;
            Send<&TQeMMTimer::inStop>(*timer, TData{}, 1);
            inTick = true; // only now: the destroying thread must find the timer stopped
            auto until = std::chrono::steady_clock::now() + 3s;
            while (!served && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(1ms);
            sawServed = served.load();
        }
    } watch;
    {
        TQeMMTimer timer;
        timer.SetInterval(5);
        watch.timer = &timer;
        timer.onTimer = MakeLink<&TStopAndWait::tick>(0, &watch);
        Send<&TQeMMTimer::inStart>(timer, TData{});
        while (!watch.inTick)
            std::this_thread::sleep_for(1ms);
    }
    SetRuntimeServices(TRuntimeServices{});
    EXPECT_TRUE(watch.sawServed) << "the tick was left waiting for the destroying thread";
}
