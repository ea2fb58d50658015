// Conversions at the Win32 boundary: text, fonts, drawing, icons and the
// capture of a window's pixels.
#include "ui/toolkit/win32/Win32.h"

#include "platform/Text1251.h"

#include <algorithm>
#include <map>
#include <vector>

// The user's scheme, read each time a colour is applied.
uint32_t SysColor(int index) {
    if (index < 0 || index > COLOR_MENUBAR) return 0;
    return uint32_t(GetSysColor(index));
}

std::wstring Wide(std::string_view cp1251) {
    const std::u16string u = Cp1251ToUtf16(cp1251);
    return std::wstring(u.begin(), u.end());
}

std::string Narrow(const wchar_t* text, std::size_t length) {
    std::u16string u(length, u'\0');
    for (std::size_t i = 0; i < length; ++i)
        u[i] = char16_t(text[i]);
    return Utf16ToCp1251(u);
}

std::string WindowTextOf(HWND hwnd) {
    if (!hwnd) return {};
    const int n = GetWindowTextLengthW(hwnd);
    std::vector<wchar_t> buf(std::size_t(n) + 1);
    const int got = GetWindowTextW(hwnd, buf.data(), n + 1);
    return Narrow(buf.data(), std::size_t(std::max(got, 0)));
}

HFONT MakeFont(const TFontRec& f) {
    LOGFONTW lf{};
    lf.lfHeight = PointsToHeight(f.Size);
    lf.lfWeight = (f.Style & fs_bold) ? FW_BOLD : 0;
    lf.lfItalic = (f.Style & fs_italic) ? TRUE : FALSE;
    lf.lfUnderline = (f.Style & fs_underline) ? TRUE : FALSE;
    lf.lfStrikeOut = (f.Style & fs_strikeout) ? TRUE : FALSE;
    lf.lfCharSet = BYTE(f.CharSet);
    // At most 31 characters reach the face name.
    const std::wstring face = Wide(std::string_view(f.Name).substr(0, 31));
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return CreateFontIndirectW(&lf);
}

void TGdiCanvas::FillRect(const TRect& r, uint32_t color) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    HBRUSH brush = CreateSolidBrush(ColorRefOf(color));
    RECT rc{r.left, r.top, r.right, r.bottom};
    ::FillRect(dc_, &rc, brush);
    DeleteObject(brush);
}

// The picture's pixels go out as a top-down 32-bit DIB.
void TGdiCanvas::DrawBitmap(const TBitmap& bitmap, const TRect& r) {
    if (bitmap.Empty() || !bitmap.Handle() || r.Width() <= 0 || r.Height() <= 0) return;
    const TImage& image = bitmap.Handle()->image;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = image.width;
    bi.bmiHeader.biHeight = -image.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc_, stretchMode_ == HALFTONE ? HALFTONE : COLORONCOLOR);
    if (stretchMode_ == HALFTONE) SetBrushOrgEx(dc_, 0, 0, nullptr);
    StretchDIBits(dc_, r.left, r.top, r.Width(), r.Height(), 0, 0, image.width, image.height,
                  image.argb.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
}

namespace {
HICON NewIcon(TIconHandle icon) {
    const auto largest = std::max_element(
        icon->images.begin(), icon->images.end(),
        [](const TIconImage& a, const TIconImage& b) { return a.width < b.width; });
    const TIconImage& entry = *largest;
    if (!entry.png.empty())
        return CreateIconFromResourceEx(const_cast<BYTE*>(entry.png.data()),
                                        DWORD(entry.png.size()), TRUE, 0x00030000, entry.width,
                                        entry.height, 0);
    BITMAPV5HEADER h{};
    h.bV5Size = sizeof(h);
    h.bV5Width = entry.width;
    h.bV5Height = -entry.height;
    h.bV5Planes = 1;
    h.bV5BitCount = 32;
    h.bV5Compression = BI_BITFIELDS;
    h.bV5RedMask = 0x00FF0000;
    h.bV5GreenMask = 0x0000FF00;
    h.bV5BlueMask = 0x000000FF;
    h.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS,
                                     &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!color) return nullptr;
    std::copy(entry.image.argb.begin(), entry.image.argb.end(), static_cast<uint32_t*>(bits));
    HBITMAP mask = CreateBitmap(entry.width, entry.height, 1, 1, nullptr);
    ICONINFO ii{};
    ii.fIcon = TRUE;
    ii.hbmColor = color;
    ii.hbmMask = mask;
    HICON result = CreateIconIndirect(&ii);
    DeleteObject(color);
    DeleteObject(mask);
    return result;
}
} // namespace

// Made once per icon and kept: the windows hold the handle as long as they
// show it.
HICON MakeIcon(TIconHandle icon) {
    if (!icon || icon->images.empty()) return nullptr;
    static std::map<TIconHandle, HICON> made;
    auto it = made.find(icon);
    if (it == made.end()) it = made.emplace(icon, NewIcon(icon)).first;
    return it->second;
}

// Copies what the window shows from its device context into a DIB section.
TPixels CapturePixels(HWND hwnd, bool clientOnly) {
    TPixels pixels;
    if (!hwnd) return pixels;
    RECT rc;
    if (clientOnly)
        GetClientRect(hwnd, &rc);
    else {
        GetWindowRect(hwnd, &rc);
        OffsetRect(&rc, -rc.left, -rc.top);
    }
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0) return pixels;
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    HDC source = clientOnly ? GetDC(hwnd) : GetWindowDC(hwnd);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib) {
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, w, h, source, 0, 0, SRCCOPY);
        GdiFlush();
        pixels.width = w;
        pixels.height = h;
        pixels.colors.resize(std::size_t(w) * std::size_t(h));
        const auto* p = static_cast<const uint32_t*>(bits);
        for (std::size_t i = 0; i < pixels.colors.size(); ++i) // 0x00RRGGBB to 0x00BBGGRR
            pixels.colors[i] = Rgb(int(p[i] >> 16 & 0xFF), int(p[i] >> 8 & 0xFF), int(p[i] & 0xFF));
        SelectObject(memory, old);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(hwnd, source);
    return pixels;
}
