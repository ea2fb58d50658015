// StrMask: tests a string against a wildcard mask ("*" any run, "?" one
// character, "#" one decimal digit, anything else itself).
#pragma once

#include "runtime/Share.h"

#include <string>
#include <string_view>

class TQeStrMask : public TQeElement {
public:
    std::string Mask;
    uint8_t IgnoreCase = 0; // 1: lower-case both sides first (Windows-1251)
    TEventLink srcText;
    TEventLink onMatch;
    TEventLink onNoMatch;

    void inCompare(TData& d, uint16_t index);
    void inSetMask(TData& d, uint16_t index);
    // The mask in use, for elements that need to know what is expected.
    void valMask(TData& d, uint16_t index);
};

// True when `mask` covers the whole of `text`. Both are taken with a zero byte
// appended, as the matcher has always seen them.
bool MaskMatches(std::string_view text, std::string_view mask);
