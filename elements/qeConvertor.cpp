#include "elements/qeConvertor.h"

std::string IntToHex(uint32_t n, int digits) {
    static const char kHex[] = "0123456789ABCDEF";
    // Filled from the right: at most 15 leading zeros and 8 digits.
    char buf[24];
    char* end = buf + sizeof buf;
    char* p = end;
    do {
        *--p = kHex[n & 15];
        n >>= 4;
    } while (n != 0);
    while (end - p < digits && p > buf)
        *--p = '0';
    return std::string(p, end);
}

void TQeConvertor::inConvert(TData& d, uint16_t) {
    int32_t n = ReadInteger(d, srcValue, 0);
    switch (Mode) {
    case conv_int_to_char:
        ForwardString(d, onResult, std::string(1, char(n & 0xFF)));
        break;
    case conv_int_to_hex:
        ForwardString(d, onResult, IntToHex(uint32_t(n), Digits & 15));
        break;
    default:
        ForwardInteger(d, onResult, n);
        break;
    }
}
