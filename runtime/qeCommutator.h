// Commutator: passes an event to one chosen output or to all of them.
#pragma once

#include "runtime/Share.h"

#include <vector>

class TQeCommutator : public TQeElement {
public:
    uint8_t OutCount = 0;
    std::vector<TEventLink> onEvent;
    TEventLink srcEnabled;
    TEventLink srcInput;
    TEventLink srcOutput;

    void SetOutCount(uint8_t count);
    void inSwitch(TData& d, uint16_t index);
};
