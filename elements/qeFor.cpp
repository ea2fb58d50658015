#include "elements/qeFor.h"

#include <limits>

namespace {

// index + step; false (and the index wrapped) when the sum leaves the 32-bit
// range, which ends the loop instead of running it again from the far end.
bool Advance(int32_t& index, int32_t step) {
    int64_t next = int64_t(index) + step;
    index = int32_t(uint32_t(index) + uint32_t(step));
    return next >= std::numeric_limits<int32_t>::min() &&
           next <= std::numeric_limits<int32_t>::max();
}

} // namespace

void TQeFor::inRun(TData& d, uint16_t) {
    if (KeepData == 0) SetNull(d);
    int32_t i = ReadInteger(d, srcStart, Start);
    int64_t last = ReadInteger(d, srcEnd, End);
    index = i;
    if (Step > 0) {
        if (IncludeEnd == 0) last -= 1;
        while (i <= last) {
            FireInteger(onStep, i);
            bool more = Advance(i, Step);
            index = i;
            if (!more) break;
        }
    } else if (Step < 0) {
        if (IncludeEnd == 0) last += 1;
        while (i >= last) {
            FireInteger(onStep, i);
            bool more = Advance(i, Step);
            index = i;
            if (!more) break;
        }
    }
    ForwardInteger(d, onDone, i);
}
