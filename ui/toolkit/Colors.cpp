#include "ui/toolkit/Colors.h"

#include <array>

namespace {
// The classic (Windows Standard) scheme, by system colour index.
constexpr std::array<uint32_t, 31> kClassic = {
    Rgb(212, 208, 200), // 0 scroll bar
    Rgb(58, 110, 165),  // 1 desktop
    Rgb(10, 36, 106),   // 2 active caption
    Rgb(128, 128, 128), // 3 inactive caption
    Rgb(212, 208, 200), // 4 menu
    Rgb(255, 255, 255), // 5 window
    Rgb(0, 0, 0),       // 6 window frame
    Rgb(0, 0, 0),       // 7 menu text
    Rgb(0, 0, 0),       // 8 window text
    Rgb(255, 255, 255), // 9 caption text
    Rgb(212, 208, 200), // 10 active border
    Rgb(212, 208, 200), // 11 inactive border
    Rgb(128, 128, 128), // 12 application workspace
    Rgb(10, 36, 106),   // 13 highlight
    Rgb(255, 255, 255), // 14 highlight text
    Rgb(212, 208, 200), // 15 button face
    Rgb(128, 128, 128), // 16 button shadow
    Rgb(128, 128, 128), // 17 grey text
    Rgb(0, 0, 0),       // 18 button text
    Rgb(212, 208, 200), // 19 inactive caption text
    Rgb(255, 255, 255), // 20 button highlight
    Rgb(64, 64, 64),    // 21 3-D dark shadow
    Rgb(212, 208, 200), // 22 3-D light
    Rgb(0, 0, 0),       // 23 tool-tip text
    Rgb(255, 255, 225), // 24 tool-tip background
    Rgb(181, 181, 181), // 25 (unnamed)
    Rgb(0, 0, 128),     // 26 hot-tracked item
    Rgb(166, 202, 240), // 27 active caption gradient
    Rgb(192, 192, 192), // 28 inactive caption gradient
    Rgb(10, 36, 106),   // 29 menu highlight
    Rgb(212, 208, 200), // 30 menu bar
};
} // namespace

uint32_t ClassicColor(int index) {
    if (index < 0 || index >= int(kClassic.size())) return 0;
    return kClassic[index];
}

uint32_t ResolveColor(uint32_t color) {
    if (color & 0x80000000u) return SysColor(int(color & 0xFF));
    return color;
}
