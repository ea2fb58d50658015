// Little helpers for writing Windows bitmap structures byte by byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

using TBytes = std::vector<unsigned char>;

inline void Put16(TBytes& out, uint32_t v) {
    out.push_back((unsigned char)(v & 0xFF));
    out.push_back((unsigned char)((v >> 8) & 0xFF));
}

inline void Put32(TBytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The 40-byte BITMAPINFOHEADER (BI_RGB, no colour table, 72 dpi).
inline void PutInfoHeader(TBytes& out, int32_t width, int32_t height, uint16_t bitCount,
                          uint32_t imageSize) {
    Put32(out, 40);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));
    Put16(out, 1);
    Put16(out, bitCount);
    Put32(out, 0); // BI_RGB
    Put32(out, imageSize);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
}

inline int WriteFile(const char* path, const TBytes& bytes) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
        std::fclose(f) != 0) {
        std::perror(path);
        return 1;
    }
    return 0;
}
