// StrCat: joins two strings.
#pragma once

#include "runtime/Share.h"

#include <string>

class TQeStrCat : public TQeElement {
public:
    std::string Result;
    std::string First;  // default of the first operand
    std::string Second; // default of the second operand
    TEventLink srcSecond;
    TEventLink srcFirst;
    TEventLink onResult;

    void inConcat(TData& d, uint16_t index);
};
