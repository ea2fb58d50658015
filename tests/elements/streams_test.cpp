#include "Probe.h"
#include "elements/MemStream.h"
#include "elements/qeDataToFile.h"
#include "elements/qeMemoryStream.h"
#include "elements/qeStream2Hex.h"
#include "testing/Crc16.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(MemStream, ReadWriteSeek) {
    TMemStream s;
    EXPECT_EQ(s.Write("abc", 3), 3);
    EXPECT_EQ(s.Size(), 3);
    EXPECT_EQ(s.Position(), 3);
    s.Seek(1);
    EXPECT_EQ(s.Write("XYZ", 3), 3); // overwrites and grows
    EXPECT_EQ(std::string((const char*)s.Data(), 4), "aXYZ");
    s.Seek(0);
    char buf[8] = "-------";
    EXPECT_EQ(s.Read(buf, 8), 4);
    EXPECT_EQ(std::string(buf, 5), "aXYZ-");
    EXPECT_EQ(s.Read(buf, 1), 0); // at the end: nothing, buffer untouched
    EXPECT_EQ(buf[0], 'a');
    s.Seek(10);
    EXPECT_EQ(s.Size(), 10);
    EXPECT_EQ(s.Data()[9], 0);
    s.Seek(-5);
    EXPECT_EQ(s.Position(), 0);
}

TEST(MemStream, MissingResourceIsEmpty) {
    auto s = LoadStreamResource("NO_SUCH_STREAM");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Size(), 0);
    EXPECT_EQ(LoadStreamResource("STREAM0", 2)->Size(), 0); // wrong type
}

TEST(MemStream, FirmwareImage) {
    auto s = LoadStreamResource("STREAM0");
    ASSERT_EQ(s->Size(), 130048);
    EXPECT_EQ(s->Position(), 0);
    // Not constant and no short period: every 256-byte block differs from the
    // next, and the first block is not repeated anywhere.
    const unsigned char* p = s->Data();
    for (int b = 1; b < 508; ++b)
        ASSERT_NE(std::memcmp(p, p + b * 256, 256), 0) << "block " << b;
    int histogram[256] = {};
    for (int k = 0; k < 130048; ++k)
        ++histogram[p[k]];
    for (int v = 0; v < 256; ++v)
        EXPECT_GT(histogram[v], 300) << v;
}

struct Streams : ::testing::Test {
    TQeMemoryStream mem;
    TQeDataToFile reader;
    TProbe got;
    void SetUp() override {
        reader.srcStream = MakeLink<&TQeMemoryStream::valStream>(0, &mem);
        reader.onGet = got.Link();
    }
    void Get(int times = 1) {
        for (int k = 0; k < times; ++k)
            Send<&TQeDataToFile::inGet>(reader, Str("x"), 1);
    }
};

TEST_F(Streams, ReadsBytesThenZerosPastTheEnd) {
    mem.Stream->Write("\x41\x00", 2);
    mem.Stream->Seek(0);
    Get(3);
    ASSERT_EQ(got.got.size(), 3u);
    EXPECT_EQ(got.Int(0), 65);
    EXPECT_EQ(got.Int(1), 0);
    EXPECT_EQ(got.Int(2), 0);
    EXPECT_EQ(got.got[2].type, data_int);
    EXPECT_EQ(mem.Stream->Position(), 2);
}

TEST_F(Streams, WholeImageByteByByte) {
    mem.Stream = LoadStreamResource("STREAM0");
    uint16_t crc = 0xFFFF;
    for (int k = 0; k < 130048; ++k) {
        Get();
        unsigned char b = (unsigned char)got.Int(got.got.size() - 1);
        crc = Crc16Modbus(&b, 1, crc);
    }
    EXPECT_EQ(crc, Crc16Modbus(mem.Stream->Data(), 130048));
    Get();
    EXPECT_EQ(got.Int(130048), 0);
    EXPECT_EQ(mem.Stream->Position(), 130048);
}

TEST_F(Streams, UnconnectedOrWrongValueFiresNothing) {
    TQeDataToFile lone;
    lone.onGet = got.Link();
    TData d = Str("keep");
    Fire(MakeLink<&TQeDataToFile::inGet>(1, &lone), d);
    EXPECT_TRUE(got.got.empty());
    EXPECT_EQ(ToString(d), "keep");
    TSource notAStream;
    notAStream.value = Int(5);
    lone.srcStream = notAStream.Link();
    Fire(MakeLink<&TQeDataToFile::inGet>(1, &lone), d);
    EXPECT_TRUE(got.got.empty());
}

TEST_F(Streams, ValStreamSharesTheStream) {
    TData d;
    mem.valStream(d, 0);
    EXPECT_EQ(ToStream(d), mem.Stream.get());
    mem.Stream = std::make_unique<TMemStream>(); // frees the old one
    mem.valStream(d, 0);
    EXPECT_EQ(ToStream(d), mem.Stream.get());
}

TEST(Stream2Hex, Bytes) {
    TQeStream2Hex el;
    TProbe out;
    el.onResult = out.Link();
    Send<&TQeStream2Hex::inConvert>(el, Str(std::string("\x00\x0F\xA5\xFF", 4)));
    Send<&TQeStream2Hex::inConvert>(el, Str(""));
    Send<&TQeStream2Hex::inConvert>(el, Str("AB"));
    Send<&TQeStream2Hex::inConvert>(el, TData{});
    EXPECT_EQ(out.Str(0), "000FA5FF");
    EXPECT_EQ(out.Str(1), "");
    EXPECT_EQ(out.Str(2), "4142");
    EXPECT_EQ(out.Str(3), "");
    EXPECT_EQ(out.got[3].type, data_str);
}

} // namespace
