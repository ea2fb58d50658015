#include "runtime/qeDoData.h"

void TQeDoData::inEmit(TData& d, uint16_t) {
    SetNull(d);
    TData value;
    ReadFirst(d, srcData, &Data, value);
    ForwardCopy(d, onEmit, value);
}
