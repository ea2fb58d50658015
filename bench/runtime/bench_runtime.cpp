// Events per second through a long chain of forwarding elements and through
// hubs, so that changes to dispatch can be compared.
#include "runtime/Share.h"
#include "runtime/qeDoData.h"
#include "runtime/qeHub.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

class Sink : public TQeElement {
public:
    long long received = 0;
    void inEvent(TData&, uint16_t) { ++received; }
};

template <class F> double Seconds(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A chain of do-data elements: each one forwards a value to the next.
void ForwardingChain(int length, int rounds) {
    std::vector<std::unique_ptr<TQeDoData>> chain;
    for (int i = 0; i < length; ++i) {
        chain.push_back(std::make_unique<TQeDoData>());
        SetString(chain.back()->Data, "value");
    }
    Sink sink;
    for (int i = 0; i + 1 < length; ++i)
        chain[i]->onEmit = MakeLink<&TQeDoData::inEmit>(0, chain[i + 1].get());
    chain.back()->onEmit = MakeLink<&Sink::inEvent>(0, &sink);
    auto first = MakeLink<&TQeDoData::inEmit>(0, chain[0].get());
    double s = Seconds([&] {
        for (int r = 0; r < rounds; ++r)
            FireNull(first);
    });
    double events = double(length) * rounds;
    std::printf("forwarding chain of %d: %.1f M events/s (%lld delivered)\n", length,
                events / s / 1e6, sink.received);
}

// A tree of hubs: every hub fans out to `fan` hubs below it; leaves feed a sink.
void HubTree(int fan, int depth, int rounds) {
    std::vector<std::unique_ptr<TQeHub>> hubs;
    Sink sink;
    std::vector<TQeHub*> level;
    hubs.push_back(std::make_unique<TQeHub>());
    level.push_back(hubs.back().get());
    long long perRound = 1;
    for (int d = 0; d < depth; ++d) {
        std::vector<TQeHub*> next;
        for (TQeHub* h : level) {
            h->SetOutCount(uint8_t(fan));
            for (int k = 0; k < fan; ++k) {
                if (d + 1 == depth) {
                    h->onEvent[k] = MakeLink<&Sink::inEvent>(0, &sink);
                } else {
                    hubs.push_back(std::make_unique<TQeHub>());
                    next.push_back(hubs.back().get());
                    h->onEvent[k] = MakeLink<&TQeHub::inSpread>(0, hubs.back().get());
                }
            }
            perRound += fan;
        }
        level = next;
    }
    auto root = MakeLink<&TQeHub::inSpread>(0, hubs[0].get());
    double s = Seconds([&] {
        for (int r = 0; r < rounds; ++r)
            FireString(root, "value");
    });
    std::printf("hub tree (fan %d, depth %d): %.1f M events/s (%lld delivered)\n", fan, depth,
                double(perRound) * rounds / s / 1e6, sink.received);
}

} // namespace

int main() {
    EnableDispatch();
    ForwardingChain(100000, 50);
    HubTree(4, 6, 500);
    DisableDispatch();
}
