// FormatStr: fills the numbered placeholders "%1", "%2", ... of a template.
#pragma once

#include "runtime/Share.h"

#include <string>
#include <vector>

class TQeFormatStr : public TQeElement {
public:
    std::string Result;      // the last formatted text
    std::string Placeholder; // the placeholder being replaced
    int32_t ArgCount = 0;
    std::vector<TEventLink> srcArg; // srcArg[k] gives the value of "%" k+1
    std::string Mask;               // the template
    TEventLink onResult;

    void SetArgCount(int32_t count);
    void inFormat(TData& d, uint16_t index);
};
