// Tick jitter of TQeMMTimer against its grid: Interval 1000 ms, Resolution
// 1 ms, Count 30, as the upload's watchdog runs it. Tick k is due at
// start + k * Interval; the deviation of each tick from that grid is printed
// with its summary. Usage: bench_timer [interval_ms [ticks]]
#include "elements/qeMMTimer.h"
#include "runtime/Share.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct TRecorder : TQeElement {
    std::mutex m;
    std::condition_variable cv;
    std::vector<Clock::time_point> ticks;
    bool stopped = false;
    void tick(TData&, uint16_t) {
        std::lock_guard lock(m);
        ticks.push_back(Clock::now());
    }
    void stop(TData&, uint16_t) {
        {
            std::lock_guard lock(m);
            stopped = true;
        }
        cv.notify_all();
    }
};

} // namespace

int main(int argc, char** argv) {
    const int interval = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    EnableDispatch();
    TRecorder rec;
    TQeMMTimer timer;
    timer.SetResolution(1);
    timer.SetInterval(uint32_t(interval));
    timer.SetCount(count);
    timer.onTimer = MakeLink<&TRecorder::tick>(0, &rec);
    timer.onStop = MakeLink<&TRecorder::stop>(0, &rec);
    std::printf("%d ticks at %d ms (about %d s)\n", count, interval, count * interval / 1000);
    auto start = Clock::now();
    FireNull(MakeLink<&TQeMMTimer::inStart>(0, &timer));
    {
        std::unique_lock lock(rec.m);
        rec.cv.wait(lock, [&] { return rec.stopped; });
    }
    DisableDispatch();

    std::vector<double> dev; // ms late against start + k * interval
    for (std::size_t k = 0; k < rec.ticks.size(); ++k) {
        auto due = start + std::chrono::milliseconds(interval) * (k + 1);
        dev.push_back(std::chrono::duration<double, std::milli>(rec.ticks[k] - due).count());
        std::printf("tick %2zu  %+8.3f ms\n", k + 1, dev.back());
    }
    double sum = 0, sq = 0, lo = 1e9, hi = -1e9;
    for (double d : dev) {
        sum += d;
        sq += d * d;
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    double mean = sum / double(dev.size());
    double sd = std::sqrt(std::max(0.0, sq / double(dev.size()) - mean * mean));
    // Drift: the last tick against the first, over the ticks between them.
    double drift = dev.size() > 1 ? dev.back() - dev.front() : 0;
    std::printf("ticks %zu (expected %d)  deviation min %+.3f  max %+.3f  mean %+.3f  sd %.3f ms"
                "  drift over the run %+.3f ms\n",
                dev.size(), count, lo, hi, mean, sd, drift);
    return int(dev.size()) == count ? 0 : 1;
}
