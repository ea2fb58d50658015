#include "runtime/qeCommutator.h"

#include <algorithm>

void TQeCommutator::SetOutCount(uint8_t count) {
    if (count > 0) onEvent.resize(count);
    OutCount = count;
}

void TQeCommutator::inSwitch(TData& d, uint16_t index) {
    TData empty;
    if (ReadInteger(empty, srcEnabled, 1) == 0) return;
    int32_t output = ReadInteger(empty, srcOutput, -1);
    int32_t input = ReadInteger(empty, srcInput, -1);
    if (input >= 0 && input != index) return;
    int32_t count = int32_t(std::min<std::size_t>(OutCount, onEvent.size()));
    if (output >= 0 && output < count) {
        TData copy = d;
        Fire(onEvent[std::size_t(output)], copy);
    } else if (output < 0) {
        for (int32_t k = 0; k < count; ++k) {
            TData copy = d;
            Fire(onEvent[std::size_t(k)], copy);
        }
    }
}
