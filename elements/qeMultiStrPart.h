// MultiStrPart: cuts a string into numbered parts at a delimiter.
#pragma once

#include "runtime/Share.h"

#include <string>
#include <string_view>
#include <vector>

class TQeMultiStrPart : public TQeElement {
public:
    std::vector<std::string> parts; // the parts of the last split; its size is PartCount
    std::string Delimiter;
    int32_t Skip = 0; // leading tokens discarded before the first part
    TEventLink srcText;
    TEventLink onNotFound;
    TEventLink onSplit;

    void SetPartCount(uint16_t count);
    uint16_t PartCount() const { return uint16_t(parts.size()); }
    void inSplit(TData& d, uint16_t index);
    void valPart(TData& d, uint16_t index);
};

// Cuts the next token off `text` (the rest stays in `text`): the token ends at
// the first byte that occurs in `delimiter` (non-empty), and as many bytes as
// the delimiter has are dropped after it.
std::string_view TokenCut(std::string_view& text, std::string_view delimiter);
