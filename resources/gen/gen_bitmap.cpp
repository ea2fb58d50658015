// Writes the error picture: a device-independent bitmap of 290 x 290 pixels,
// 32 bits per pixel (B, G, R, 0), BI_RGB, bottom-up, no colour table: the
// 40-byte header and 336,400 bytes of pixels. The picture is a red disc with
// a dark rim and a white diagonal cross on the light grey of a dialog face,
// drawn with 4 x 4 supersampling in integer arithmetic so that it stays
// readable when scaled down to 15 x 14 pixels.
// Usage: gen_bitmap [--file-header] <output file>
// With --file-header the output is a .bmp file: the 14-byte BITMAPFILEHEADER
// comes first, as the Windows resource compiler expects; it keeps only what
// follows the header, so the resource holds the same bytes either way.
#include "Dib.h"

#include <string_view>

namespace {

constexpr int kSize = 290;
constexpr int kSub = 4;      // subsamples per pixel and axis
constexpr int64_t kUnit = 8; // coordinates in eighths of a pixel
constexpr int64_t kCenter = kSize * kUnit / 2;
constexpr int64_t kRadius = 140 * kUnit;               // the disc
constexpr int64_t kRimInner = 131 * kUnit;             // the dark rim starts here
constexpr int64_t kArm = 88 * kUnit;                   // the cross's arms end at this radius
constexpr int64_t kHalfBar = 22 * 1414 * kUnit / 1000; // |dx -+ dy| for a bar 44 px wide

struct TRgb {
    int r, g, b;
};
constexpr TRgb kFace{240, 240, 240};
constexpr TRgb kRed{214, 32, 32};
constexpr TRgb kRim{150, 16, 16};
constexpr TRgb kWhite{255, 255, 255};

TRgb ColourAt(int64_t x, int64_t y) {
    int64_t dx = x - kCenter, dy = y - kCenter;
    int64_t r2 = dx * dx + dy * dy;
    if (r2 > kRadius * kRadius) return kFace;
    bool onBar = (dx - dy <= kHalfBar && dy - dx <= kHalfBar) ||
                 (dx + dy <= kHalfBar && -dx - dy <= kHalfBar);
    if (onBar && r2 <= kArm * kArm) return kWhite;
    return r2 > kRimInner * kRimInner ? kRim : kRed;
}

} // namespace

int main(int argc, char** argv) {
    const bool fileHeader = argc == 3 && std::string_view(argv[1]) == "--file-header";
    if (argc != 2 && !fileHeader) {
        std::fprintf(stderr, "usage: gen_bitmap [--file-header] <output file>\n");
        return 2;
    }
    const uint32_t pixelBytes = kSize * kSize * 4;
    TBytes out;
    out.reserve(14 + 40 + pixelBytes);
    if (fileHeader) {
        out.push_back('B');
        out.push_back('M');
        Put32(out, 14 + 40 + pixelBytes); // file size
        Put32(out, 0);                    // reserved
        Put32(out, 14 + 40);              // offset of the pixels
    }
    PutInfoHeader(out, kSize, kSize, 32, pixelBytes);
    // Bottom-up: the first row stored is the bottom row of the picture.
    for (int row = kSize - 1; row >= 0; --row) {
        for (int col = 0; col < kSize; ++col) {
            int r = 0, g = 0, b = 0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    int64_t x = col * kUnit + sx * 2 + 1, y = row * kUnit + sy * 2 + 1;
                    TRgb c = ColourAt(x, y);
                    r += c.r;
                    g += c.g;
                    b += c.b;
                }
            }
            const int n = kSub * kSub;
            out.push_back((unsigned char)((b + n / 2) / n));
            out.push_back((unsigned char)((g + n / 2) / n));
            out.push_back((unsigned char)((r + n / 2) / n));
            out.push_back(0);
        }
    }
    return WriteFile(argv[argc - 1], out);
}
