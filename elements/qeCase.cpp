#include "elements/qeCase.h"

#include "elements/ValueCompare.h"

void TQeCase::inCase(TData& d, uint16_t) {
    TData kept = d;
    TData x;
    TakeFirst(d, x);
    if (CompareValues(x, Value, cmp_eq))
        FireCopy(onMatch, MatchData);
    else
        Fire(onNext, kept);
}
