#include "elements/qeFormatStr.h"

namespace {

const char kPercent[] = {'\0'};   // stands for a literal "%" while formatting
const char kSeparator[] = {'\1'}; // marks where a value was inserted

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// ReplaceAll of `placeholder` by `value`, accepting an occurrence only when no
// decimal digit follows it ("%1" must not eat the start of "%12"). Inserted
// text is never searched again; a refused occurrence resumes one byte later.
void ReplacePlaceholder(std::string& s, const std::string& placeholder, const std::string& value) {
    std::size_t pos = s.find(placeholder);
    if (pos == std::string::npos) return;
    std::string out;
    out.reserve(s.size());
    std::size_t done = 0;
    while (pos != std::string::npos) {
        std::size_t after = pos + placeholder.size();
        if (after < s.size() && IsDigit(s[after])) {
            pos = s.find(placeholder, pos + 1);
            continue;
        }
        out.append(s, done, pos - done);
        out.append(value);
        done = after;
        pos = s.find(placeholder, done);
    }
    out.append(s, done, std::string::npos);
    s.swap(out);
}

} // namespace

void TQeFormatStr::SetArgCount(int32_t count) {
    if (count < 0) count = 0;
    srcArg.resize(std::size_t(count));
    ArgCount = count;
}

void TQeFormatStr::inFormat(TData& d, uint16_t) {
    const std::string percent(kPercent, 1), separator(kSeparator, 1);
    Result = Mask;
    ReplaceAll(Result, "%%", percent);
    for (int32_t k = 1; k <= ArgCount && std::size_t(k) <= srcArg.size(); ++k) {
        Placeholder = "%" + std::to_string(k);
        std::string value = ReadString(d, srcArg[std::size_t(k - 1)], "");
        ReplacePlaceholder(Result, Placeholder, separator + value);
    }
    ReplaceAll(Result, separator, "");
    ReplaceAll(Result, percent, "%");
    ForwardString(d, onResult, Result);
}
