#include "platform/MMTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Counts calls and lets the test wait for a number of them.
struct TTicks {
    std::mutex m;
    std::condition_variable cv;
    int count = 0;
    std::thread::id thread;
    std::atomic<uint32_t> id{0};
    std::atomic<int> sleepMs{0};
    std::atomic<bool> killInside{false};
    std::atomic<bool> inside{false};
    std::atomic<bool> returned{false};

    static void Proc(void* user) {
        auto* t = static_cast<TTicks*>(user);
        t->inside = true;
        t->returned = false;
        if (int ms = t->sleepMs.load()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        if (t->killInside) MMTimerKillEvent(t->id);
        {
            std::lock_guard lock(t->m);
            ++t->count;
            t->thread = std::this_thread::get_id();
        }
        t->cv.notify_all();
        t->returned = true;
    }
    bool WaitFor(int n, std::chrono::milliseconds limit = 3000ms) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, limit, [&] { return count >= n; });
    }
    int Count() {
        std::lock_guard lock(m);
        return count;
    }
    // Starts a 5 ms periodic timer whose calls take `ms` each, and kills it
    // once a call is in progress.
    void KillDuringASlowCall(int ms) {
        sleepMs = ms;
        id = MMTimerSetEvent(5, 1, &TTicks::Proc, this, mmtimer_periodic);
        while (!inside)
            std::this_thread::sleep_for(1ms);
        MMTimerKillEvent(id);
    }
};

TEST(MMTimer, PeriodicOnItsOwnThreadUntilKilled) {
    TTicks t;
    t.id = MMTimerSetEvent(10, 1, &TTicks::Proc, &t, mmtimer_periodic);
    ASSERT_NE(t.id, 0u);
    EXPECT_EQ(MMTimerActiveCount(), 1u);
    ASSERT_TRUE(t.WaitFor(4));
    EXPECT_NE(t.thread, std::this_thread::get_id());
    MMTimerKillEvent(t.id);
    EXPECT_EQ(MMTimerActiveCount(), 0u);
    int after = t.Count();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(t.Count(), after);
    MMTimerKillEvent(t.id); // a second kill is harmless
}

TEST(MMTimer, OneShotCallsOnce) {
    TTicks t;
    t.id = MMTimerSetEvent(5, 0, &TTicks::Proc, &t, mmtimer_oneshot);
    ASSERT_TRUE(t.WaitFor(1));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(t.Count(), 1);
    MMTimerKillEvent(t.id);
}

TEST(MMTimer, RefusesAZeroDelayOrNoProcedure) {
    TTicks t;
    EXPECT_EQ(MMTimerSetEvent(0, 1, &TTicks::Proc, &t, mmtimer_periodic), 0u);
    EXPECT_EQ(MMTimerSetEvent(10, 1, nullptr, &t, mmtimer_periodic), 0u);
    MMTimerKillEvent(0);
    MMTimerKillEvent(123456);
    EXPECT_EQ(MMTimerActiveCount(), 0u);
}

TEST(MMTimer, KillWaitsForTheCallInProgress) {
    TTicks t;
    t.KillDuringASlowCall(150);
    EXPECT_TRUE(t.returned);
    int after = t.Count();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(t.Count(), after);
}

TEST(MMTimer, KillFromInsideItsOwnCall) {
    TTicks t;
    t.killInside = true;
    t.id = MMTimerSetEvent(5, 1, &TTicks::Proc, &t, mmtimer_periodic);
    ASSERT_TRUE(t.WaitFor(1));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(t.Count(), 1);
    EXPECT_EQ(MMTimerActiveCount(), 0u);
    while (!t.returned) // nobody waits for a call that killed its own timer
        std::this_thread::sleep_for(1ms);
}

std::atomic<int> g_hookWaits{0};

TEST(MMTimer, KillWaitsThroughTheInstalledHook) {
    TMMTimerWaitHook hook;
    hook.wait = [](bool (*done)(void*), void* context) {
        ++g_hookWaits;
        while (!done(context))
            std::this_thread::sleep_for(1ms); // a window thread would serve calls here
    };
    SetMMTimerWaitHook(hook);
    TTicks t;
    t.KillDuringASlowCall(50);
    SetMMTimerWaitHook(TMMTimerWaitHook{});
    EXPECT_EQ(g_hookWaits, 1);
    EXPECT_TRUE(t.returned);
}

// 16 timers: some systems' multimedia timer service has no more per process.
TEST(MMTimer, ManyTimersStartAndStopCleanly) {
    TTicks t;
    uint32_t ids[16];
    for (auto& id : ids) {
        id = MMTimerSetEvent(1, 1, &TTicks::Proc, &t, mmtimer_periodic);
        EXPECT_NE(id, 0u);
    }
    EXPECT_EQ(MMTimerActiveCount(), 16u);
    std::this_thread::sleep_for(20ms);
    std::thread other([&] {
        for (int k = 0; k < 8; ++k)
            MMTimerKillEvent(ids[k]);
    });
    for (int k = 15; k >= 4; --k)
        MMTimerKillEvent(ids[k]);
    other.join();
    EXPECT_EQ(MMTimerActiveCount(), 0u);
}

// More timers than a multimedia timer service may give a process (wine
// gives 16): every one is made, ticks and is killed, as each of many
// uploads at once has its watchdog.
TEST(MMTimer, MoreTimersThanTheServiceGivesAllTick) {
    TTicks ticks[40];
    uint32_t ids[40];
    for (int k = 0; k < 40; ++k) {
        ids[k] = MMTimerSetEvent(10, 1, &TTicks::Proc, &ticks[k], mmtimer_periodic);
        ASSERT_NE(ids[k], 0u) << "timer " << k;
    }
    for (auto& t : ticks)
        EXPECT_TRUE(t.WaitFor(2));
    for (uint32_t id : ids)
        MMTimerKillEvent(id);
    EXPECT_EQ(MMTimerActiveCount(), 0u);
}

} // namespace
