// The value comparison shared by Case and If_else.
#pragma once

#include "runtime/Share.h"

// Relations: 0 equal, 1 less, 2 greater, 3 not greater, 4 not less, 5 not
// equal; any other number is false.
enum : uint8_t { cmp_eq, cmp_lt, cmp_gt, cmp_le, cmp_ge, cmp_ne };

// Compares x with y under relation r. The type of x decides: NULL is equal
// only to NULL (whatever r); Integer, String and Real convert y to that type;
// strings order by CompareTextAscii but test equality byte by byte; any other
// type of x gives false.
bool CompareValues(const TData& x, const TData& y, uint8_t r);
