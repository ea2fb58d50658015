#include "elements/qeIf_else.h"

#include "elements/ValueCompare.h"

void TQeIf_else::inCompare(TData& d, uint16_t) {
    TData kept = d;
    TData left, right;
    ReadFirst(d, srcOp1, &Op1, left);
    ReadFirst(d, srcOp2, &Op2, right);
    bool holds = CompareValues(left, right, Compare);
    ForwardCopy(d, holds ? onTrue : onFalse, kept);
}
