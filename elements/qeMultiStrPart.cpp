#include "elements/qeMultiStrPart.h"

std::string_view TokenCut(std::string_view& text, std::string_view delimiter) {
    // The first position of any delimiter byte, searched over the whole text
    // (zero bytes included); the end when none occurs. A zero byte in the
    // delimiter also finds the end, where the terminating zero sits.
    std::size_t p = text.find_first_of(delimiter);
    if (p == std::string_view::npos) p = text.size();
    std::string_view token = text.substr(0, p);
    std::size_t rest = p + delimiter.size();
    text = rest < text.size() ? text.substr(rest) : std::string_view();
    return token;
}

void TQeMultiStrPart::SetPartCount(uint16_t count) {
    parts.resize(count);
}

void TQeMultiStrPart::inSplit(TData& d, uint16_t) {
    for (std::string& part : parts)
        part.clear();
    std::string s = ReadString(d, srcText, "");
    if (PosFrom(Delimiter, s, 1) == 0) {
        ForwardString(d, onNotFound, std::move(s));
        return;
    }
    std::string_view rest = s;
    // Once the text is used up every further token is empty.
    for (int32_t k = 0; k < Skip && !rest.empty(); ++k)
        TokenCut(rest, Delimiter);
    for (std::string& part : parts)
        part = TokenCut(rest, Delimiter);
    ForwardString(d, onSplit, std::string(rest));
}

void TQeMultiStrPart::valPart(TData& d, uint16_t index) {
    SetString(d, index < parts.size() ? parts[index] : std::string());
}
