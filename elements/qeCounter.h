// Counter: a bounded counter that wraps to the opposite bound.
#pragma once

#include <atomic>

#include "runtime/Share.h"

class TQeCounter : public TQeElement {
public:
    // Atomic: one thread may step the count while another resets it (the
    // upload's silence count is stepped by the timer and reset by the reader).
    std::atomic<int32_t> Value{0};
    int32_t Min = 0;
    int32_t Max = 0;
    int32_t Step = 1;
    uint8_t Direction = 0; // 0 counts up, anything else down
    TEventLink onNext;

    void inNext(TData& d, uint16_t index);
    void inReset(TData& d, uint16_t index);
    void valCount(TData& d, uint16_t index);
};
