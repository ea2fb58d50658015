// Writes pictures as PNG files (stored deflate blocks: no compression, no
// library), for the screenshots of the backends that have no writer and for
// the icon theme's images.
#pragma once

#include "ui/toolkit/Pixels.h"

#include <cstdint>
#include <string>
#include <vector>

// The PNG file of a picture given as `channels` bytes a pixel: 3 for RGB, 4
// for RGBA (red first), row by row from the top.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& pixels,
                               int channels);

bool WritePng(const std::string& path, const TPixels& pixels);
