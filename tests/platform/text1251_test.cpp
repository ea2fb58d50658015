#include "platform/Text1251.h"

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

TEST(Text1251, Utf16RoundTripsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    std::u16string wide = Cp1251ToUtf16(all);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(wide[0xC0], u'А');
    EXPECT_EQ(wide[0xA8], u'Ё');
    EXPECT_EQ(wide[0xB9], u'№');
    EXPECT_EQ(wide[0x88], u'€');
    EXPECT_EQ(wide[0x98], char16_t(0x98));
    EXPECT_EQ(Utf16ToCp1251(wide), all);
    EXPECT_EQ(Cp1251ToUtf16(Utf8ToCp1251("Записать COM3")), u"Записать COM3");
}

TEST(Text1251, Utf16WithoutAByteBecomesOneQuestionMarkEach) {
    EXPECT_EQ(Utf16ToCp1251(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(Utf16ToCp1251(u"x\U0001F600y"), "x?y"); // a surrogate pair is one character
    const char16_t lone[] = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00), 0};
    EXPECT_EQ(Utf16ToCp1251(lone), "a?b?");
    EXPECT_EQ(Utf16ToCp1251(std::u16string_view(u"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Text1251, Utf16BecomesUtf8WithPairsWholeAndLoneSurrogatesReplaced) {
    EXPECT_EQ(Utf16ToUtf8(u"Ёж €"), "Ёж €");
    EXPECT_EQ(Utf16ToUtf8(u"x\U0001F600y"), "x\xF0\x9F\x98\x80y");
    const char16_t lone[] = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00), 0};
    EXPECT_EQ(Utf16ToUtf8(lone), "a\xEF\xBF\xBD"
                                 "b\xEF\xBF\xBD");
}
