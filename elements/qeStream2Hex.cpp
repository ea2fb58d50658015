#include "elements/qeStream2Hex.h"

std::string BytesToHex(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out(bytes.size() * 2, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char b = (unsigned char)bytes[i];
        out[2 * i] = kHex[b >> 4];
        out[2 * i + 1] = kHex[b & 15];
    }
    return out;
}

void TQeStream2Hex::inConvert(TData& d, uint16_t) {
    std::string data = ReadString(d, srcData, "");
    ForwardString(d, onResult, BytesToHex(data));
}
