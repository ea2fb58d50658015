// Decoded pictures as the toolkit holds them on both systems; the backends
// draw them and make the window system's icons of them.
#pragma once

#include "ui/toolkit/Bitmap.h"

#include <cstdint>
#include <vector>

// Pixels 0xAARRGGBB, row by row from the top.
struct TImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
};

struct TBitmapData {
    TImage image; // alpha 0xFF
};

// One image of an icon: decoded from a DIB, or kept as the PNG file it is
// (with its size from the PNG header) for the backend to decode.
struct TIconImage {
    int width = 0;
    int height = 0;
    TImage image;                   // empty for a PNG image
    std::vector<unsigned char> png; // empty for a DIB image
};

struct TIconData {
    std::vector<TIconImage> images;
};
