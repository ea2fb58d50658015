#include "runtime/qeOutcome.h"

void TQeOutcome::SetEndCount(uint8_t count) {
    onEnd.resize(count);
    EndCount = count;
}

void TQeOutcome::inPass(TData& d, uint16_t) {
    int expected = open;
    if (!state_.compare_exchange_strong(expected, passing)) return;
    passer_ = std::this_thread::get_id();
    Fire(onPass, d);
    passer_ = std::thread::id{};
    expected = passing;
    state_.compare_exchange_strong(expected, open); // fails when the pass ended the run
}

void TQeOutcome::inEnd(TData& d, uint16_t index) {
    if (index >= EndCount || index >= onEnd.size()) return;
    // Inside a pass only the passing thread may end the run.
    int expected = passer_.load() == std::this_thread::get_id() ? passing : open;
    if (!state_.compare_exchange_strong(expected, int(index))) return;
    Fire(onEnd[index], d);
}

int TQeOutcome::Ended() const {
    int s = state_.load();
    return s >= 0 ? s : -1;
}
