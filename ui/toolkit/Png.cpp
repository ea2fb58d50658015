#include "ui/toolkit/Png.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

void PutBe32(TBytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

uint32_t Crc32(const uint8_t* data, std::size_t size) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void Chunk(TBytes& png, const char* type, const TBytes& data) {
    PutBe32(png, uint32_t(data.size()));
    TBytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    PutBe32(png, Crc32(body.data(), body.size()));
}

} // namespace

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& pixels,
                               int channels) {
    const std::size_t rowBytes = std::size_t(width) * std::size_t(channels);
    TBytes raw; // each row behind filter type 0
    raw.reserve(std::size_t(height) * (rowBytes + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        auto row = pixels.begin() + long(std::size_t(y) * rowBytes);
        raw.insert(raw.end(), row, row + long(rowBytes));
    }
    TBytes z = {0x78, 0x01};
    std::size_t at = 0;
    do { // at least one block, the last one marked
        const std::size_t n = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(uint8_t(n));
        z.push_back(uint8_t(n >> 8));
        z.push_back(uint8_t(~n));
        z.push_back(uint8_t(~n >> 8));
        z.insert(z.end(), raw.begin() + long(at), raw.begin() + long(at + n));
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, b << 16 | a);

    TBytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    TBytes header;
    PutBe32(header, uint32_t(width));
    PutBe32(header, uint32_t(height));
    // 8 bits a sample; colour type 2 is RGB, 6 is RGBA.
    header.insert(header.end(), {8, uint8_t(channels == 4 ? 6 : 2), 0, 0, 0});
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

bool WritePng(const std::string& path, const TPixels& pixels) {
    if (pixels.width <= 0 || pixels.height <= 0) return false;
    TBytes rgb;
    rgb.reserve(pixels.colors.size() * 3);
    for (uint32_t c : pixels.colors) { // 0x00BBGGRR
        rgb.push_back(uint8_t(c));
        rgb.push_back(uint8_t(c >> 8));
        rgb.push_back(uint8_t(c >> 16));
    }
    const TBytes png = EncodePng(pixels.width, pixels.height, rgb, 3);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    return bool(out);
}
