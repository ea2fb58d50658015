#include "runtime/qeOutcome.h"

void TQeOutcome::SetEndCount(uint8_t count) {
    onEnd.resize(count);
    EndCount = count;
}

void TQeOutcome::SetOpenCount(uint8_t count) {
    onOpen.resize(count);
    OpenCount = count;
}

void TQeOutcome::inPass(TData& d, uint16_t) {
    int expected = open;
    if (!state_.compare_exchange_strong(expected, passing)) return;
    Fire(onPass, d);
    expected = passing;
    state_.compare_exchange_strong(expected, open); // fails when the run ended meanwhile
}

void TQeOutcome::inEnd(TData& d, uint16_t index) {
    if (index >= EndCount || index >= onEnd.size()) return;
    int state = state_.load();
    do {
        if (state >= 0) return; // already ended
    } while (!state_.compare_exchange_weak(state, int(index)));
    Fire(onEnd[index], d);
}

void TQeOutcome::inCheck(TData& d, uint16_t index) {
    if (index >= OpenCount || index >= onOpen.size() || state_.load() >= 0) return;
    Fire(onOpen[index], d);
}

int TQeOutcome::Ended() const {
    int s = state_.load();
    return s >= 0 ? s : -1;
}
