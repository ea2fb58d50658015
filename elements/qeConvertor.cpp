#include "elements/qeConvertor.h"

std::string IntToHex(uint32_t n, int digits) {
    static const char kHex[] = "0123456789ABCDEF";
    char buf[8];
    int len = 0;
    do {
        buf[len++] = kHex[n & 15];
        n >>= 4;
    } while (n != 0);
    std::string out;
    if (digits > len) out.assign(std::size_t(digits - len), '0');
    while (len > 0)
        out.push_back(buf[--len]);
    return out;
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
