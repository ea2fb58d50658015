// CRC16_32: a table-driven CRC over a byte string or hexadecimal text, fired
// as upper-case hexadecimal text. Four CRC-16 variants and a CRC-32.
#pragma once

#include "runtime/Share.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// InputMode values.
enum : uint8_t {
    crc_input_bytes = 0, // the data string is the bytes
    crc_input_hex = 1,   // hexadecimal text; every " " and "$" is removed first
                         // any other value: hexadecimal text taken unchanged
};

// CrcType values.
enum : uint8_t {
    crc16_reflected = 0,          // e.g. CRC-16/MODBUS with polynomial $A001
    crc16_reflected_swapped = 1,  // bytes of the result exchanged
    crc16_reflected_inverted = 2, // complemented, then bytes exchanged
    crc16_msb_first = 3,          // e.g. CRC-16/CCITT-FALSE with polynomial $1021
    crc32_reflected = 4,          // complemented; e.g. CRC-32 with $EDB88320
    // above 4: no update, the result is the initial value
};

class TQeCRC16_32 : public TQeElement {
public:
    uint8_t InputMode = crc_input_bytes;
    uint8_t CrcType = crc16_reflected;
    std::string Polynomial;  // default of srcPolynomial, hexadecimal text
    std::string Init;        // default of srcInit, hexadecimal text
    bool SwapOutput = false; // 16-bit types: exchange the result's bytes
    TEventLink srcData;
    TEventLink srcPolynomial;
    TEventLink srcInit;
    TEventLink onResult;

    void inCalc(TData& d, uint16_t index);

private:
    // The table of the last computation, kept while type and polynomial stay
    // the same: building it costs far more than a short update.
    struct TTable {
        bool built = false;
        uint8_t type = 0;
        uint32_t poly = 0;
        std::array<uint32_t, 256> entries{};
    };
    const std::array<uint32_t, 256>& TableFor(uint8_t type, uint32_t poly);
    TTable table_;
};

// The hex text rule: one optional leading "$", then hexadecimal digits up to
// the first other byte, value * 16 + digit modulo 2^32; no digit gives 0.
uint32_t HexTextValue(std::string_view text);
