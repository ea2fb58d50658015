#include "ui/toolkit/Bitmap.h"

#include "platform/Resources.h"
#include "ui/toolkit/QtBridge.h"

#include <QPainter>

#include <cstring>

namespace {

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// Decodes a DIB whose header says `height` rows; `rows` of them are the
// picture (icons double the height for the mask). Empty image on error.
QImage DecodeDibImage(const unsigned char* bytes, std::size_t size, bool icon) {
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

    QImage image(width, height, icon ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const int srcRow = topDown ? y : height - 1 - y;
        const unsigned char* src = pixels + stride * std::size_t(srcRow);
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = src + std::size_t(x) * bits / 8;
            int alpha = 255;
            if (icon && bits == 32) alpha = p[3];
            if (haveMask) {
                const unsigned char* m = mask + maskStride * std::size_t(srcRow);
                if (m[x / 8] & (0x80 >> (x % 8))) alpha = 0;
            }
            dst[x] = qRgba(p[2], p[1], p[0], alpha);
        }
    }
    return image;
}

} // namespace

TBitmapHandle DecodeDib(const unsigned char* bytes, std::size_t size) {
    QImage image = DecodeDibImage(bytes, size, false);
    if (image.isNull()) return nullptr;
    return new TBitmapData{std::move(image)};
}

TBitmapHandle LoadBitmapResource(std::string_view name) {
    TResourceData res;
    if (!FindResourceData(name, rt_bitmap, res)) return nullptr;
    return DecodeDib(res.data, res.size);
}

void FreeBitmap(TBitmapHandle handle) {
    delete handle;
}

bool BitmapSize(TBitmapHandle handle, int& width, int& height) {
    if (!handle) return false;
    width = handle->image.width();
    height = handle->image.height();
    return true;
}

uint32_t BitmapPixel(TBitmapHandle handle, int x, int y) {
    if (!handle || !handle->image.valid(x, y)) return 0;
    QRgb p = handle->image.pixel(x, y);
    return Rgb(qRed(p), qGreen(p), qBlue(p));
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
        QImage image;
        static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        if (length >= 8 && std::memcmp(img, kPng, 8) == 0)
            image = QImage::fromData(img, int(length), "PNG");
        else
            image = DecodeDibImage(img, length, true);
        if (image.isNull()) return nullptr;
        icon->icon.addPixmap(QPixmap::fromImage(image));
        icon->images.push_back(std::move(image));
    }
    return icon.release();
}

TIconHandle LoadIconResource(std::string_view name) {
    TResourceData res;
    if (!FindResourceData(name, rt_group_icon, res)) return nullptr;
    return DecodeIcon(res.data, res.size);
}

void FreeIcon(TIconHandle handle) {
    delete handle;
}

int IconImageCount(TIconHandle handle) {
    return handle ? int(handle->images.size()) : 0;
}

bool IconImageSize(TIconHandle handle, int i, int& width, int& height) {
    if (!handle || i < 0 || i >= int(handle->images.size())) return false;
    width = handle->images[i].width();
    height = handle->images[i].height();
    return true;
}

TIconHandle AppIcon() {
    static TIconHandle icon = LoadIconResource("MAINICON");
    return icon;
}

QFont ToQFont(const TFontRec& f) {
    QFont font;
    std::string name = f.Name.substr(0, 31);
    // The classic Windows faces are not on this system: a plain sans-serif
    // face of the same size stands in for them.
    if (name.empty() || name == "MS Sans Serif" || name == "Tahoma" || name == "Arial")
        font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    else
        font.setFamily(FromCp1251(name));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, -PointsToHeight(f.Size)));
    font.setBold(f.Style & fs_bold);
    font.setItalic(f.Style & fs_italic);
    font.setUnderline(f.Style & fs_underline);
    font.setStrikeOut(f.Style & fs_strikeout);
    return font;
}

void TQtCanvas::FillRect(const TRect& r, uint32_t color) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    painter_.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), ToQColor(color));
}

void TQtCanvas::DrawBitmap(const TBitmap& bitmap, const TRect& r) {
    if (bitmap.Empty() || !bitmap.Handle() || r.Width() <= 0 || r.Height() <= 0) return;
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, stretchMode_ == HALFTONE);
    painter_.drawImage(QRect(r.left, r.top, r.Width(), r.Height()), bitmap.Handle()->image);
}
