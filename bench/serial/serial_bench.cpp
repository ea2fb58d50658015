// Serial port element on a kernel pty: one-byte inWrite calls per second, the
// latency from a byte written by the peer to the element's onRead (the burst
// gap included), and how often replies dribbled byte by byte stay whole.
#include "runtime/Share.h"
#include "serial/qeComAsync.h"
#include "tests/serial/ComTestKit.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Receives onRxChar (reads the count) and onRead (stamps the arrival).
class TSink : public TQeElement {
public:
    TQeComAsync* com = nullptr;
    std::atomic<int64_t> lastRead{0};
    std::atomic<int> reads{0};
    void inRxChar(TData& d, uint16_t) { com->inRead(d, 3); }
    void inRead(TData&, uint16_t) {
        lastRead = Clock::now().time_since_epoch().count();
        ++reads;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int writes = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pings = argc > 2 ? std::atoi(argv[2]) : 2000;
    EnableDispatch();
    TPtyPort pty(199);
    TQeComAsync com;
    UseProgramSettings(com);
    TSink sink;
    sink.com = &com;
    com.onRxChar = MakeLink<&TSink::inRxChar>(0, &sink);
    com.onRead = MakeLink<&TSink::inRead>(0, &sink);
    TData name;
    SetString(name, pty.name);
    com.inOpen(name, 0);

    // One-byte writes, the way the upload sends a block; the peer drains.
    std::atomic<bool> stop{false};
    std::atomic<long> drained{0};
    std::thread drain([&] {
        uint8_t buf[4096];
        while (!stop) {
            long n = pty.port.Read(buf, sizeof buf, 50);
            if (n > 0) drained += n;
        }
    });
    auto start = Clock::now();
    for (int i = 0; i < writes; ++i) {
        TData byte;
        SetString(byte, std::string(1, char(i)));
        com.inWrite(byte, 2);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    stop = true;
    drain.join();
    std::printf("inWrite of one byte: %d calls in %.3f s = %.0f calls/s (%.2f us each)\n", writes,
                seconds, writes / seconds, seconds * 1e6 / writes);

    // Peer byte to onRead, one at a time.
    std::vector<double> us;
    for (int i = 0; i < pings; ++i) {
        int before = sink.reads;
        auto sent = Clock::now();
        pty.Write("p");
        while (sink.reads == before)
            std::this_thread::yield();
        auto got = Clock::time_point(Clock::duration(sink.lastRead.load()));
        us.push_back(std::chrono::duration<double, std::micro>(got - sent).count());
    }
    std::sort(us.begin(), us.end());
    std::printf("peer byte -> onRead latency over %d bytes: median %.1f us, p90 %.1f us, "
                "p99 %.1f us, max %.1f us\n",
                pings, us[us.size() / 2], us[us.size() * 9 / 10], us[us.size() * 99 / 100],
                us.back());
    // Replies dribbled byte by byte, as a UART at line pace or a USB adapter's
    // 1 ms frames deliver them: each should arrive as one burst.
    const int replies = argc > 3 ? std::atoi(argv[3]) : 200;
    for (int paceUs : {260, 1000}) {
        const int before = sink.reads;
        for (int r = 0; r < replies; ++r) {
            auto due = Clock::now();
            for (char c : std::string("VARNOMIKSAL")) {
                std::this_thread::sleep_until(due);
                pty.Write(std::string(1, c));
                due += std::chrono::microseconds(paceUs);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int bursts = sink.reads - before;
        std::printf("11-byte replies dribbled %d us apart, gap %u us: %d replies, %d bursts "
                    "(%d split)\n",
                    paceUs, com.BurstGapInUse(), replies, bursts, bursts - replies);
    }

    TData none;
    com.inClose(none, 1);
    DisableDispatch();
    return 0;
}
