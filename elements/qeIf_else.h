// If_else: routes an event by comparing two operands under a relation.
#pragma once

#include "runtime/Share.h"

class TQeIf_else : public TQeElement {
public:
    uint8_t Compare = 0; // relation, see ValueCompare.h
    TData Op1;           // default left operand
    TData Op2;           // default right operand
    TEventLink srcOp2;
    TEventLink srcOp1;
    TEventLink onTrue;  // the incoming value, when the relation holds
    TEventLink onFalse; // the incoming value, otherwise

    void inCompare(TData& d, uint16_t index);
};
