#include "TestElements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

TEST(Values, CopyingARecordSharesTheStringBytes) {
    TData a = StrValue(std::string(1000, 'x'));
    TData b = a;
    EXPECT_TRUE(a.sdata.SharesWith(b.sdata));
    SetString(b, "other");
    EXPECT_EQ(ToString(a), std::string(1000, 'x'));
    EXPECT_EQ(ToString(b), "other");
}

// Strings kept in the record and strings shared between records alike keep
// every byte, zero bytes included, and a copy outlives a change of its source.
TEST(Values, StringsOfEverySizeKeepTheirBytesThroughCopies) {
    for (std::size_t size : {0, 1, 14, 15, 16, 17, 300}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = char(i * 37 % 256);
        TData a = StrValue(bytes);
        TData b = a;
        TData c;
        c = b;
        SetString(a, "changed");
        EXPECT_EQ(ToString(b), bytes) << size;
        EXPECT_EQ(c.sdata.size(), size);
        EXPECT_TRUE(c.sdata == std::string_view(bytes)) << size;
        TData moved = std::move(b);
        EXPECT_EQ(ToString(moved), bytes) << size;
    }
}

TEST(Values, SettersClearForwardAndNextButSetNullKeepsTheRest) {
    TData other;
    TEventLink link;
    TData d = StrValue("keep");
    d.idata = 9;
    d.next = &other;
    d.fwd = &link;
    SetNull(d);
    EXPECT_EQ(d.type, data_null);
    EXPECT_EQ(d.next, nullptr);
    EXPECT_EQ(d.fwd, nullptr);
    EXPECT_EQ(d.sdata, "keep");
    EXPECT_EQ(d.idata, 9);
    EXPECT_STREQ(DataTypeNames[data_break], "Break");
    EXPECT_STREQ(DataTypeNames[data_stream], "Stream");
}

TEST(Values, ToIntegerOfStringsIsLenient) {
    // Digits beyond 32 bits wrap modulo 2^32.
    const std::pair<const char*, int32_t> cases[] = {
        {"12abc", 12}, {"-7", -7},        {"+3", 3},
        {" 5", 0},     {"", 0},           {"abc", 0},
        {"+-3", 0},    {"4294967297", 1}, {"2147483648", INT32_MIN}};
    for (auto [text, want] : cases)
        EXPECT_EQ(ToInteger(StrValue(text)), want) << text;
    EXPECT_EQ(ToInteger(TData{}), 0);
}

TEST(Values, ToIntegerOfRealsRoundsTiesToEven) {
    TData r;
    r.type = data_real;
    for (auto [v, want] : {std::pair{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-2.6, -3}, {0.49, 0}}) {
        r.rdata = v;
        EXPECT_EQ(ToInteger(r), want) << v;
    }
    r.rdata = 4294967296.0 + 7; // low 32 bits of the rounded value
    EXPECT_EQ(ToInteger(r), 7);
}

TEST(Values, ToRealParsesLeniently) {
    const std::pair<const char*, double> cases[] = {{" 5", 5},      {"1.2.3", 1.2}, {"-0.5", -0.5},
                                                    {"abc", 0},     {"1,5", 15},    {"2e3", 2000},
                                                    {"1e-2", 0.01}, {"+7", 7}};
    for (auto [text, want] : cases)
        EXPECT_DOUBLE_EQ(ToReal(StrValue(text)), want) << text;
    EXPECT_DOUBLE_EQ(ToReal(IntValue(-4)), -4);
    EXPECT_DOUBLE_EQ(ToReal(TData{}), 0);
}

TEST(Values, ToStringOfRealsHasFifteenDigitsAndNoExponent) {
    TData r;
    r.type = data_real;
    auto text = [&](double v) {
        r.rdata = v;
        return ToString(r);
    };
    EXPECT_EQ(text(0.0), "0");
    EXPECT_EQ(text(0.5), "0.5");
    EXPECT_EQ(text(1.0), "1");
    EXPECT_EQ(text(-2.25), "-2.25");
    EXPECT_EQ(text(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(text(2.0 / 3), "0.666666666666667");
    EXPECT_EQ(text(1e20), "100000000000000000000");
    EXPECT_EQ(text(123456789012345678.0), "123456789012346000");
    EXPECT_EQ(text(0.000125), "0.000125");
    EXPECT_EQ(text(1e-5), "0.00001");
    EXPECT_EQ(text(0.1 + 0.2), "0.3");
    EXPECT_EQ(text(999999999999999.9), "1000000000000000");
    EXPECT_EQ(text(-1e15), "-1000000000000000");
}

TEST(Values, ToStringOfOtherKinds) {
    EXPECT_EQ(ToString(IntValue(-42)), "-42");
    EXPECT_EQ(ToString(TData{}), "");
    TData forwarded = IntValue(5);
    forwarded.type |= data_forward;
    EXPECT_EQ(ToString(forwarded), "");
    EXPECT_EQ(ToInteger(forwarded), 0);
}

TEST(Values, ToIndexAndIsTrue) {
    EXPECT_EQ(ToIndex(StrValue("0")), 0);
    EXPECT_EQ(ToIndex(StrValue("abc")), -1);
    EXPECT_EQ(ToIndex(StrValue("")), -1);
    EXPECT_EQ(ToIndex(StrValue("12")), 12);
    EXPECT_EQ(ToIndex(TData{}), -1);
    EXPECT_EQ(ToIndex(IntValue(-5)), -5);

    TData real;
    real.type = data_real;
    EXPECT_TRUE(IsTrue(TData{}));
    EXPECT_TRUE(IsTrue(StrValue("0")));
    EXPECT_TRUE(IsTrue(real));
    EXPECT_FALSE(IsTrue(IntValue(0)));
    EXPECT_TRUE(IsTrue(IntValue(2)));
}
