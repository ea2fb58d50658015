// Colours, fonts, style words, bitmaps and icons of the toolkit.
#include "ui/toolkit/Application.h"
#include "ui/toolkit/Bitmap.h"
#include "ui/toolkit/Colors.h"
#include "ui/toolkit/Styles.h"

#include "runtime/Share.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Colors, SystemColoursResolveWhateverTheHighBits) {
    EXPECT_EQ(ResolveColor(0xFF00000F), ResolveColor(0x8000000F));
    EXPECT_EQ(ResolveColor(0x8000000F), SysColor(15));
    EXPECT_EQ(ResolveColor(0xFF000005), SysColor(5));
    EXPECT_EQ(ClassicColor(15), Rgb(212, 208, 200));     // button face
    EXPECT_EQ(ClassicColor(5), Rgb(255, 255, 255));      // window
    EXPECT_EQ(ClassicColor(31), 0u);                     // past the table
    EXPECT_EQ(ResolveColor(0x0000FF00), Rgb(0, 255, 0)); // plain colours pass
    EXPECT_EQ(ResolveColor(0x000000FF), Rgb(255, 0, 0));
}

TEST(Fonts, PointsToPixelHeightAtTheScreenResolution) {
    TApplication::Instance(); // installs the screen resolution service
    EXPECT_EQ(PointsToHeight(8), -11);
    EXPECT_EQ(PointsToHeight(10), -13);
}

TEST(Styles, BorderStyleOneIsFixedWithCaptionSystemMenuAndMinimiseBox) {
    TStyles s{kFormStyle, 0};
    ASSERT_TRUE(ApplyBorderStyle(s, 1));
    EXPECT_EQ(s.style, 0x16CA0000u);
    EXPECT_EQ(s.style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(s.style & WS_SYSMENU);
    EXPECT_TRUE(s.style & WS_MINIMIZEBOX);
    EXPECT_FALSE(s.style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(s.style & WS_THICKFRAME);
    // Sizes of the classic frame: 3 pixels each side, 19 for the caption.
    const TFrameExtent e = FrameExtentOf(s);
    EXPECT_EQ(e.frame, 3);
    EXPECT_EQ(e.caption, 19);
}

TEST(Styles, BorderStylesReplaceOnlyTheFrameBits) {
    TStyles s{kFormStyle, WS_EX_APPWINDOW};
    ASSERT_TRUE(ApplyBorderStyle(s, 8));
    EXPECT_EQ(s.style, 0x16080000u);
    EXPECT_EQ(s.exStyle, WS_EX_APPWINDOW | 0x201u);
    // The client edge is not among the bits a border style clears.
    ASSERT_TRUE(ApplyBorderStyle(s, 4));
    EXPECT_EQ(s.exStyle, WS_EX_APPWINDOW | 0x280u);
    const TStyles before = s;
    EXPECT_FALSE(ApplyBorderStyle(s, 10));
    EXPECT_EQ(s.style, before.style);
    EXPECT_EQ(s.exStyle, before.exStyle);
}

TEST(Styles, EditAndComboOptionBits) {
    // Single line: the auto-scroll styles stay, the scroll bars go.
    EXPECT_EQ(EditOptionStyle(0), ES_AUTOHSCROLL | ES_AUTOVSCROLL);
    EXPECT_EQ(EditOptionStyle(1u << 7), ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_READONLY);
    EXPECT_EQ(EditOptionStyle(1u << 6) & ES_PASSWORD, ES_PASSWORD);
    EXPECT_EQ(EditOptionStyle(1u << 3) & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
    EXPECT_EQ(ComboOptionStyle(0), CBS_AUTOHSCROLL | CBS_DROPDOWN);
    EXPECT_EQ(ComboOptionStyle(1) & CBS_DROPDOWNLIST, CBS_DROPDOWNLIST);
    EXPECT_EQ(ComboOptionStyle(1u << 6) & CBS_SORT, CBS_SORT);
    EXPECT_EQ(InitialStyles(TControlKind::Combo, 0).style, 0x56210242u);
    EXPECT_EQ(InitialStyles(TControlKind::Label, 0).style, 0x5600018Cu);
}

TEST(Styles, TextAlignmentReplacesTheClassBits) {
    const uint32_t label = InitialStyles(TControlKind::Label, 0).style;
    EXPECT_EQ(ApplyTextAlign(TControlKind::Label, label, 2) & SS_TYPEMASK, SS_CENTER);
    EXPECT_EQ(ApplyTextAlign(TControlKind::Label, label, 1) & SS_TYPEMASK, SS_RIGHT);
    const uint32_t edit = InitialStyles(TControlKind::Edit, 0).style;
    EXPECT_EQ(ApplyTextAlign(TControlKind::Edit, edit | ES_RIGHT, 2) & 3u, ES_CENTER);
}

namespace {
// A BITMAPINFOHEADER and pixels: bottom-up unless height is negative.
std::vector<unsigned char> Dib(int w, int h, int bits, uint32_t (*pixel)(int x, int y)) {
    std::vector<unsigned char> b(40, 0);
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, uint32_t(w));
    put32(8, uint32_t(h));
    b[12] = 1;
    b[14] = uint8_t(bits);
    const int rows = h < 0 ? -h : h;
    const int stride = (w * bits / 8 + 3) & ~3;
    for (int r = 0; r < rows; ++r) {
        const int y = h < 0 ? r : rows - 1 - r; // the picture row stored here
        std::vector<unsigned char> row(std::size_t(stride), 0);
        for (int x = 0; x < w; ++x) {
            const uint32_t c = pixel(x, y); // 0x00BBGGRR
            unsigned char* p = row.data() + x * bits / 8;
            p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}
uint32_t Quadrants(int x, int y) {
    return y < 2 ? (x < 2 ? Rgb(255, 0, 0) : Rgb(0, 255, 0)) : Rgb(0, 0, 255);
}
} // namespace

TEST(Bitmaps, DecodesBottomUpAndTopDownPixels) {
    TApplication::Instance();
    for (int bits : {32, 24}) {
        for (int sign : {1, -1}) {
            auto bytes = Dib(5, 4 * sign, bits, &Quadrants);
            TBitmapHandle h = DecodeDib(bytes.data(), bytes.size());
            ASSERT_NE(h, nullptr) << bits << " " << sign;
            int w = 0, ht = 0;
            ASSERT_TRUE(BitmapSize(h, w, ht));
            EXPECT_EQ(w, 5);
            EXPECT_EQ(ht, 4);
            EXPECT_EQ(BitmapPixel(h, 0, 0), Rgb(255, 0, 0));
            EXPECT_EQ(BitmapPixel(h, 4, 1), Rgb(0, 255, 0));
            EXPECT_EQ(BitmapPixel(h, 1, 3), Rgb(0, 0, 255));
            FreeBitmap(h);
        }
    }
}

TEST(Bitmaps, RejectsTruncatedOrUnsupportedData) {
    TApplication::Instance();
    auto bytes = Dib(290, 290, 32, &Quadrants);
    EXPECT_EQ(bytes.size(), 336440u); // the size of the program's picture
    EXPECT_EQ(DecodeDib(bytes.data(), bytes.size() - 1), nullptr);
    EXPECT_EQ(DecodeDib(bytes.data(), 39), nullptr);
    bytes[16] = 1; // compressed
    EXPECT_EQ(DecodeDib(bytes.data(), bytes.size()), nullptr);
    // A missing resource is a null handle.
    EXPECT_EQ(LoadBitmapResource("NO_SUCH_BITMAP"), nullptr);
}

TEST(Icons, DecodesAnIconFileWithTwoImages) {
    TApplication::Instance();
    std::vector<unsigned char> ico = {0, 0, 1, 0, 2, 0};
    std::vector<std::vector<unsigned char>> images;
    for (int size : {16, 32}) {
        auto dib = Dib(size, size * 2, 24, &Quadrants); // height doubled for the mask
        // Only the colour rows of a double-height header: append the mask.
        dib.resize(40 + std::size_t(size) * ((size * 3 + 3) & ~3));
        dib.insert(dib.end(), std::size_t(size) * 4, 0);
        images.push_back(dib);
    }
    uint32_t offset = 6 + 16 * 2;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int size = i == 0 ? 16 : 32;
        const uint32_t len = uint32_t(images[i].size());
        unsigned char e[16] = {uint8_t(size), uint8_t(size), 0, 0, 1, 0, 24, 0};
        for (int k = 0; k < 4; ++k)
            e[8 + k] = uint8_t(len >> (8 * k)), e[12 + k] = uint8_t(offset >> (8 * k));
        ico.insert(ico.end(), e, e + 16);
        offset += len;
    }
    for (auto& img : images)
        ico.insert(ico.end(), img.begin(), img.end());
    TIconHandle icon = DecodeIcon(ico.data(), ico.size());
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(IconImageCount(icon), 2);
    int w = 0, h = 0;
    ASSERT_TRUE(IconImageSize(icon, 1, w, h));
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 32);
    FreeIcon(icon);
    EXPECT_EQ(DecodeIcon(ico.data(), 20), nullptr);
}
