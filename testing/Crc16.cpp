#include "testing/Crc16.h"

#include <array>

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
        t[i] = uint16_t(c);
    }
    return t;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

} // namespace

uint16_t Crc16Modbus(const void* data, std::size_t n, uint16_t crc) {
    auto p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < n; ++i)
        crc = uint16_t(kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8));
    return crc;
}
