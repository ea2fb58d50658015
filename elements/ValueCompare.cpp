#include "elements/ValueCompare.h"

namespace {

template <class T> bool Relate(const T& x, const T& y, uint8_t r) {
    switch (r) {
    case cmp_eq:
        return x == y;
    case cmp_lt:
        return x < y;
    case cmp_gt:
        return x > y;
    case cmp_le:
        return x <= y;
    case cmp_ge:
        return x >= y;
    case cmp_ne:
        return x != y;
    default:
        return false;
    }
}

bool RelateText(const std::string& x, const std::string& y, uint8_t r) {
    if (r == cmp_eq) return x == y;
    if (r == cmp_ne) return x != y;
    int c = CompareTextAscii(x.c_str(), y.c_str());
    return Relate(c, 0, r);
}

} // namespace

bool CompareValues(const TData& x, const TData& y, uint8_t r) {
    switch (x.type) {
    case data_null:
        return y.type == data_null;
    case data_int:
        return Relate(x.idata, ToInteger(y), r);
    case data_str:
        return RelateText(x.sdata, ToString(y), r);
    case data_real:
        return Relate(x.rdata, ToReal(y), r);
    default:
        return false;
    }
}
