#include "elements/qeCounter.h"

// The step is taken in 64 bits, so a count that would leave the 32-bit range
// wraps to the opposite bound like any other count past a bound.
// A step and a reset on two threads never lose one another: the step is
// retried when the count changed under it.
void TQeCounter::inNext(TData& d, uint16_t) {
    int32_t current = Value.load();
    int32_t next;
    do {
        if (Direction != 0) {
            int64_t v = int64_t(current) - Step;
            next = v < Min ? Max : int32_t(v);
        } else {
            int64_t v = int64_t(current) + Step;
            next = v > Max ? Min : int32_t(v);
        }
    } while (!Value.compare_exchange_weak(current, next));
    ForwardInteger(d, onNext, next);
}

void TQeCounter::inReset(TData&, uint16_t) {
    Value = Direction != 0 ? Max : Min;
}

void TQeCounter::valCount(TData& d, uint16_t) {
    SetInteger(d, Value);
}
