#include "elements/qeCRC16_32.h"

#include "elements/qeConvertor.h"

namespace {

using TCrcTable = std::array<uint32_t, 256>;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void BuildTable(TCrcTable& table, uint8_t type, uint32_t poly) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = 0;
        if (type <= crc16_reflected_inverted || type == crc32_reflected) {
            c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ poly : c >> 1;
        } else if (type == crc16_msb_first) {
            c = i << 8;
            for (int k = 0; k < 8; ++k)
                c = (c & 0x8000) ? (c << 1) ^ poly : c << 1;
        }
        table[i] = c;
    }
}

// The data's bytes: the string itself, or its characters taken in pairs (a
// last single character on its own) under the hex text rule.
std::string DataBytes(const std::string& data, uint8_t inputMode) {
    if (inputMode == crc_input_bytes) return data;
    std::string bytes;
    bytes.reserve(data.size() / 2 + 1);
    std::string_view text = data;
    for (std::size_t p = 0; p < text.size(); p += 2)
        bytes.push_back(char(HexTextValue(text.substr(p, 2)) & 0xFF));
    return bytes;
}

uint16_t SwapBytes(uint16_t r) {
    return uint16_t((r << 8) | (r >> 8));
}

} // namespace

uint32_t HexTextValue(std::string_view text) {
    std::size_t p = (!text.empty() && text[0] == '$') ? 1 : 0;
    uint32_t value = 0;
    for (; p < text.size(); ++p) {
        int digit = HexDigit(text[p]);
        if (digit < 0) break;
        value = value * 16 + uint32_t(digit);
    }
    return value;
}

const TCrcTable& TQeCRC16_32::TableFor(uint8_t type, uint32_t poly) {
    if (!table_.built || table_.type != type || table_.poly != poly) {
        BuildTable(table_.entries, type, poly);
        table_.built = true;
        table_.type = type;
        table_.poly = poly;
    }
    return table_.entries;
}

void TQeCRC16_32::inCalc(TData& d, uint16_t) {
    // 1. Operands.
    std::string data = ReadString(d, srcData, "");
    uint32_t poly = HexTextValue(ReadString(d, srcPolynomial, Polynomial));
    uint32_t init = HexTextValue(ReadString(d, srcInit, Init));

    // 2. The table for this type and polynomial.
    const TCrcTable& table = TableFor(CrcType, poly);

    // 3. Hexadecimal text drops its blanks and "$" signs first.
    if (InputMode == crc_input_hex) {
        ReplaceAll(data, " ", "");
        ReplaceAll(data, "$", "");
    }

    // 4. The register.
    uint32_t r32 = init;
    uint16_t r = uint16_t(init);

    // 5. Update and finish, only when there is data.
    if (!data.empty()) {
        for (char ch : DataBytes(data, InputMode)) {
            uint8_t b = uint8_t(ch);
            switch (CrcType) {
            case crc16_reflected:
            case crc16_reflected_swapped:
            case crc16_reflected_inverted:
                r = uint16_t(uint16_t(table[(r ^ b) & 0xFF]) ^ (r >> 8));
                break;
            case crc16_msb_first:
                r = uint16_t(uint16_t(table[b ^ (r >> 8)]) ^ (r << 8));
                break;
            case crc32_reflected:
                r32 = table[(r32 ^ b) & 0xFF] ^ (r32 >> 8);
                break;
            default:
                break;
            }
        }
        if (CrcType == crc16_reflected_swapped) r = SwapBytes(r);
        if (CrcType == crc16_reflected_inverted) r = SwapBytes(uint16_t(~r));
        if (CrcType == crc32_reflected) r32 = ~r32;
    }

    // 6. The result text.
    std::string text;
    if (CrcType == crc32_reflected)
        text = IntToHex(r32, 8);
    else
        text = IntToHex(SwapOutput ? SwapBytes(r) : r, 4);
    ForwardString(d, onResult, std::move(text));
}
