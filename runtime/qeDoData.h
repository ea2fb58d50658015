// Do-data: turns an event into a fixed or pulled value.
#pragma once

#include "runtime/Share.h"

class TQeDoData : public TQeElement {
public:
    TData Data;
    TEventLink srcData;
    TEventLink onEmit;

    void inEmit(TData& d, uint16_t index);
};
