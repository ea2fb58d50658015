#include "runtime/qeEventFromData.h"

TQeEventFromData::~TQeEventFromData() {
    FreeChain(stored_);
}

void TQeEventFromData::inStore(TData& d, uint16_t) {
    TData value;
    ReadValue(d, srcValue, nullptr, value);
    // Copy before freeing: the new value may share records with the old list.
    TData copy;
    CopyChain(copy, value);
    FreeChain(stored_);
    stored_ = copy;
}

void TQeEventFromData::valStored(TData& d, uint16_t) {
    Fire(onRequest, d);
    d = stored_;
}
