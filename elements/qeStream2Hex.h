// Stream2Hex: turns a byte string into upper-case hexadecimal text.
#pragma once

#include "runtime/Share.h"

#include <string>
#include <string_view>

class TQeStream2Hex : public TQeElement {
public:
    TEventLink srcData;
    TEventLink onResult;

    void inConvert(TData& d, uint16_t index);
};

// Two upper-case hexadecimal digits per byte, high half first.
std::string BytesToHex(std::string_view bytes);
