// A window as it is drawn: the colours of its pixels.
#pragma once

#include "ui/toolkit/WinDefs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct TPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> colors; // 0x00BBGGRR, row by row from the top

    uint32_t At(int x, int y) const { return colors[std::size_t(y) * std::size_t(width) + x]; }
    // The number of pixels of `r` (clipped to the picture) that have `color`.
    int Count(const TRect& r, uint32_t color) const {
        int n = 0;
        for (int y = std::max(r.top, 0); y < std::min(r.bottom, height); ++y)
            for (int x = std::max(r.left, 0); x < std::min(r.right, width); ++x)
                n += At(x, y) == color;
        return n;
    }
    bool operator==(const TPixels&) const = default;
};
