#include "runtime/Strings.h"

int PosFrom(std::string_view sub, std::string_view s, int from) {
    if (sub.empty()) return 0;
    if (from < 1) from = 1;
    if (std::size_t(from - 1) > s.size()) return 0;
    std::size_t p = s.find(sub, std::size_t(from - 1));
    return p == std::string_view::npos ? 0 : int(p) + 1;
}

// Builds the result in one pass. Matches are searched only in the original
// text behind the last replacement, so inserted text is never searched again;
// the filter sees positions in the string as it stands at that step.
void ReplaceAll(std::string& s, std::string_view oldText, std::string_view newText,
                TReplaceFilter filter, void* filterObject) {
    if (oldText.empty()) return;
    std::size_t pos = s.find(oldText);
    if (pos == std::string::npos) return;
    std::string out;
    out.reserve(s.size());
    std::size_t done = 0; // bytes of s already copied to out
    while (pos != std::string::npos) {
        out.append(s, done, pos - done);
        int p = int(out.size()) + 1;
        if (!filter || filter(filterObject, p)) {
            out.append(newText);
            done = pos + oldText.size();
        } else {
            out.push_back(s[pos]);
            done = pos + 1;
        }
        pos = s.find(oldText, done);
    }
    out.append(s, done, std::string::npos);
    s.swap(out);
}

int CompareTextAscii(const char* a, const char* b) {
    auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; };
    for (;; ++a, ++b) {
        int ca = fold((unsigned char)*a), cb = fold((unsigned char)*b);
        if (ca != cb || ca == 0) return ca - cb;
    }
}
