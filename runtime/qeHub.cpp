#include "runtime/qeHub.h"

#include <algorithm>

void TQeHub::SetOutCount(uint8_t count) {
    onEvent.resize(count);
    OutCount = count;
}

void TQeHub::inSpread(TData& d, uint16_t) {
    std::size_t count = std::min<std::size_t>(OutCount, onEvent.size());
    for (std::size_t k = 0; k < count; ++k)
        FireCopy(onEvent[k], d);
}
