// Hub: fans one event out to every output in order, each with its own copy.
#pragma once

#include "runtime/Share.h"

#include <vector>

class TQeHub : public TQeElement {
public:
    uint8_t OutCount = 0;
    std::vector<TEventLink> onEvent;

    void SetOutCount(uint8_t count);
    void inSpread(TData& d, uint16_t index);
};
