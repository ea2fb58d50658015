// The font setting that the schemas fill and the window toolkit renders.
#pragma once

#include <cstdint>
#include <string>

struct TFontRec {
    std::string Name;
    uint8_t Size = 0;
    uint8_t Style = 0;
    uint32_t Color = 0;
    uint8_t CharSet = 0;
};
// Style bits.
enum : uint8_t { fs_bold = 1, fs_italic = 2, fs_underline = 4, fs_strikeout = 8 };

TFontRec MakeFontRec(std::string name, uint8_t size, uint8_t style, uint32_t color,
                     uint8_t charset);

// The negative pixel height of a font of `points` on the screen.
int PointsToHeight(int points);
