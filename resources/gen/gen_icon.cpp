// Writes the application icon as a complete .ico file with two images,
// 16 x 16 and 32 x 32, 24 bits per pixel, each a BITMAPINFOHEADER (height
// doubled), the bottom-up colour rows (padded to 4 bytes) and the 1-bit AND
// mask (1 = transparent). The picture: a white arrow pointing down onto a bar
// (an upload to the device) on a blue rounded square; corners transparent.
// Drawn with 4 x 4 supersampling.
// Usage: gen_icon <output file>
#include "Dib.h"

#include <algorithm>
#include <cmath>

namespace {

struct TRgb {
    double r, g, b;
};

bool InRoundedSquare(double u, double v) {
    const double lo = 0.03, hi = 0.97, radius = 0.2;
    if (u < lo || u > hi || v < lo || v > hi) return false;
    double cu = std::clamp(u, lo + radius, hi - radius),
           cv = std::clamp(v, lo + radius, hi - radius);
    return (u - cu) * (u - cu) + (v - cv) * (v - cv) <= radius * radius;
}

bool InArrow(double u, double v) {
    if (u >= 0.42 && u <= 0.58 && v >= 0.14 && v <= 0.50) return true; // shaft
    if (v >= 0.46 && v <= 0.74) {                                      // head
        double half = 0.26 * (0.74 - v) / 0.28;
        if (u >= 0.5 - half && u <= 0.5 + half) return true;
    }
    return u >= 0.20 && u <= 0.80 && v >= 0.80 && v <= 0.89; // bar
}

TBytes Image(int size) {
    const int sub = 4;
    const int rowBytes = (size * 3 + 3) / 4 * 4;
    const int maskRowBytes = (size + 31) / 32 * 4;
    TBytes out;
    PutInfoHeader(out, size, size * 2, 24, uint32_t(rowBytes * size + maskRowBytes * size));
    TBytes mask;
    for (int row = size - 1; row >= 0; --row) {
        TBytes maskRow(std::size_t(maskRowBytes), 0);
        int written = 0;
        for (int col = 0; col < size; ++col) {
            TRgb sum{0, 0, 0};
            int inside = 0;
            for (int sy = 0; sy < sub; ++sy) {
                for (int sx = 0; sx < sub; ++sx) {
                    double u = (col + (sx + 0.5) / sub) / size, v = (row + (sy + 0.5) / sub) / size;
                    if (!InRoundedSquare(u, v)) continue;
                    ++inside;
                    TRgb c = InArrow(u, v) ? TRgb{255, 255, 255} : TRgb{30, 90, 168};
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                }
            }
            bool transparent = inside * 2 < sub * sub;
            if (transparent) {
                maskRow[std::size_t(col / 8)] |= (unsigned char)(0x80 >> (col % 8));
                out.insert(out.end(), {0, 0, 0});
            } else {
                out.push_back((unsigned char)std::lround(sum.b / inside));
                out.push_back((unsigned char)std::lround(sum.g / inside));
                out.push_back((unsigned char)std::lround(sum.r / inside));
            }
            written += 3;
        }
        for (; written < rowBytes; ++written)
            out.push_back(0);
        mask.insert(mask.end(), maskRow.begin(), maskRow.end());
    }
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_icon <output file>\n");
        return 2;
    }
    const int sizes[] = {16, 32};
    TBytes images[2] = {Image(sizes[0]), Image(sizes[1])};
    TBytes out;
    Put16(out, 0); // reserved
    Put16(out, 1); // icon
    Put16(out, 2); // image count
    uint32_t offset = 6 + 2 * 16;
    for (int k = 0; k < 2; ++k) {
        out.push_back((unsigned char)sizes[k]);
        out.push_back((unsigned char)sizes[k]);
        out.push_back(0); // no palette
        out.push_back(0);
        Put16(out, 1);  // planes
        Put16(out, 24); // bits per pixel
        Put32(out, uint32_t(images[k].size()));
        Put32(out, offset);
        offset += uint32_t(images[k].size());
    }
    for (const TBytes& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return WriteFile(argv[1], out);
}
