#include "runtime/Share.h"

#include <gtest/gtest.h>

TEST(SharedOps, PosFrom) {
    EXPECT_EQ(PosFrom("b", "abcb", 1), 2);
    EXPECT_EQ(PosFrom("b", "abcb", 3), 4);
    EXPECT_EQ(PosFrom("b", "abcb", 5), 0);
    EXPECT_EQ(PosFrom("", "abc", 2), 0);
    EXPECT_EQ(PosFrom("", "abc", 1), 0);
    EXPECT_EQ(PosFrom("cd", "abc", 1), 0);
    EXPECT_EQ(PosFrom(std::string_view("\0b", 2), std::string_view("a\0b", 3), 1), 2);
}

TEST(SharedOps, ReplaceAllSkipsInsertedText) {
    std::string s = "aaa";
    ReplaceAll(s, "a", "aa");
    EXPECT_EQ(s, "aaaaaa");
    s = "%1 and %1";
    ReplaceAll(s, "%1", "%1%1");
    EXPECT_EQ(s, "%1%1 and %1%1");
    s = "abc";
    ReplaceAll(s, "", "x");
    EXPECT_EQ(s, "abc");
    s = "xax";
    ReplaceAll(s, "x", "");
    EXPECT_EQ(s, "a");
}

TEST(SharedOps, ReplaceAllFilterSeesPositionsInTheCurrentString) {
    std::vector<int> seen;
    auto filter = [](void* obj, int pos) {
        static_cast<std::vector<int>*>(obj)->push_back(pos);
        return pos != 5; // refuse one occurrence
    };
    std::string s = "ababab";
    ReplaceAll(s, "b", "XY", filter, &seen);
    // After the first replacement the string is "aXYabab": the second "b" is at
    // 5 and is refused; the search goes on from 6 and finds the third at 7.
    EXPECT_EQ(seen, (std::vector<int>{2, 5, 7}));
    EXPECT_EQ(s, "aXYabaXY");
}

TEST(SharedOps, ReplaceAllOnALargeStringIsLinear) {
    std::string s(1 << 20, 'a');
    ReplaceAll(s, "a", "bc");
    EXPECT_EQ(s.size(), std::size_t(2) << 20);
    EXPECT_EQ(s.substr(0, 4), "bcbc");
}

TEST(SharedOps, CompareTextAsciiFoldsOnlyAscii) {
    EXPECT_EQ(CompareTextAscii("abc", "ABC"), 0);
    EXPECT_LT(CompareTextAscii("abc", "abd"), 0);
    EXPECT_EQ(CompareTextAscii("a", "ab"), -'B');
    EXPECT_NE(CompareTextAscii("\xE0", "\xC0"), 0); // Cyrillic is not folded
}

TEST(SharedOps, FontsAndCallbacks) {
    EXPECT_EQ(PointsToHeight(8), -11); // 96 pixels per inch without a screen
    TFontRec f = MakeFontRec("MS Sans Serif", 8, fs_bold, 0x123, 204);
    EXPECT_EQ(f.Name, "MS Sans Serif");
    EXPECT_EQ(f.Size, 8);
    EXPECT_EQ(f.CharSet, 204);
    EXPECT_EQ(CallIfAssigned(nullptr, nullptr, 1, 2), 0);
    EXPECT_EQ(CallIfAssigned([](void*, intptr_t a, intptr_t b) { return a + b; }, nullptr, 1, 2),
              3);
}

TEST(SharedOps, DebugMessageGoesThroughTheInstalledService) {
    static std::string caption, text;
    TRuntimeServices services;
    services.messageBox = [](const std::string& c, const std::string& t) {
        caption = c;
        text = t;
    };
    SetRuntimeServices(services);
    DebugMessage("hello");
    SetRuntimeServices(TRuntimeServices{});
    EXPECT_EQ(caption, "String-Debug");
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(MainWindowHandle(), nullptr);
}

TEST(SharedOps, WaitForOtherThreadRunsTheWaitThroughTheService) {
    bool ran = false;
    WaitForOtherThread([&] { ran = true; }); // no service: runs directly
    EXPECT_TRUE(ran);
    static int viaService = 0;
    TRuntimeServices services;
    services.waitForOtherThread = [](const std::function<void()>& wait) {
        ++viaService;
        wait();
    };
    SetRuntimeServices(services);
    ran = false;
    WaitForOtherThread([&] { ran = true; });
    SetRuntimeServices(TRuntimeServices{});
    EXPECT_TRUE(ran);
    EXPECT_EQ(viaService, 1);
}
