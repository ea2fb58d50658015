// icon2png: writes one image of a Windows .ico file as a PNG file, for the
// desktop's icon theme. Takes the image of the given size (or the largest);
// 24- and 32-bit images with their transparency mask, and PNG images as they
// are. The PNG is written uncompressed (stored deflate blocks): the icon is
// small and the program needs no compression library.
// Usage: icon2png <icon.ico> <output.png> [size]
#include "ui/toolkit/Png.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

uint32_t Le(const TBytes& b, std::size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b.at(at + std::size_t(i));
    return v;
}

// A DIB icon image (colour rows, then the AND mask) as RGBA, top row first.
bool DibToRgba(const TBytes& ico, std::size_t at, int& width, int& height, TBytes& rgba) {
    uint32_t headerSize = Le(ico, at, 4);
    width = int(Le(ico, at + 4, 4));
    height = int(Le(ico, at + 8, 4)) / 2; // colour and mask
    int bits = int(Le(ico, at + 14, 2));
    if (bits != 24 && bits != 32) return false;
    std::size_t rowBytes = std::size_t((width * bits / 8 + 3) / 4 * 4);
    std::size_t maskRow = std::size_t((width + 31) / 32 * 4);
    std::size_t colours = at + headerSize;
    std::size_t mask = colours + rowBytes * std::size_t(height);
    rgba.assign(std::size_t(width * height * 4), 0);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        std::size_t src = colours + std::size_t(height - 1 - y) * rowBytes;
        std::size_t maskSrc = mask + std::size_t(height - 1 - y) * maskRow;
        for (int x = 0; x < width; ++x) {
            std::size_t p = src + std::size_t(x * bits / 8);
            uint8_t* d = &rgba[std::size_t((y * width + x) * 4)];
            d[0] = ico.at(p + 2);
            d[1] = ico.at(p + 1);
            d[2] = ico.at(p);
            bool transparent =
                maskSrc < ico.size() && (ico[maskSrc + std::size_t(x / 8)] >> (7 - x % 8)) & 1;
            d[3] = bits == 32 ? ico.at(p + 3) : (transparent ? 0 : 255);
            anyAlpha = anyAlpha || d[3] != 0;
        }
    }
    if (bits == 32 && !anyAlpha) // an old-style 32-bit image: the mask decides
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                std::size_t maskSrc = mask + std::size_t(height - 1 - y) * maskRow;
                bool transparent = (ico.at(maskSrc + std::size_t(x / 8)) >> (7 - x % 8)) & 1;
                rgba[std::size_t((y * width + x) * 4 + 3)] = transparent ? 0 : 255;
            }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: icon2png <icon.ico> <output.png> [size]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    TBytes ico((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int wanted = argc > 3 ? std::atoi(argv[3]) : 0;
    try {
        if (ico.size() < 6 || Le(ico, 0, 2) != 0 || Le(ico, 2, 2) != 1) throw 0;
        int count = int(Le(ico, 4, 2));
        int best = -1, bestSize = 0;
        for (int i = 0; i < count; ++i) {
            std::size_t e = 6 + std::size_t(i) * 16;
            int size = ico.at(e) == 0 ? 256 : ico.at(e);
            if ((wanted && size == wanted) || (!wanted && size > bestSize)) {
                best = i;
                bestSize = size;
            }
        }
        if (best < 0) throw 0;
        std::size_t e = 6 + std::size_t(best) * 16;
        std::size_t length = Le(ico, e + 8, 4), at = Le(ico, e + 12, 4);
        TBytes png;
        if (at + 8 <= ico.size() && ico[at] == 0x89 && ico[at + 1] == 'P') {
            png.assign(ico.begin() + long(at), ico.begin() + long(at + length));
        } else {
            int width = 0, height = 0;
            TBytes rgba;
            if (!DibToRgba(ico, at, width, height, rgba)) throw 0;
            png = EncodePng(width, height, rgba, 4);
        }
        std::ofstream out(argv[2], std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()), long(png.size()));
        return out ? 0 : 1;
    } catch (...) {
        std::fprintf(stderr, "icon2png: %s: no usable icon image%s\n", argv[1],
                     wanted ? (" of size " + std::to_string(wanted)).c_str() : "");
        return 1;
    }
}
