// Event-from-data: stores a value and answers pulls with it, announcing each.
#pragma once

#include "runtime/Share.h"

class TQeEventFromData : public TQeElement {
public:
    ~TQeEventFromData() override;

    TEventLink srcValue;
    TEventLink onRequest;

    void inStore(TData& d, uint16_t index);
    void valStored(TData& d, uint16_t index);

    const TData& Stored() const { return stored_; }

private:
    TData stored_;
};
