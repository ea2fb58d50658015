// Serial port element on a kernel pty: one-byte inWrite calls per second, the
// latency from a byte written by the peer to the element's onRead, and for
// replies dribbled byte by byte how far apart their bytes arrive and how
// often they stay whole with the identification gap.
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
// Between dribbled replies: far longer than any gap between their bytes.
constexpr auto kPause = std::chrono::milliseconds(200);

// Receives onRxChar (reads the count) and onRead (stamps the arrival).
class TSink : public TQeElement {
public:
    TQeComAsync* com = nullptr;
    std::atomic<int64_t> lastRead{0};
    std::atomic<int> reads{0};
    void inRxChar(TData& d, uint16_t) { com->inRead(d, 3); }
    std::atomic<bool> keepStamps{false};
    std::vector<int64_t> stamps; // arrival of every read while keepStamps
    void inRead(TData&, uint16_t) {
        lastRead = Clock::now().time_since_epoch().count();
        if (keepStamps) stamps.push_back(lastRead);
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

    // Peer byte to onRead, one at a time, as an upload's replies come: the
    // port reports bytes as they arrive.
    TData gap;
    SetInteger(gap, 1);
    com.inBurstGap(gap, 5);
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

    // Identification replies dribbled byte by byte, as a UART at line pace,
    // a USB adapter's 1 ms frames or a slow device deliver them. First how
    // far apart their bytes reach the element (what the gap must cover),
    // then how many stay one burst with the port's own gap.
    const int replies = argc > 3 ? std::atoi(argv[3]) : 20;
    const std::string reply = "VARNOMIKSAL VMX-1 8.3";
    auto dribble = [&](int paceUs) {
        for (int r = 0; r < replies; ++r) {
            auto due = Clock::now();
            for (char c : reply) {
                std::this_thread::sleep_until(due);
                pty.Write(std::string(1, c));
                due += std::chrono::microseconds(paceUs);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(paceUs) + kPause);
        }
    };
    for (int paceUs : {260, 1000, 5000, 10000, 20000}) {
        sink.stamps.clear();
        sink.keepStamps = true;
        dribble(paceUs);
        sink.keepStamps = false;
        double widest = 0;
        for (std::size_t i = 1; i < sink.stamps.size(); ++i) {
            double apart = std::chrono::duration<double, std::micro>(
                               Clock::duration(sink.stamps[i] - sink.stamps[i - 1]))
                               .count();
            if (apart < paceUs + kPause.count() * 500.0) widest = std::max(widest, apart);
        }
        SetInteger(gap, -1);
        com.inBurstGap(gap, 5);
        const int before = sink.reads;
        dribble(paceUs);
        const int bursts = sink.reads - before;
        SetInteger(gap, 1);
        com.inBurstGap(gap, 5);
        std::printf("%zu-byte replies dribbled %d us apart: bytes at most %.0f us apart; "
                    "with the gap of %u us %d replies, %d bursts (%d split)\n",
                    reply.size(), paceUs, widest, com.BurstGap, replies, bursts, bursts - replies);
    }

    TData none;
    com.inClose(none, 1);
    DisableDispatch();
    return 0;
}
