#include "elements/qeStrCat.h"

void TQeStrCat::inConcat(TData& d, uint16_t) {
    std::string first = ReadString(d, srcFirst, First);
    std::string second = ReadString(d, srcSecond, Second);
    Result = std::move(first);
    Result += second;
    ForwardString(d, onResult, Result);
}
