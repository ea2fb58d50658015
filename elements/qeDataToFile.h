// DataToFile: reads one item from a stream each time it is fired.
#pragma once

#include "runtime/Share.h"

// Kinds of item; one unsigned byte is the only kind.
enum : uint8_t { item_byte = 0 };

class TQeDataToFile : public TQeElement {
public:
    uint8_t ItemType = item_byte;
    TEventLink onGet; // Integer 0..255, the byte read (0 at the end of the stream)
    TEventLink srcStream;

    void inGet(TData& d, uint16_t index);
};
