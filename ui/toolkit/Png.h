// Writes pictures as PNG files (stored deflate blocks: no compression, no
// library), for the screenshots of the backends that have no writer.
#pragma once

#include "ui/toolkit/Pixels.h"

#include <string>

bool WritePng(const std::string& path, const TPixels& pixels);
