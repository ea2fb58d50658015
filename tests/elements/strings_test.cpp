#include "Probe.h"
#include "elements/qeFormatStr.h"
#include "elements/qeMultiStrPart.h"
#include "elements/qeStrCat.h"
#include "elements/qeStrMask.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct FormatStr : ::testing::Test {
    TQeFormatStr fmt;
    TSource args[3];
    TProbe out;
    void SetUp() override {
        fmt.SetArgCount(3);
        for (int k = 0; k < 3; ++k)
            fmt.srcArg[k] = args[k].Link();
        fmt.onResult = out.Link();
    }
    std::string Format(std::string mask, std::string a1, std::string a2 = "", std::string a3 = "") {
        fmt.Mask = std::move(mask);
        args[0].value = Str(std::move(a1));
        args[1].value = Str(std::move(a2));
        args[2].value = Str(std::move(a3));
        out.got.clear();
        Send<&TQeFormatStr::inFormat>(fmt, TData{});
        EXPECT_EQ(out.got.size(), 1u);
        return out.Str();
    }
};

TEST_F(FormatStr, DeviceLine) {
    fmt.SetArgCount(2);
    EXPECT_EQ(Format(Cp1251("Устройство: %1   Текущая версия ПО: %2"), "A", "1.0"),
              Cp1251("Устройство: A   Текущая версия ПО: 1.0"));
    EXPECT_EQ(out.got[0].type, data_str);
}

TEST_F(FormatStr, PlaceholderRules) {
    EXPECT_EQ(Format("%%1", "X"), "%1");
    EXPECT_EQ(Format("100%% %1", "X"), "100% X");
    EXPECT_EQ(Format("%2%1", "5", "X"), "X5"); // "%25" must not hide placeholder 2
    EXPECT_EQ(Format("[%1][%1]", "a", "b"), "[a][a]");
    EXPECT_EQ(Format("%1%", "a"), "a%");
    fmt.SetArgCount(2);
    EXPECT_EQ(Format("%12 %3", "a", "b", "c"), "%12 %3"); // numbers above ArgCount stay
    EXPECT_EQ(Format("no placeholders", "a"), "no placeholders");
}

TEST_F(FormatStr, ValuesAreSearchedByLaterPasses) {
    EXPECT_EQ(Format("%1", "<%2>", "Z"), "<Z>");
    EXPECT_EQ(Format("%2", "Z", "<%1>"), "<%1>"); // earlier passes are over
    EXPECT_EQ(Format("%1", std::string("a\1b\0c", 5)), "ab%c");
    EXPECT_EQ(Format("%1", "%%"), "%%"); // "%%" in values is not a pair
}

TEST_F(FormatStr, UnlinkedArgumentsTakeTheEventValues) {
    TQeFormatStr f;
    f.SetArgCount(2);
    f.Mask = "%1-%2";
    TProbe p;
    f.onResult = p.Link();
    TData second = Int(2);
    TData first = Str("one");
    first.next = &second;
    Send<&TQeFormatStr::inFormat>(f, first);
    EXPECT_EQ(p.Str(), "one-2");
}

TEST(StrCat, DefaultsAndEventValue) {
    TQeStrCat cat;
    TProbe p;
    cat.onResult = p.Link();
    cat.Second = "465A";
    Send<&TQeStrCat::inConcat>(cat, Str("12"));
    EXPECT_EQ(p.Str(), "12465A");
    TSource a;
    a.value = Str(std::string("x\0y", 3));
    cat.srcFirst = a.Link();
    Send<&TQeStrCat::inConcat>(cat, TData{});
    EXPECT_EQ(p.Str(1), std::string("x\0y465A", 7));
    EXPECT_EQ(cat.Result, std::string("x\0y465A", 7));
}

// The matcher exactly as it has always been described: recursive, 1-based.
bool ReferenceMatch(const std::string& s, std::size_t i, const std::string& m, std::size_t j) {
    auto at = [](const std::string& t, std::size_t p) { return p <= t.size() ? t[p - 1] : '\0'; };
    while (j <= m.size() || i <= s.size()) {
        char c = at(m, j);
        if (c == '#') {
            char x = at(s, i);
            if (x < '0' || x > '9') break;
        } else if (c == '*') {
            if (ReferenceMatch(s, i, m, j + 1)) return true;
            if (i >= s.size()) return false;
            do {
                ++i;
                if (ReferenceMatch(s, i, m, j + 1)) return true;
            } while (i < s.size());
            return false;
        } else if (c == '?') {
            if (at(s, i) == '\0') break;
        } else if (c != at(s, i)) {
            break;
        }
        ++i;
        ++j;
    }
    return j > m.size() && i > s.size();
}

bool Reference(const std::string& text, const std::string& mask) {
    return ReferenceMatch(text + '\0', 1, mask + '\0', 1);
}

struct StrMask : ::testing::Test {
    TQeStrMask el;
    TProbe match{el.onMatch}, noMatch{el.onNoMatch};
    // Which output the text took; it must take exactly one, unchanged.
    bool Test(const std::string& mask, const std::string& text) {
        el.Mask = mask;
        std::size_t m0 = match.got.size(), n0 = noMatch.got.size();
        Send<&TQeStrMask::inCompare>(el, Str(text));
        bool matched = match.got.size() == m0 + 1;
        EXPECT_EQ(std::size_t(matched) + noMatch.got.size() - n0, 1u);
        EXPECT_EQ(ToString(matched ? match.got.back() : noMatch.got.back()), text);
        return matched;
    }
};

TEST_F(StrMask, Wildcards) {
    EXPECT_TRUE(Test("A#C", "A5C"));
    EXPECT_FALSE(Test("A#C", "ABC"));
    EXPECT_TRUE(Test("A*", "A"));
    EXPECT_TRUE(Test("A*", "ABC"));
    EXPECT_FALSE(Test("A*", "BA"));
    EXPECT_TRUE(Test("?", "Z"));
    EXPECT_FALSE(Test("?", ""));
    EXPECT_FALSE(Test("?", "ZZ"));
    EXPECT_TRUE(Test("", ""));
    EXPECT_FALSE(Test("", "A"));
    EXPECT_TRUE(Test("*", ""));
    EXPECT_TRUE(Test("*B*B", "ABABAB"));
    EXPECT_FALSE(Test("*B*B", "ABABA"));
    EXPECT_TRUE(Test("12AB465A", "12AB465A"));
    EXPECT_FALSE(Test("12AB", "12AB465A"));
}

TEST_F(StrMask, CaseFolding) {
    EXPECT_FALSE(Test("abc", "ABC"));
    el.IgnoreCase = 1;
    EXPECT_TRUE(Test("abc", "ABC"));
    EXPECT_TRUE(Test(Cp1251("ПРИВЕТ*"), Cp1251("привет, мир")));
    EXPECT_TRUE(Test(Cp1251("ёж"), Cp1251("ЁЖ")));
    EXPECT_TRUE(Test("12ab465a", "12AB465A"));
    EXPECT_EQ(ToString(match.got.back()), "12AB465A"); // passed on as it came
    el.IgnoreCase = 2;                                 // only 1 folds
    EXPECT_FALSE(Test("abc", "ABC"));
}

TEST_F(StrMask, SetMask) {
    Send<&TQeStrMask::inSetMask>(el, Str("A?"));
    EXPECT_EQ(el.Mask, "A?");
    EXPECT_TRUE(match.got.empty() && noMatch.got.empty());
    Send<&TQeStrMask::inSetMask>(el, TData{});
    EXPECT_EQ(el.Mask, "");
    Send<&TQeStrMask::inCompare>(el, Str(""));
    EXPECT_EQ(match.got.size(), 1u);
}

// Every mask and text over a small alphabet (zero bytes included) gives the
// answer of the recursive matcher.
TEST(StrMaskMatcher, AgreesWithTheRecursiveMatcher) {
    std::mt19937 rng(12345);
    const char maskChars[] = {'A', 'B', '1', '\0', '*', '?', '#'};
    const char textChars[] = {'A', 'B', '1', '\0'};
    for (int n = 0; n < 40000; ++n) {
        std::string mask, text;
        int ml = int(rng() % 7), tl = int(rng() % 8);
        for (int k = 0; k < ml; ++k)
            mask += maskChars[rng() % 7];
        for (int k = 0; k < tl; ++k)
            text += textChars[rng() % 4];
        ASSERT_EQ(MaskMatches(text, mask), Reference(text, mask))
            << "mask '" << mask << "' text '" << text << "' (" << mask.size() << ", " << text.size()
            << ")";
    }
}

struct MultiStrPart : ::testing::Test {
    TQeMultiStrPart el;
    TProbe split{el.onSplit}, notFound{el.onNotFound};
    void SetUp() override {
        el.Delimiter = " ";
        el.SetPartCount(3);
    }
    std::vector<std::string> Parts() {
        std::vector<std::string> out;
        for (uint16_t k = 0; k < el.PartCount(); ++k) {
            TData d;
            Pull(d, MakeLink<&TQeMultiStrPart::valPart>(k, &el));
            out.push_back(ToString(d));
        }
        return out;
    }
    using V = std::vector<std::string>;
};

TEST_F(MultiStrPart, SingleCharacterDelimiter) {
    Send<&TQeMultiStrPart::inSplit>(el, Str("A B C D"));
    EXPECT_EQ(Parts(), (V{"A", "B", "C"}));
    EXPECT_EQ(split.Str(0), "D");
    Send<&TQeMultiStrPart::inSplit>(el, Str("A B"));
    EXPECT_EQ(Parts(), (V{"A", "B", ""}));
    EXPECT_EQ(split.Str(1), "");
    EXPECT_EQ(split.got[1].type, data_str);
    Send<&TQeMultiStrPart::inSplit>(el, Str("A  B"));
    EXPECT_EQ(Parts(), (V{"A", "", "B"}));
    el.Skip = 1;
    Send<&TQeMultiStrPart::inSplit>(el, Str("A B C D"));
    EXPECT_EQ(Parts(), (V{"B", "C", "D"}));
}

TEST_F(MultiStrPart, NotFoundClearsTheParts) {
    Send<&TQeMultiStrPart::inSplit>(el, Str("A B C"));
    Send<&TQeMultiStrPart::inSplit>(el, Str("AB"));
    EXPECT_EQ(notFound.Str(), "AB");
    EXPECT_EQ(Parts(), (V{"", "", ""}));
    Send<&TQeMultiStrPart::inSplit>(el, Str(""));
    EXPECT_EQ(notFound.got.size(), 2u);
    el.Delimiter = "";
    Send<&TQeMultiStrPart::inSplit>(el, Str("A B"));
    EXPECT_EQ(notFound.got.size(), 3u);
    EXPECT_EQ(split.got.size(), 1u);
}

TEST_F(MultiStrPart, TwoCharacterDelimiterCutsAtAnyOfItsCharacters) {
    el.Delimiter = ", ";
    Send<&TQeMultiStrPart::inSplit>(el, Str("a b, c"));
    EXPECT_EQ(Parts(), (V{"a", "", "c"}));
    EXPECT_EQ(split.Str(), "");
}

TEST_F(MultiStrPart, ZeroBytes) {
    Send<&TQeMultiStrPart::inSplit>(el, Str(std::string("a\0b c", 5)));
    EXPECT_EQ(Parts(), (V{std::string("a\0b", 3), "c", ""}));
    el.Delimiter = std::string("\0", 1);
    Send<&TQeMultiStrPart::inSplit>(el, Str(std::string("x\0y\0z\0w", 7)));
    EXPECT_EQ(Parts(), (V{"x", "y", "z"}));
    EXPECT_EQ(split.Str(1), "w");
}

TEST_F(MultiStrPart, HugeSkipEndsOnceTheTextIsUsedUp) {
    el.Skip = 2000000000;
    Send<&TQeMultiStrPart::inSplit>(el, Str("A B C"));
    EXPECT_EQ(Parts(), (V{"", "", ""}));
    EXPECT_EQ(split.Str(), "");
}

// 1 MiB texts through every string element: right answers in linear time.
TEST(LargeStrings, EveryStringElement) {
    const std::size_t n = 1 << 20;
    std::string big(n, 'A');
    big[n / 2] = '\0';

    TQeStrCat cat;
    TProbe catOut;
    cat.onResult = catOut.Link();
    cat.Second = big;
    Send<&TQeStrCat::inConcat>(cat, Str(big));
    EXPECT_EQ(catOut.Str().size(), 2 * n);

    TQeFormatStr fmt;
    TProbe fmtOut;
    fmt.onResult = fmtOut.Link();
    fmt.SetArgCount(2);
    std::string mask;
    for (int k = 0; k < 100000; ++k)
        mask += "%2%%";
    fmt.Mask = mask + "%1";
    TData second = Str("x");
    TData first = Str(big);
    first.next = &second;
    Send<&TQeFormatStr::inFormat>(fmt, first);
    EXPECT_EQ(fmtOut.Str().size(), 100000 * 2 + n);

    TQeStrMask sm;
    TProbe yes, no;
    sm.onMatch = yes.Link();
    sm.onNoMatch = no.Link();
    sm.IgnoreCase = 1;
    sm.Mask = "*a*a*B";
    Send<&TQeStrMask::inCompare>(sm, Str(big));
    EXPECT_EQ(no.got.size(), 1u);
    sm.Mask = "a*A";
    Send<&TQeStrMask::inCompare>(sm, Str(big));
    EXPECT_EQ(yes.got.size(), 1u);
    sm.Mask = std::string(n, '*');
    Send<&TQeStrMask::inCompare>(sm, Str(big));
    EXPECT_EQ(yes.got.size(), 2u);

    TQeMultiStrPart parts;
    TProbe rest;
    parts.onSplit = rest.Link();
    parts.Delimiter = "  ";
    parts.SetPartCount(1000);
    std::string words;
    for (int k = 0; words.size() < n; ++k)
        words += "w" + std::to_string(k) + "  ";
    Send<&TQeMultiStrPart::inSplit>(parts, Str(words));
    EXPECT_EQ(parts.parts[999], "w999");
    EXPECT_EQ(rest.got.size(), 1u);
}

} // namespace
