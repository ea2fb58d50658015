#include "ui/toolkit/Bitmap.h"

#include "platform/Resources.h"
#include "ui/toolkit/Colors.h"
#include "ui/toolkit/Image.h"

#include <memory>

#include <cstring>

namespace {

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t Be32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
uint16_t Le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// Decodes a DIB whose header says `height` rows; `rows` of them are the
// picture (icons double the height for the mask). Empty image on error.
TImage DecodeDibImage(const unsigned char* bytes, std::size_t size, bool icon) {
    if (size < 40 || Le32(bytes) < 40) return {};
    const uint32_t headerSize = Le32(bytes);
    const int32_t width = int32_t(Le32(bytes + 4));
    int32_t height = int32_t(Le32(bytes + 8));
    const uint16_t planes = Le16(bytes + 12);
    const uint16_t bits = Le16(bytes + 14);
    const uint32_t compression = Le32(bytes + 16);
    const uint32_t colorsUsed = Le32(bytes + 32);
    if (planes != 1 || compression != 0 || (bits != 24 && bits != 32) || colorsUsed != 0) return {};
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (icon) height /= 2;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return {};
    if (headerSize > size) return {};
    const std::size_t stride = (std::size_t(width) * bits / 8 + 3) & ~std::size_t(3);
    const unsigned char* pixels = bytes + headerSize;
    const std::size_t available = size - headerSize;
    if (stride * std::size_t(height) > available) return {};
    const std::size_t maskStride = ((std::size_t(width) + 31) / 32) * 4;
    const unsigned char* mask = pixels + stride * std::size_t(height);
    const bool haveMask =
        icon && bits == 24 &&
        stride * std::size_t(height) + maskStride * std::size_t(height) <= available;

    TImage image;
    image.width = width;
    image.height = height;
    image.argb.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const int srcRow = topDown ? y : height - 1 - y;
        const unsigned char* src = pixels + stride * std::size_t(srcRow);
        uint32_t* dst = image.argb.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = src + std::size_t(x) * bits / 8;
            int alpha = 255;
            if (icon && bits == 32) alpha = p[3];
            if (haveMask) {
                const unsigned char* m = mask + maskStride * std::size_t(srcRow);
                if (m[x / 8] & (0x80 >> (x % 8))) alpha = 0;
            }
            dst[x] = uint32_t(alpha) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }
    return image;
}

// The named resource of `type`, decoded; null when there is none.
template <class THandle>
THandle DecodeResource(std::string_view name, int type,
                       THandle (*decode)(const unsigned char*, std::size_t)) {
    TResourceData res;
    if (!FindResourceData(name, type, res)) return nullptr;
    return decode(res.data, res.size);
}

} // namespace

TBitmapHandle DecodeDib(const unsigned char* bytes, std::size_t size) {
    TImage image = DecodeDibImage(bytes, size, false);
    if (image.argb.empty()) return nullptr;
    return new TBitmapData{std::move(image)};
}

TBitmapHandle LoadBitmapResource(std::string_view name) {
    return DecodeResource(name, rt_bitmap, &DecodeDib);
}

void FreeBitmap(TBitmapHandle handle) {
    delete handle;
}

bool BitmapSize(TBitmapHandle handle, int& width, int& height) {
    if (!handle) return false;
    width = handle->image.width;
    height = handle->image.height;
    return true;
}

uint32_t BitmapPixel(TBitmapHandle handle, int x, int y) {
    if (!handle || x < 0 || y < 0 || x >= handle->image.width || y >= handle->image.height)
        return 0;
    const uint32_t p = handle->image.argb[std::size_t(y) * std::size_t(handle->image.width) + x];
    return Rgb(int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF));
}

void TBitmap::Take(TBitmapHandle handle, int width, int height) {
    Clear();
    handle_ = handle;
    Width = width;
    Height = height;
}

void TBitmap::Clear() {
    FreeBitmap(handle_);
    handle_ = nullptr;
    Width = Height = 0;
}

TIconHandle DecodeIcon(const unsigned char* bytes, std::size_t size) {
    // Icon directory: reserved 0, type 1, count; then 16-byte entries.
    if (size < 6 || Le16(bytes) != 0 || Le16(bytes + 2) != 1) return nullptr;
    const int count = Le16(bytes + 4);
    if (count == 0 || 6 + std::size_t(count) * 16 > size) return nullptr;
    auto icon = std::make_unique<TIconData>();
    for (int i = 0; i < count; ++i) {
        const unsigned char* e = bytes + 6 + i * 16;
        const uint32_t length = Le32(e + 8);
        const uint32_t offset = Le32(e + 12);
        if (offset > size || length > size - offset) return nullptr;
        const unsigned char* img = bytes + offset;
        TIconImage entry;
        static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (length >= 24 && std::memcmp(img, kPng, 8) == 0) {
            // The size is in the header chunk, which comes first.
            entry.width = int(Be32(img + 16));
            entry.height = int(Be32(img + 20));
            if (entry.width <= 0 || entry.height <= 0) return nullptr;
            entry.png.assign(img, img + length);
        } else {
            entry.image = DecodeDibImage(img, length, true);
            if (entry.image.argb.empty()) return nullptr;
            entry.width = entry.image.width;
            entry.height = entry.image.height;
        }
        icon->images.push_back(std::move(entry));
    }
    return icon.release();
}

TIconHandle LoadIconResource(std::string_view name) {
    return DecodeResource(name, rt_group_icon, &DecodeIcon);
}

void FreeIcon(TIconHandle handle) {
    delete handle;
}

int IconImageCount(TIconHandle handle) {
    return handle ? int(handle->images.size()) : 0;
}

bool IconImageSize(TIconHandle handle, int i, int& width, int& height) {
    if (!handle || i < 0 || i >= int(handle->images.size())) return false;
    width = handle->images[std::size_t(i)].width;
    height = handle->images[std::size_t(i)].height;
    return true;
}

TIconHandle AppIcon() {
    static TIconHandle icon = LoadIconResource("MAINICON");
    return icon;
}
