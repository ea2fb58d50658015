// For: a counted loop that fires an event per index.
#pragma once

#include "runtime/Share.h"

#include <atomic>

class TQeFor : public TQeElement {
public:
    // The current loop index, for observers. Each run counts on its own copy,
    // so runs on two threads (a block sent from the window thread while the
    // reader thread starts the next) never steer each other's loop.
    std::atomic<int32_t> index{0};
    int32_t Start = 0;
    int32_t End = 0;
    int32_t Step = 1;       // 0 runs no pass
    uint8_t IncludeEnd = 0; // non-zero: End itself is visited
    uint8_t KeepData = 0;   // 0: the event value is cleared before the operands are read
    TEventLink srcEnd;
    TEventLink srcStart;
    TEventLink onStep;
    TEventLink onDone;

    void inRun(TData& d, uint16_t index);
};
