#include "runtime/Text1251.h"

#include <gtest/gtest.h>

TEST(Text1251, RussianTextRoundTrips) {
    std::string utf8 = "Устройство: Ёж ёж №5 – «Записать»";
    std::string cp = Utf8ToCp1251(utf8);
    EXPECT_EQ(cp.size(), 33u);
    EXPECT_EQ((unsigned char)cp[0], 0xD3); // У
    EXPECT_EQ(Cp1251ToUtf8(cp), utf8);
}

TEST(Text1251, EveryByteRoundTripsIncludingTheUnassignedOne) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xC2\x98");
}

TEST(Text1251, UnmappableAndMalformedInputBecomesQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD"
                           "b"),
              "a?b"); // a CJK character
    EXPECT_EQ(Utf8ToCp1251("\xFF\xC3"), "??");
    EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");
}

TEST(Text1251, AnsiLowerCaseCoversCyrillic) {
    EXPECT_EQ(AnsiLowerCase1251(Utf8ToCp1251("ABC АБВЯ Ё Ђ Ї І Ґ Ў abc 123")),
              Utf8ToCp1251("abc абвя ё ђ ї і ґ ў abc 123"));
    EXPECT_EQ(AnsiLower1251('\xDF'), '\xFF');
    EXPECT_EQ(AnsiLower1251('\xFF'), '\xFF');
    EXPECT_EQ(AnsiLower1251('\xA9'), '\xA9'); // ©
}
