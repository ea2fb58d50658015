// Bitmaps and icons: decoded from the program's embedded resources (or any
// bytes) into images the toolkit can draw.
#pragma once

#include "ui/toolkit/WinDefs.h"

#include <cstddef>
#include <string_view>

// A decoded picture. Handles are owned by whoever holds them.
struct TBitmapData;
using TBitmapHandle = TBitmapData*;

// A device-independent bitmap: a 40-byte BITMAPINFOHEADER followed by the
// pixels (uncompressed 24 or 32 bits per pixel, bottom-up or top-down, no
// colour table). Null when the bytes do not hold such a bitmap.
TBitmapHandle DecodeDib(const unsigned char* bytes, std::size_t size);
// The bitmap resource `name` (resource type 2); null when it is missing.
TBitmapHandle LoadBitmapResource(std::string_view name);
void FreeBitmap(TBitmapHandle handle);
// Width and height of a bitmap; false for a null handle.
bool BitmapSize(TBitmapHandle handle, int& width, int& height);
// The colour (0x00BBGGRR) of one pixel, for tests; 0 outside the picture.
uint32_t BitmapPixel(TBitmapHandle handle, int x, int y);

// The picture an image element owns; empty when width or height is 0.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap() { Clear(); }

    // Takes ownership of `handle` with the given size.
    void Take(TBitmapHandle handle, int width, int height);
    void Clear();
    bool Empty() const { return Width == 0 || Height == 0; }
    TBitmapHandle Handle() const { return handle_; }

    int Width = 0;
    int Height = 0;

private:
    TBitmapHandle handle_ = nullptr;
};

// An icon: the images of an .ico file.
struct TIconData;
using TIconHandle = TIconData*;

// The bytes of a complete .ico file (icon directory and images: 24 or 32
// bits per pixel with their masks, or PNG). Null when malformed.
TIconHandle DecodeIcon(const unsigned char* bytes, std::size_t size);
// The icon group resource `name` (resource type 14); null when missing.
TIconHandle LoadIconResource(std::string_view name);
void FreeIcon(TIconHandle handle);
// The number of images of an icon, and the size of image i.
int IconImageCount(TIconHandle handle);
bool IconImageSize(TIconHandle handle, int i, int& width, int& height);
// The program's icon "MAINICON", loaded once and kept; null when missing.
TIconHandle AppIcon();

// Drawing surface handed to paint hooks; coordinates are client coordinates.
class TCanvas {
public:
    virtual ~TCanvas() = default;
    virtual void FillRect(const TRect& r, uint32_t color) = 0;
    // Draws the whole bitmap into r (HALFTONE smooths, COLORONCOLOR does not).
    virtual void DrawBitmap(const TBitmap& bitmap, const TRect& r) = 0;
    virtual void SetStretchMode(int mode) = 0;
};
