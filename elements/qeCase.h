// Case: sends an event one of two ways by comparing its value with Value.
#pragma once

#include "runtime/Share.h"

class TQeCase : public TQeElement {
public:
    TData MatchData; // emitted on onMatch
    TData Value;     // compared with the incoming value
    TEventLink onMatch;
    TEventLink onNext; // the incoming value, unchanged, when it differs

    void inCase(TData& d, uint16_t index);
};
