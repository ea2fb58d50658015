#include "elements/qeCounter.h"

// The step is taken in 64 bits, so a count that would leave the 32-bit range
// wraps to the opposite bound like any other count past a bound.
void TQeCounter::inNext(TData& d, uint16_t) {
    if (Direction != 0) {
        int64_t v = int64_t(Value) - Step;
        Value = v < Min ? Max : int32_t(v);
    } else {
        int64_t v = int64_t(Value) + Step;
        Value = v > Max ? Min : int32_t(v);
    }
    ForwardInteger(d, onNext, Value);
}

void TQeCounter::inReset(TData&, uint16_t) {
    Value = Direction != 0 ? Max : Min;
}

void TQeCounter::valCount(TData& d, uint16_t) {
    SetInteger(d, Value);
}
