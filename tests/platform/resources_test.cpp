#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

TEST(Resources, MissingResourceIsEmpty) {
    TResourceData r;
    r.size = 7;
    EXPECT_FALSE(FindResourceData("NO_SUCH_RESOURCE", rt_stream, r));
    EXPECT_EQ(r.data, nullptr);
    EXPECT_EQ(r.size, 0u);
}

namespace {

uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

TEST(Resources, FirmwareImage) {
    TResourceData r;
    ASSERT_TRUE(FindResourceData("STREAM0", rt_stream, r));
    EXPECT_EQ(r.size, 130048u);
    EXPECT_FALSE(FindResourceData("STREAM0", rt_bitmap, r)); // found by name and type
}

TEST(Resources, ErrorPicture) {
    TResourceData r;
    ASSERT_TRUE(FindResourceData("BITMAP0", rt_bitmap, r));
    ASSERT_EQ(r.size, 336440u);
    const unsigned char* h = r.data;
    EXPECT_EQ(U32(h), 40u); // BITMAPINFOHEADER
    EXPECT_EQ(int32_t(U32(h + 4)), 290);
    EXPECT_EQ(int32_t(U32(h + 8)), 290); // positive: bottom-up
    EXPECT_EQ(U16(h + 12), 1);
    EXPECT_EQ(U16(h + 14), 32);
    EXPECT_EQ(U32(h + 16), 0u); // BI_RGB
    EXPECT_EQ(U32(h + 32), 0u); // no colour table
    const unsigned char* px = h + 40;
    for (std::size_t k = 0; k < 290u * 290u; ++k)
        ASSERT_EQ(px[k * 4 + 3], 0) << k;
    auto pixel = [&](int x, int yFromTop) { return px + ((289 - yFromTop) * 290 + x) * 4; };
    const unsigned char* centre = pixel(145, 145);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 700); // the white cross
    const unsigned char* disc = pixel(145, 40);
    EXPECT_GT(disc[2], 180); // red, B G R order
    EXPECT_LT(disc[1], 80);
    const unsigned char* corner = pixel(2, 2);
    EXPECT_EQ(corner[0], corner[2]); // grey outside the disc
}

TEST(Resources, ApplicationIcon) {
    TResourceData r;
    ASSERT_TRUE(FindResourceData("MAINICON", rt_group_icon, r));
    ASSERT_GE(r.size, 6u + 2 * 16);
    const unsigned char* f = r.data;
    EXPECT_EQ(U16(f), 0);
    EXPECT_EQ(U16(f + 2), 1); // icon
    ASSERT_EQ(U16(f + 4), 2);
    const int sizes[] = {16, 32};
    for (int k = 0; k < 2; ++k) {
        const unsigned char* e = f + 6 + 16 * k;
        EXPECT_EQ(e[0], sizes[k]);
        EXPECT_EQ(e[1], sizes[k]);
        EXPECT_EQ(U16(e + 6), 24);
        uint32_t bytes = U32(e + 8), offset = U32(e + 12);
        ASSERT_LE(offset + bytes, r.size);
        const unsigned char* dib = f + offset;
        EXPECT_EQ(U32(dib), 40u);
        EXPECT_EQ(int32_t(U32(dib + 4)), sizes[k]);
        EXPECT_EQ(int32_t(U32(dib + 8)), 2 * sizes[k]); // colour rows and mask
        EXPECT_EQ(U16(dib + 14), 24);
        uint32_t rowBytes = (sizes[k] * 3 + 3) / 4 * 4, maskRow = (sizes[k] + 31) / 32 * 4;
        EXPECT_EQ(bytes, 40 + (rowBytes + maskRow) * sizes[k]);
    }
}

namespace {

std::string FileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

// What the program finds is byte for byte the file that the build embedded,
// on every system: a bitmap without a file header, a group icon as the whole
// .ico file.
TEST(Resources, SameBytesAsTheEmbeddedFiles) {
    struct {
        const char* name;
        int type;
        const char* path;
    } const files[] = {{"STREAM0", rt_stream, VARNO_STREAM0_FILE},
                       {"BITMAP0", rt_bitmap, VARNO_BITMAP0_FILE},
                       {"MAINICON", rt_group_icon, VARNO_MAINICON_FILE}};
    for (const auto& f : files) {
        const std::string expected = FileBytes(f.path);
        if (expected.empty()) GTEST_SKIP() << "the build's files are out of reach here: " << f.path;
        TResourceData r;
        ASSERT_TRUE(FindResourceData(f.name, f.type, r)) << f.name;
        ASSERT_EQ(r.size, expected.size()) << f.name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data), r.size), expected) << f.name;
    }
}
