// Convertor: turns an integer into text.
#pragma once

#include "runtime/Share.h"

#include <string>

// Conversions of inConvert.
enum : uint8_t {
    conv_int_to_char = 4, // one character of code n mod 256
    conv_int_to_hex = 6,  // upper-case hexadecimal, at least (Digits and 15) digits
};

class TQeConvertor : public TQeElement {
public:
    uint8_t Mode = 0;
    int32_t Digits = 0; // minimum hexadecimal digits; only the low four bits count
    TEventLink srcValue;
    TEventLink onResult;

    // Converts by Mode; any other Mode passes the integer on unconverted.
    void inConvert(TData& d, uint16_t index);
};

// n as an unsigned 32-bit number in upper-case hexadecimal, padded with "0" to
// at least `digits` digits (at least one).
std::string IntToHex(uint32_t n, int digits);
