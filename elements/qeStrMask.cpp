#include "elements/qeStrMask.h"

bool MaskMatches(std::string_view text, std::string_view mask) {
    // S and M are text and mask with a zero byte appended; every position
    // past their ends reads as a zero byte too.
    const std::size_t lenS = text.size() + 1, lenM = mask.size() + 1;
    auto atS = [&](std::size_t i) { return i < text.size() ? text[i] : '\0'; };
    auto atM = [&](std::size_t j) { return j < mask.size() ? mask[j] : '\0'; };

    // "*" tries the shortest run first and grows it on a later mismatch. Only
    // the latest "*" needs to grow: a run taken by an earlier one can always
    // be taken by the later one instead. This gives the same answers as trying
    // every run of every "*" in turn, without exponential time or deep recursion.
    bool haveStar = false;
    std::size_t starJ = 0, starI = 0;
    std::size_t i = 0, j = 0;
    while (j < lenM || i < lenS) {
        char c = atM(j);
        if (c == '*' && j < mask.size()) {
            haveStar = true;
            starJ = j;
            starI = i;
            ++j;
            continue;
        }
        char s = atS(i);
        bool same;
        if (c == '#')
            same = s >= '0' && s <= '9';
        else if (c == '?')
            same = s != '\0';
        else
            same = c == s;
        if (same) {
            ++i;
            ++j;
            continue;
        }
        // A run never takes the appended zero byte.
        if (haveStar && starI + 1 < lenS) {
            ++starI;
            i = starI;
            j = starJ + 1;
            continue;
        }
        return false;
    }
    return true;
}

void TQeStrMask::inCompare(TData& d, uint16_t) {
    std::string text = ReadString(d, srcText, "");
    bool match = IgnoreCase == 1 ? MaskMatches(AnsiLowerCase1251(text), AnsiLowerCase1251(Mask))
                                 : MaskMatches(text, Mask);
    ForwardString(d, match ? onMatch : onNoMatch, std::move(text));
}

void TQeStrMask::inSetMask(TData& d, uint16_t) {
    Mask = ToString(d);
}

void TQeStrMask::valMask(TData& d, uint16_t) {
    SetString(d, Mask);
}
