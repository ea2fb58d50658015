#include "Probe.h"
#include "elements/qeCRC16_32.h"
#include "elements/qeConvertor.h"
#include "testing/Crc16.h"

#include <cstdio>

#include <gtest/gtest.h>

namespace {

struct Crc : ::testing::Test {
    TQeCRC16_32 el;
    TProbe out;
    void SetUp() override {
        el.onResult = out.Link();
        el.Polynomial = "$A001";
        el.Init = "$FFFF";
    }
    std::string Calc(const std::string& data) {
        Send<&TQeCRC16_32::inCalc>(el, Str(data));
        return out.Str(out.got.size() - 1);
    }
    // Calc with another type, polynomial and initial value.
    std::string CalcWith(uint8_t type, const char* polynomial, const char* init,
                         const std::string& data) {
        el.CrcType = type;
        el.Polynomial = polynomial;
        el.Init = init;
        return Calc(data);
    }
};

TEST_F(Crc, CheckValues) {
    EXPECT_EQ(Calc("123456789"), "4B37");
    el.CrcType = 1;
    EXPECT_EQ(Calc("123456789"), "374B");
    el.CrcType = 2;
    EXPECT_EQ(Calc("123456789"), "C8B4");
    el.CrcType = 0;
    el.SwapOutput = true;
    EXPECT_EQ(Calc("123456789"), "374B");
    el.SwapOutput = false;
    EXPECT_EQ(CalcWith(3, "$1021", "$FFFF", "123456789"), "29B1");
    EXPECT_EQ(CalcWith(4, "$EDB88320", "$FFFFFFFF", "123456789"), "CBF43926");
    el.CrcType = 9;
    EXPECT_EQ(Calc("123456789"), "FFFF");
}

// One element computing with changing types and polynomials gives what a new
// element gives for each, whichever table it computed with before.
TEST_F(Crc, EachTypeAndPolynomialGetsItsOwnTable) {
    const struct {
        uint8_t type;
        const char* poly;
    } steps[] = {{0, "$A001"},     {3, "$A001"}, {3, "$1021"}, {0, "$1021"},
                 {4, "$EDB88320"}, {0, "$A001"}, {0, "$8408"}};
    for (const auto& step : steps) {
        el.CrcType = step.type;
        el.Polynomial = step.poly;
        TQeCRC16_32 fresh;
        TProbe freshOut;
        fresh.onResult = freshOut.Link();
        fresh.CrcType = step.type;
        fresh.Polynomial = step.poly;
        fresh.Init = el.Init;
        Send<&TQeCRC16_32::inCalc>(fresh, Str("123456789"));
        EXPECT_EQ(Calc("123456789"), freshOut.Str(0)) << int(step.type) << " " << step.poly;
    }
}

TEST_F(Crc, HexInput) {
    el.InputMode = 1;
    EXPECT_EQ(Calc("31 32 33 34 35 36 37 38 39"), "4B37");
    EXPECT_EQ(Calc("$31$32$33$34$35$36$37$38$39"), "4B37");
    EXPECT_EQ(Calc("313233343536373839"), "4B37");
    // InputMode 2 keeps blanks: 'A0 B1' is the pairs 'A0', ' B', '1'.
    el.InputMode = 2;
    std::string pairs = Calc("A0 B1");
    el.InputMode = 0;
    EXPECT_EQ(pairs, Calc(std::string("\xA0\x00\x01", 3)));
    // Junk: every pair reads up to its first non-digit.
    el.InputMode = 1;
    std::string junk = Calc("1G zz4");
    el.InputMode = 0;
    EXPECT_EQ(junk, Calc(std::string("\x01\x00\x04", 3)));
}

TEST_F(Crc, EmptyDataGivesTheInitialValueUnfinished) {
    el.CrcType = 1;
    EXPECT_EQ(Calc(""), "FFFF");
    EXPECT_EQ(CalcWith(2, "$A001", "12", ""), "0012");
    EXPECT_EQ(CalcWith(4, "$EDB88320", "$FFFFFFFF", ""), "FFFFFFFF");
}

TEST_F(Crc, RunningCrcThroughTheInitInput) {
    // As the upload uses it: one byte per call as hex digits, the last result
    // fed back as the next initial value.
    el.InputMode = 1;
    TSource init;
    init.value = Str("FFFF");
    el.srcInit = init.Link();
    const std::string data = "The quick brown fox";
    for (unsigned char c : data) {
        Send<&TQeCRC16_32::inCalc>(el, Str(IntToHex(c, 1)));
        init.value = out.got.back();
    }
    char expect[5];
    std::snprintf(expect, sizeof expect, "%04X", Crc16Modbus(data.data(), data.size()));
    EXPECT_EQ(ToString(init.value), expect);
}

TEST(HexText, Rule) {
    EXPECT_EQ(HexTextValue("$A001"), 0xA001u);
    EXPECT_EQ(HexTextValue("A001"), 0xA001u);
    EXPECT_EQ(HexTextValue("a001"), 0xA001u);
    EXPECT_EQ(HexTextValue("12G4"), 0x12u);
    EXPECT_EQ(HexTextValue("$$1"), 0u);
    EXPECT_EQ(HexTextValue(""), 0u);
    EXPECT_EQ(HexTextValue("123456789"), 0x23456789u); // modulo 2^32
    EXPECT_EQ(HexTextValue(std::string("F\0F", 3)), 0xFu);
}

TEST(Crc16Modbus, CheckValue) {
    EXPECT_EQ(Crc16Modbus("123456789", 9), 0x4B37);
    EXPECT_EQ(Crc16Modbus("", 0), 0xFFFF);
    uint16_t split = Crc16Modbus("12345", 5);
    EXPECT_EQ(Crc16Modbus("6789", 4, split), 0x4B37);
}

} // namespace
